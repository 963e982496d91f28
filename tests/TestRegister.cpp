#include "TestRegister.h"

#include "PersonsStatement.h"

#include "Schema.h"
#include "ServerConnection.h"
#include "SqliteHandle.h"
#include "Sqlite.h"

#include <QCryptographicHash>
#include <QFile>

#include <memory>
#include <stdexcept>

namespace test_register {

const std::string PersonsStatement = personsStatement("", "", "", "");

namespace {

using Db = SqliteHandle;

Db open(const QString& path, int flags)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open " + path.toStdString() + ": " + sqlite3_errmsg(raw));
    sqlite3_busy_timeout(raw, 5000);
    return db;
}

void run(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(message + " in: " + sql);
    }
}

const char* const ConvertedSchema =
    "CREATE TABLE podaci (id INTEGER, id_drzava INTEGER, id_grad INTEGER, ime TEXT, prezime TEXT);"
    "CREATE TABLE drzave (id INTEGER, Naziv TEXT);"
    "CREATE TABLE gradovi (id_drzava INTEGER, id_grad INTEGER, Naziv TEXT);";

const char* const Sample =
    "INSERT INTO DRZAVE (ID, NAZIV) VALUES (1, 'Srbija'), (2, 'Hrvatska'), (3, 'Crna Gora');"
    "INSERT INTO GRADOVI (ID_DRZAVA, ID_GRAD, NAZIV) VALUES (1, 1, 'Beograd'), (1, 2, 'Šabac'), (1, 3, 'Niš'),"
    " (2, 1, 'Zagreb'), (2, 2, 'Đakovo'), (3, 1, 'Podgorica'), (3, 2, 'Жабљак');"
    "INSERT INTO PODACI (ID, ID_DRZAVA, ID_GRAD, Ime, Prezime) VALUES"
    " (1, 1, 1, 'Đorđe', 'Šćepanović'), (2, 1, 2, 'Ana', 'Petrović'), (3, 2, 1, 'Marko', 'Horvat'),"
    " (4, 2, 2, 'Željko', 'Čolić'), (5, 3, 2, 'Јелена', 'Ђурић'), (6, 1, 9, 'Nema', 'Grada'),"
    " (7, 3, 1, 'Seán', 'O''Brien');";

// ---- on a server ----

QString serverBase()
{
    return qEnvironmentVariable("KOLVARA_TEST_SERVER");
}

QString databaseFor(const QString& path)
{
    return "kolvara_" + QString::fromLatin1(QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
}

// A connection of the test's own to a database of the server.
class Server {
public:
    explicit Server(const QString& uri) : m_connection(uri.toStdString())
    {
        if (!m_connection.connected())
            throw std::runtime_error("cannot connect to " + uri.toStdString() + ": " + m_connection.reason());
        run("SET lock_timeout = '20s'; SET client_min_messages = warning");
    }

    // Runs sql (statements separated by semicolons); the last result.
    db::ServerResult run(const std::string& sql)
    {
        db::ServerResult result = m_connection.exec(sql);
        if (result.failed())
            throw std::runtime_error(m_connection.reason() + " in: " + sql);
        return result;
    }

private:
    db::ServerConnection m_connection;
};

const char* const ConvertedServerSchema =
    "CREATE EXTENSION IF NOT EXISTS citext;"
    "CREATE TABLE podaci (id integer, id_drzava integer, id_grad integer, ime citext, prezime citext);"
    "CREATE TABLE drzave (id integer, Naziv citext);"
    "CREATE TABLE gradovi (id_drzava integer, id_grad integer, Naziv citext);";

const char* const FollowLargestNumber = R"(
DO $$DECLARE numbering text; BEGIN
    IF to_regclass('podaci') IS NOT NULL THEN
        numbering := pg_get_serial_sequence('podaci', 'id');
        IF numbering IS NOT NULL THEN
            PERFORM setval(numbering, greatest(coalesce((SELECT max(id) FROM podaci), 1),
                                               coalesce(pg_sequence_last_value(numbering::regclass), 1)));
        END IF;
    END IF;
END$$)";

void createOnServer(const QString& path, Schema schema)
{
    const QString database = databaseFor(path);
    {
        Server administration(serverBase() + "/postgres");
        if (administration.run("SELECT 1 FROM pg_database WHERE datname = '" + database.toStdString() + "'").rows()
            == 0)
            administration.run("CREATE DATABASE " + database.toStdString());
    }
    Server server(location(path));
    // Person 6 has no city: only a register whose rules are not enforced can
    // hold it; the rules are switched off for the sample alone.
    // The schema anew, usable by every role as a new database's is.
    server.run(std::string("DROP SCHEMA public CASCADE; CREATE SCHEMA public; GRANT USAGE ON SCHEMA public TO PUBLIC; "
                           "BEGIN; ")
               + (schema == Schema::Full ? serverRegisterSchema : ConvertedServerSchema)
               + "; SET LOCAL session_replication_role = replica; " + Sample
               + (schema == Schema::Full ? std::string("; SELECT setval(pg_get_serial_sequence('podaci', 'id'), 7); ")
                                               + serverRegisterHistory + "; " + serverRegisterStamp
                                         : std::string())
               + "; COMMIT");
}

} // namespace

bool onServer()
{
    return !serverBase().isEmpty();
}

QString location(const QString& path)
{
    return onServer() ? serverBase() + "/" + databaseFor(path) : path;
}

void create(const QString& path, Schema schema)
{
    if (onServer())
        return createOnServer(path, schema);
    QFile::remove(path);
    Db db = open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    run(db.get(), schema == Schema::Full ? registerSchema : ConvertedSchema);
    // Person 6 has no city: only a file without foreign keys can hold it,
    // as a file written by another program may.
    run(db.get(), "PRAGMA foreign_keys = OFF");
    run(db.get(), Sample);
    if (schema == Schema::Full)
        run(db.get(), registerHistory);
}

void exec(const QString& path, const std::string& sql)
{
    if (onServer()) {
        // Persons written with their numbers move the server's numbering
        // past them, as a file's numbering follows the largest number.
        Server(location(path)).run(sql + ";" + FollowLargestNumber);
        return;
    }
    Db db = open(path, SQLITE_OPEN_READWRITE);
    run(db.get(), sql);
}

QString value(const QString& path, const std::string& sql)
{
    if (onServer()) {
        Server server(location(path));
        const auto result = server.run(sql);
        if (result.rows() == 0)
            return QString();
        return result.null(0, 0) ? QStringLiteral("NULL") : QString::fromUtf8(result.value(0, 0));
    }
    // Read-write: a file left by a killed program has a journal to roll back
    // first, as the next program to open it does.
    Db db = open(path, SQLITE_OPEN_READWRITE);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string(sqlite3_errmsg(db.get())) + " in: " + sql);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
    if (sqlite3_step(raw) != SQLITE_ROW)
        return QString();
    if (sqlite3_column_type(raw, 0) == SQLITE_NULL)
        return QStringLiteral("NULL");
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
}

QStringList column(const QString& path, const std::string& sql)
{
    QStringList values;
    if (onServer()) {
        Server server(location(path));
        const auto result = server.run(sql);
        for (int r = 0; r < result.rows(); ++r)
            values << (result.null(r, 0) ? QStringLiteral("NULL")
                                                       : QString::fromUtf8(result.value(r, 0)));
        return values;
    }
    Db db = open(path, SQLITE_OPEN_READWRITE);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string(sqlite3_errmsg(db.get())) + " in: " + sql);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
    while (sqlite3_step(raw) == SQLITE_ROW)
        values << (sqlite3_column_type(raw, 0) == SQLITE_NULL
                       ? QStringLiteral("NULL")
                       : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0))));
    return values;
}

long long count(const QString& path, const std::string& where, const std::string& table)
{
    return value(path, "SELECT count(*) FROM " + table + " WHERE " + where).toLongLong();
}

QByteArray digest(const QString& path)
{
    if (onServer()) {
        Server server(location(path));
        // The register's change stamp is the server's own, drawn anew by each copy.
        const auto tables = server.run("SELECT tablename FROM pg_tables WHERE schemaname = 'public' "
                                       "AND tablename NOT IN ('kolvara_stamp', 'kolvara_writes') ORDER BY 1");
        QByteArray everything;
        for (int t = 0; t < tables.rows(); ++t) {
            const std::string table = tables.value(t, 0);
            const auto rows = server.run("SELECT coalesce(string_agg(x::text, E'\\n' ORDER BY x::text), '') FROM \""
                                         + table + "\" x");
            everything += QByteArray::fromStdString(table) + ":" + rows.value(0, 0) + "\n";
        }
        return QCryptographicHash::hash(everything, QCryptographicHash::Sha256);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

Hold::Hold(const QString& path, bool exclusive, bool wholeTable)
{
    if (onServer()) {
        auto* server = new Server(location(path));
        m_server = server;
        server->run(std::string("BEGIN; ")
                    + (wholeTable ? std::string("LOCK TABLE podaci IN ") + (exclusive ? "ACCESS EXCLUSIVE" : "EXCLUSIVE")
                                        + " MODE; "
                                  : std::string())
                    + "UPDATE podaci SET prezime = 'Drugi' WHERE id = 1");
        return;
    }
    Db db = open(path, SQLITE_OPEN_READWRITE);
    run(db.get(), std::string(exclusive ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE")
                      + "; UPDATE PODACI SET Prezime = 'Drugi' WHERE ID = 1");
    m_sqlite = db.release();
}

void Hold::commit()
{
    if (auto* server = static_cast<Server*>(m_server))
        server->run("COMMIT");
    if (auto* db = static_cast<sqlite3*>(m_sqlite))
        run(db, "COMMIT");
}

Hold::~Hold()
{
    if (auto* server = static_cast<Server*>(m_server)) {
        try {
            server->run("ROLLBACK");
        } catch (...) {
        }
        delete server;
    }
    if (auto* db = static_cast<sqlite3*>(m_sqlite)) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
}

} // namespace test_register
