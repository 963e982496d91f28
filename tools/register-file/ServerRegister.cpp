#include "ServerRegister.h"

#include "Exception.h"
#include "NewRegisterFile.h"
#include "RegisterName.h"
#include "Schema.h"
#include "ServerConnection.h"
#include "Sqlite.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <termios.h>
#include <unistd.h>

namespace {

std::string say(const char* text, const std::string& a = {}, const std::string& b = {})
{
    return QCoreApplication::translate("RegisterFile", text)
        .arg(QString::fromStdString(a), QString::fromStdString(b))
        .toStdString();
}

std::string shown(const std::string& uri)
{
    return db::shownServerName(QString::fromStdString(uri)).toStdString();
}

// One connection to the server, each statement checked.
class Server {
public:
    explicit Server(const std::string& uri) : m_uri(uri), m_connection(uri)
    {
        if (!m_connection.connected())
            fail(QT_TRANSLATE_NOOP("RegisterFile", "server %1 nije dostupan: %2"));
    }

    db::ServerResult run(const std::string& sql)
    {
        db::ServerResult result = m_connection.exec(sql);
        if (result.failed())
            fail(QT_TRANSLATE_NOOP("RegisterFile", "server %1 nije primio registar: %2"));
        return result;
    }

    // Sends rows, already in COPY's text form, for a COPY ... FROM STDIN.
    void copy(const std::string& statement, const std::string& rows)
    {
        run(statement);
        PGconn* connection = m_connection.get();
        if (PQputCopyData(connection, rows.data(), int(rows.size())) != 1 || PQputCopyEnd(connection, nullptr) != 1)
            fail(QT_TRANSLATE_NOOP("RegisterFile", "server %1 nije primio registar: %2"));
        if (db::ServerResult(PQgetResult(connection)).failed())
            fail(QT_TRANSLATE_NOOP("RegisterFile", "server %1 nije primio registar: %2"));
        while (db::ServerResult(PQgetResult(connection)).get()) {
        }
    }

private:
    [[noreturn]] void fail(const char* text)
    {
        throw RegisterFileError(say(text, shown(m_uri), m_connection.reason()));
    }

    std::string m_uri;
    db::ServerConnection m_connection;
};

// A value in COPY's text form: \N for NULL, the few characters it gives a
// meaning escaped.
void appendValue(std::string& out, sqlite3_stmt* row, int column)
{
    if (sqlite3_column_type(row, column) == SQLITE_NULL) {
        out += "\\N";
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    const int length = sqlite3_column_bytes(row, column);
    for (int i = 0; i < length; ++i) {
        switch (text[i]) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += text[i];
        }
    }
}

// Every row of rows in COPY's text form.
std::string copyText(Statement& rows)
{
    std::string text;
    const int count = sqlite3_column_count(rows.get());
    while (rows.step()) {
        for (int c = 0; c < count; ++c) {
            if (c)
                text += '\t';
            appendValue(text, rows.get(), c);
        }
        text += '\n';
    }
    return text;
}

} // namespace

std::string askServerPassword(const std::string& name)
{
    if (!isServerTarget(name) || !::isatty(STDIN_FILENO))
        return name;
    constexpr int Tries = 3;
    std::string connectAs = name;
    for (int asked = 0; asked < Tries; ++asked) {
        const db::ServerConnection probe(connectAs);
        PGconn* connection = probe.get();
        if (probe.connected()
            || !(PQconnectionNeedsPassword(connection) || (asked > 0 && PQconnectionUsedPassword(connection))))
            return connectAs;
        QString prompt = asked ? QCoreApplication::translate("RegisterFile", "Server nije prihvatio lozinku (%1).\n")
                                     .arg(QString::fromStdString(probe.reason()))
                               : QString();
        prompt += QCoreApplication::translate("RegisterFile", "Lozinka za registar %1: ")
                      .arg(QString::fromStdString(shown(name)));
        // The echo off before the question, so that nothing typed after it shows.
        termios before{};
        const bool terminal = ::tcgetattr(STDIN_FILENO, &before) == 0;
        if (terminal) {
            termios quiet = before;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
        std::fputs(prompt.toUtf8().constData(), stderr);
        std::fflush(stderr);
        std::string password;
        for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
            password += char(c);
        if (terminal)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        std::fputc('\n', stderr);
        if (password.empty())
            return name;
        // Only this process's connections to this server take it from
        // there; no other process sees it (it is not on the command line,
        // nor in any environment).
        connectAs = db::withPassword(name, password);
    }
    return connectAs;
}

bool isServerTarget(const std::string& name)
{
    return db::isServerRegister(QString::fromStdString(name));
}

std::string shownTarget(const std::string& name)
{
    return isServerTarget(name) ? db::serverNameWithoutPassword(QString::fromStdString(name)).toStdString() : name;
}

namespace {

void copyToServer(const std::string& file, const std::string& uri, bool replace)
{
    SqliteHandle source;
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        source.reset(raw);
        if (rc != SQLITE_OK)
            throwSqliteError(raw, file);
    }
    Server server(uri);
    server.run("SET client_min_messages = warning; SET client_encoding = 'UTF8'; BEGIN");
    const auto present = server.run("SELECT string_agg(tablename, ', ' ORDER BY tablename) FROM pg_tables "
                                    "WHERE schemaname = current_schema() AND tablename IN ('drzave', 'gradovi', "
                                    "'podaci', 'drzave_set_aside', 'gradovi_set_aside', 'podaci_set_aside', "
                                    "'kolvara_stamp', 'kolvara_writes', 'kolvara_history')");
    if (!present.null(0, 0)) {
        if (!replace)
            throw RegisterFileError(say(QT_TRANSLATE_NOOP("RegisterFile",
                                                          "na serveru %1 već postoji registar (%2); ostaje kakav je "
                                                          "(--force ga zamenjuje)."),
                                        shown(uri), present.value(0, 0)));
        server.run(std::string("DROP TABLE ") + present.value(0, 0) + " CASCADE");
    }
    server.run(serverRegisterSchema);

    // The register's tables, then the side tables of rows set aside, as
    // the file has them.
    Statement tables(source.get(),
                     "SELECT name FROM sqlite_schema WHERE type = 'table' AND upper(name) IN ('DRZAVE', 'GRADOVI', "
                     "'PODACI', 'DRZAVE_SET_ASIDE', 'GRADOVI_SET_ASIDE', 'PODACI_SET_ASIDE') "
                     "ORDER BY instr(name, '_SET_ASIDE') > 0, instr('DRZAVE GRADOVI PODACI', upper(name))");
    while (tables.step()) {
        const std::string table = reinterpret_cast<const char*>(sqlite3_column_text(tables.get(), 0));
        const bool aside = table.find("_SET_ASIDE") != std::string::npos;
        Statement columns(source.get(), "SELECT name, upper(type) FROM pragma_table_info(?1) ORDER BY cid");
        columns.bind(1, table);
        std::string names, definitions;
        while (columns.step()) {
            const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(columns.get(), 0));
            const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(columns.get(), 1));
            names += (names.empty() ? "" : ", ") + name;
            definitions += (definitions.empty() ? "" : ", ") + name
                         + (type.find("INT") != std::string::npos ? " integer" : " citext");
        }
        if (aside)
            server.run("CREATE TABLE " + table + " (" + definitions + ")");
        Statement rows(source.get(), "SELECT " + names + " FROM " + quoteIdentifier(table));
        server.copy("COPY " + table + " (" + names + ") FROM STDIN", copyText(rows));
    }

    // New persons after the largest number the file held or ever gave.
    Statement largest(source.get(), "SELECT max(coalesce((SELECT max(ID) FROM PODACI), 0), "
                                    "coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'PODACI'), 0))");
    const sqlite3_int64 next = largest.step() ? sqlite3_column_int64(largest.get(), 0) : 0;
    if (next > 0)
        server.run("SELECT setval(pg_get_serial_sequence('podaci', 'id'), " + std::to_string(next) + ")");
    // The history after the rows, which are no change of the register's,
    // and the file's own history into it, numbered as it was; the stamp
    // after it (the history counts its tables' changes, and the tables of
    // rows set aside count too).
    server.run(serverRegisterHistory);
    server.run(serverRegisterStamp);
    Statement history(source.get(), "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'KOLVARA_HISTORY'");
    if (history.step() && sqlite3_column_int(history.get(), 0) == 1) {
        const std::string columns = "ID, AT, WHO, APP, MARK, TBL, KIND, ROW_ID, OLD_ID_DRZAVA, OLD_ID_GRAD, OLD_NAZIV, "
                                    "OLD_IME, OLD_PREZIME, NEW_ID_DRZAVA, NEW_ID_GRAD, NEW_NAZIV, NEW_IME, NEW_PREZIME";
        Statement rows(source.get(), "SELECT " + columns + " FROM KOLVARA_HISTORY ORDER BY ID");
        server.copy("COPY KOLVARA_HISTORY (" + columns + ") FROM STDIN", copyText(rows));
        server.run("SELECT setval(pg_get_serial_sequence('kolvara_history', 'id'), "
                   "coalesce((SELECT max(ID) FROM KOLVARA_HISTORY), 0) + 1, false)");
    }
    server.run("COMMIT");
    // Statistics for the planner, and the visibility map that lets the
    // persons' index answer a search without reading the table.
    server.run("VACUUM ANALYZE drzave, gradovi, podaci, kolvara_history");
}

} // namespace

void publishToServer(const std::string& file, const std::string& uri, bool replace)
{
    try {
        copyToServer(file, uri, replace);
    } catch (const Exception& failure) {
        // The file's own failures, in SQLite's words.
        throw RegisterFileError(failure.what());
    }
}

void addHistoryTo(const std::string& name)
{
    if (isServerTarget(name)) {
        Server server(name);
        // The owner's schema step: the history, and the change stamp anew
        // (a register stamped the earlier way, with one row every writer
        // waited for, gets the stamp no writer waits for).
        server.run("SET client_min_messages = warning; BEGIN");
        server.run(serverRegisterHistory);
        server.run(serverRegisterStamp);
        server.run("COMMIT");
        return;
    }
    SqliteHandle file;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    file.reset(raw);
    if (rc != SQLITE_OK)
        throw RegisterFileError(say(QT_TRANSLATE_NOOP("RegisterFile", "„%1” ne može da se otvori: %2"), name,
                                    raw ? sqlite3_errmsg(raw) : "out of memory"));
    sqlite3_busy_timeout(raw, 5000);
    {
        Statement persons(raw, "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'PODACI'");
        if (!persons.step() || sqlite3_column_int(persons.get(), 0) != 1)
            throw RegisterFileError(say(QT_TRANSLATE_NOOP("RegisterFile", "„%1” nije registar osoba."), name));
    } // done with before the schema changes
    execOrThrow(raw, "BEGIN IMMEDIATE");
    execOrThrow(raw, registerHistory);
    execOrThrow(raw, "COMMIT");
}
