#pragma once
// The register's history of persons as a desk reads it, and a person taken
// back to an earlier version of theirs.
//
// The register records every change itself (data/history.sql in a file,
// data/history-postgresql.sql on a server), in the transaction of the
// change: this class only reads that record, through the connection's
// engine, the same on a file and a server.
//
// What it keeps true: taking a person back is an ordinary write, compared
// with what this desk expects the register to hold, letter for letter; a
// person changed meanwhile elsewhere is never overwritten (EUpdateConflict
// says what they hold now, as a save's refusal does), and a deleted person
// comes back under their own number only while the number is free and
// their city is still in the register.

#include "DataSet.h"
#include "Values.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TADOConnection;
namespace db {
class Engine;
}

// A person's values as the register keeps them.
struct PersonValues {
    db::CellValue country;   // ID_DRZAVA
    db::CellValue city;      // ID_GRAD
    db::CellValue firstName; // Ime
    db::CellValue surname;   // Prezime
    bool operator==(const PersonValues&) const = default;
};

// One change of a person, as the history records it.
struct PersonChange {
    std::int64_t number = 0; // in the order recorded
    QDateTime at;            // when (UTC)
    db::CellValue who;       // who: a desktop user, or a server's role; null: not named
    db::CellValue program;   // with which program, where told
    char kind = 'U';         // 'I' added, 'U' changed, 'D' deleted
    std::int32_t person = 0;
    std::optional<PersonValues> before; // none for an addition
    std::optional<PersonValues> after;  // none for a deletion
};

class History {
public:
    // connection: open, and kept open while this lives.
    explicit History(TADOConnection& connection) : m_connection(connection) {}

    // Whether the register records its history (one made before it does
    // not, until its owner gives it one).
    bool kept();
    // Every change of the person numbered person, newest first.
    std::vector<PersonChange> ofPerson(std::int32_t person);
    // The persons deleted and not back since, each by the last deletion,
    // newest first; at most limit of them.
    std::vector<PersonChange> deleted(int limit = 1000);
    // What the register holds of person now; nothing when no such person.
    std::optional<PersonValues> now(std::int32_t person);
    // Whether this desk may take persons back (change them).
    bool mayRestore();
    // Makes person hold to (nothing: the person goes), in one write, if the
    // register holds expected of them now (nothing: no such person).
    // Throws EUpdateConflict (entries: to as typed, the register's as
    // stored) when it holds something else, and Exception worded for a
    // person when the person is gone, their number taken, or their city no
    // longer in the register.
    void restore(std::int32_t person, const std::optional<PersonValues>& to,
                 const std::optional<PersonValues>& expected);

    // The statements ofPerson and deleted read, for the benchmark.
    static std::string personStatement(std::int32_t person);
    static std::string deletedStatement(int limit);

    // The labels of a person's fields, as the window names them.
    static QString label(int field);

private:
    db::Engine& engine();
    std::vector<PersonChange> read(const std::string& sql);
    [[noreturn]] void refuse(std::int32_t person, const std::optional<PersonValues>& to);

    TADOConnection& m_connection;
};
