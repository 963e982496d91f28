#pragma once
// Registers for tests: real SQLite files in a temporary folder, filled with
// a small known sample, and a second connection of its own that reads what
// really reached the file.
//
// The sample, ordered as the persons list shows it (by country name):
//   Crna Gora: 5 Јелена Ђурић (Жабљак), 7 Seán O'Brien (Podgorica)
//   Hrvatska:  3 Marko Horvat (Zagreb, city number 1 as Beograd's), 4 Željko Čolić (Đakovo)
//   Srbija:    1 Đorđe Šćepanović (Beograd), 2 Ana Petrović (Šabac)
//   and person 6, whose city does not exist, so the list leaves it out.

#include <QByteArray>
#include <QString>

#include <string>

namespace test_register {

enum class Schema {
    Full,     // data/schema.sql: keys, foreign keys, checks, indexes
    Converted // the three tables alone, lower-case names, "Naziv", no keys
};

// Writes a new register at path with the sample. Throws std::runtime_error.
void create(const QString& path, Schema schema = Schema::Full);

// The persons list's statement with no search text.
extern const std::string PersonsStatement;

// Runs SQL on a connection of its own (foreign keys off, as another
// program may run), then closes it.
void exec(const QString& path, const std::string& sql);
// The first column of the first row as text ("" for none, "NULL" for null).
QString value(const QString& path, const std::string& sql);
long long count(const QString& path, const std::string& where = "1", const std::string& table = "PODACI");
// Everything the file holds, for "the file is unchanged".
QByteArray digest(const QString& path);

} // namespace test_register
