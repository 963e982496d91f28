#include "TestRegister.h"

#include "PersonsStatement.h"

#include "Schema.h"

#include <QCryptographicHash>
#include <QFile>

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

namespace test_register {

const std::string PersonsStatement = personsStatement("", "", "", "");

namespace {

using Db = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;

Db open(const QString& path, int flags)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    Db db(raw, sqlite3_close);
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

} // namespace

void create(const QString& path, Schema schema)
{
    QFile::remove(path);
    Db db = open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    run(db.get(), schema == Schema::Full ? registerSchema : ConvertedSchema);
    // Person 6 has no city: only a file without foreign keys can hold it,
    // as a file written by another program may.
    run(db.get(), "PRAGMA foreign_keys = OFF");
    run(db.get(), Sample);
}

void exec(const QString& path, const std::string& sql)
{
    Db db = open(path, SQLITE_OPEN_READWRITE);
    run(db.get(), sql);
}

QString value(const QString& path, const std::string& sql)
{
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

long long count(const QString& path, const std::string& where, const std::string& table)
{
    return value(path, "SELECT count(*) FROM " + table + " WHERE " + where).toLongLong();
}

QByteArray digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace test_register
