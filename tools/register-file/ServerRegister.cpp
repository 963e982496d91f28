#include "ServerRegister.h"

#include "NewRegisterFile.h"
#include "ConnectionString.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QString>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <memory>

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
    explicit Server(const std::string& uri) : m_uri(uri), m_connection(PQconnectdb(uri.c_str()))
    {
        if (PQstatus(m_connection) != CONNECTION_OK)
            fail(QT_TRANSLATE_NOOP("RegisterFile", "server %1 nije dostupan: %2"));
    }
    ~Server() { PQfinish(m_connection); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::unique_ptr<PGresult, void (*)(PGresult*)> run(const std::string& sql)
    {
        std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(m_connection, sql.c_str()), PQclear);
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN)
            fail(QT_TRANSLATE_NOOP("RegisterFile", "server %1 nije primio registar: %2"));
        return result;
    }

    // Sends rows, already in COPY's text form, for a COPY ... FROM STDIN.
    void copy(const std::string& statement, const std::string& rows)
    {
        run(statement);
        if (PQputCopyData(m_connection, rows.data(), int(rows.size())) != 1 || PQputCopyEnd(m_connection, nullptr) != 1)
            fail(QT_TRANSLATE_NOOP("RegisterFile", "server %1 nije primio registar: %2"));
        std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQgetResult(m_connection), PQclear);
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
            fail(QT_TRANSLATE_NOOP("RegisterFile", "server %1 nije primio registar: %2"));
        while (PGresult* rest = PQgetResult(m_connection))
            PQclear(rest);
    }

private:
    [[noreturn]] void fail(const char* text)
    {
        std::string reason = PQerrorMessage(m_connection);
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' '))
            reason.pop_back();
        throw RegisterFileError(say(text, shown(m_uri), reason));
    }

    std::string m_uri;
    PGconn* m_connection;
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

struct Statement {
    sqlite3_stmt* statement = nullptr;
    ~Statement() { sqlite3_finalize(statement); }
};

} // namespace

bool isServerTarget(const std::string& name)
{
    return db::isServerRegister(QString::fromStdString(name));
}

std::string shownTarget(const std::string& name)
{
    return isServerTarget(name) ? db::serverNameWithoutPassword(QString::fromStdString(name)).toStdString() : name;
}

void publishToServer(const std::string& file, const std::string& uri, bool replace)
{
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> source(nullptr, sqlite3_close);
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        source.reset(raw);
        if (rc != SQLITE_OK)
            throw RegisterFileError(sqlite3_errmsg(raw));
    }
    Server server(uri);
    server.run("SET client_min_messages = warning; SET client_encoding = 'UTF8'; BEGIN");
    const auto present = server.run("SELECT string_agg(tablename, ', ' ORDER BY tablename) FROM pg_tables "
                                    "WHERE schemaname = current_schema() AND tablename IN ('drzave', 'gradovi', "
                                    "'podaci', 'drzave_set_aside', 'gradovi_set_aside', 'podaci_set_aside')");
    if (!PQgetisnull(present.get(), 0, 0)) {
        if (!replace)
            throw RegisterFileError(say(QT_TRANSLATE_NOOP("RegisterFile",
                                                          "na serveru %1 već postoji registar (%2); ostaje kakav je "
                                                          "(--force ga zamenjuje)."),
                                        shown(uri), PQgetvalue(present.get(), 0, 0)));
        server.run(std::string("DROP TABLE ") + PQgetvalue(present.get(), 0, 0) + " CASCADE");
    }
    server.run(serverRegisterSchema);

    // The register's tables, then the side tables of rows set aside, as
    // the file has them.
    Statement tables;
    sqlite3_prepare_v2(source.get(),
                       "SELECT name FROM sqlite_schema WHERE type = 'table' AND upper(name) IN ('DRZAVE', 'GRADOVI', "
                       "'PODACI', 'DRZAVE_SET_ASIDE', 'GRADOVI_SET_ASIDE', 'PODACI_SET_ASIDE') "
                       "ORDER BY instr(name, '_SET_ASIDE') > 0, instr('DRZAVE GRADOVI PODACI', upper(name))",
                       -1, &tables.statement, nullptr);
    while (sqlite3_step(tables.statement) == SQLITE_ROW) {
        const std::string table = reinterpret_cast<const char*>(sqlite3_column_text(tables.statement, 0));
        const bool aside = table.find("_SET_ASIDE") != std::string::npos;
        Statement columns;
        sqlite3_prepare_v2(source.get(), "SELECT name, upper(type) FROM pragma_table_info(?1) ORDER BY cid", -1,
                           &columns.statement, nullptr);
        sqlite3_bind_text(columns.statement, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        std::string names, definitions;
        while (sqlite3_step(columns.statement) == SQLITE_ROW) {
            const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(columns.statement, 0));
            const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(columns.statement, 1));
            names += (names.empty() ? "" : ", ") + name;
            definitions += (definitions.empty() ? "" : ", ") + name
                         + (type.find("INT") != std::string::npos ? " integer" : " citext");
        }
        if (aside)
            server.run("CREATE TABLE " + table + " (" + definitions + ")");
        Statement rows;
        if (sqlite3_prepare_v2(source.get(), ("SELECT " + names + " FROM \"" + table + "\"").c_str(), -1,
                               &rows.statement, nullptr)
            != SQLITE_OK)
            throw RegisterFileError(sqlite3_errmsg(source.get()));
        std::string text;
        const int count = sqlite3_column_count(rows.statement);
        while (sqlite3_step(rows.statement) == SQLITE_ROW) {
            for (int c = 0; c < count; ++c) {
                if (c)
                    text += '\t';
                appendValue(text, rows.statement, c);
            }
            text += '\n';
        }
        server.copy("COPY " + table + " (" + names + ") FROM STDIN", text);
    }

    // New persons after the largest number the file held or ever gave.
    Statement largest;
    sqlite3_prepare_v2(source.get(),
                       "SELECT max(coalesce((SELECT max(ID) FROM PODACI), 0), "
                       "coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'PODACI'), 0))",
                       -1, &largest.statement, nullptr);
    const sqlite3_int64 next = sqlite3_step(largest.statement) == SQLITE_ROW ? sqlite3_column_int64(largest.statement, 0) : 0;
    if (next > 0)
        server.run("SELECT setval(pg_get_serial_sequence('podaci', 'id'), " + std::to_string(next) + ")");
    server.run("COMMIT");
    // Statistics for the planner, and the visibility map that lets the
    // persons' index answer a search without reading the table.
    server.run("VACUUM ANALYZE drzave, gradovi, podaci");
}
