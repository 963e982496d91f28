#pragma once
// Registers for tests: real SQLite files in a temporary folder, filled with
// a small known sample, and a second connection of its own that reads what
// really reached the file.
//
// With KOLVARA_TEST_SERVER set (a PostgreSQL URI without a database, such as
// "postgresql://postgres@127.0.0.1:54321"), the same tests run on a server:
// each path then stands for a database of its own on that server (location()
// gives its URI), made with the server's schema, and the functions below
// reach it through a connection of their own as they reach a file.
//
// The sample, ordered as the persons list shows it (by country name):
//   Crna Gora: 5 Јелена Ђурић (Жабљак), 7 Seán O'Brien (Podgorica)
//   Hrvatska:  3 Marko Horvat (Zagreb, city number 1 as Beograd's), 4 Željko Čolić (Đakovo)
//   Srbija:    1 Đorđe Šćepanović (Beograd), 2 Ana Petrović (Šabac)
//   and person 6, whose city does not exist, so the list leaves it out.

#include "Exception.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

namespace test_register {

enum class Schema {
    Full,     // data/schema.sql: keys, foreign keys, checks, indexes
    Converted // the three tables alone, lower-case names, "Naziv", no keys
};

// Whether the tests run on a server (KOLVARA_TEST_SERVER).
bool onServer();
// What the program opens for the register of path: the path itself, or the
// URI of the server's database that stands for it.
QString location(const QString& path);

// Writes a new register at path with the sample. Throws std::runtime_error.
void create(const QString& path, Schema schema = Schema::Full);

// The persons list's statement with no search text.
extern const std::string PersonsStatement;

// Runs SQL on a connection of its own (foreign keys off, as another
// program may run), then closes it.
void exec(const QString& path, const std::string& sql);
// The first column of the first row as text ("" for none, "NULL" for null).
QString value(const QString& path, const std::string& sql);
long long count(const QString& path, const std::string& where = "TRUE", const std::string& table = "PODACI");
// The first column of every row, as text ("NULL" for null).
QStringList column(const QString& path, const std::string& sql);
// Everything the file holds, for "the file is unchanged".
QByteArray digest(const QString& path);

// Another program in the middle of a write, holding the register's write
// lock until destroyed; exclusive keeps readers out too. On a server,
// without wholeTable it holds only the person it changed (a file has one
// writer at a time whatever it writes).
class Hold {
public:
    Hold(const QString& path, bool exclusive, bool wholeTable = true);
    // Ends the write: committed, or (as destroyed) taken back.
    void commit();
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    void* m_sqlite = nullptr;
    void* m_server = nullptr;
};

// What action threw as a person reads it ("" when it went through).
template <typename F>
QString messageOf(F&& action)
{
    try {
        action();
    } catch (const Exception& error) {
        return QString::fromStdString(error.Message());
    }
    return QString();
}

} // namespace test_register

// In a test of what only a file does (its bytes, its folder, a disk that
// fills, SQLite's own statements): skips it when the tests run on a server.
#define SKIP_ON_SERVER(why)                                                                                            \
    do {                                                                                                               \
        if (test_register::onServer())                                                                                 \
            QSKIP(why);                                                                                                \
    } while (false)
