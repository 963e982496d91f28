#pragma once
// Thin owners of SQLite handles, so that no handle outlives an exception:
// part of the file engine's face, for its own sources and for the tools
// that work on register files through it (the Access import writes one).

#include "Engine.h"
#include "SqliteHandle.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

using db::quoteIdentifier;

// SQLite's message for db's last error, said plainly where the engine's own
// words would not tell a person what to do.
std::string sqliteMessage(sqlite3* db);

// Throws Exception with context, a colon and SQLite's own message for db.
[[noreturn]] void throwSqliteError(sqlite3* db, const std::string& context);

// Binds one value to parameter (from 1) of statement: NULL when null, else
// the whole number when whole, else the text (copied: it need not outlive
// the call).
void bindValue(sqlite3_stmt* statement, int parameter, bool null, bool whole, std::int64_t number,
               std::string_view text);

// A prepared statement, finalized when it goes out of scope.
class Statement {
public:
    Statement() = default;
    // Prepares sql on db; throws Exception with the database's message, or
    // when sql holds more than one statement.
    Statement(sqlite3* db, std::string_view sql);
    Statement(Statement&& other) noexcept : m_stmt(other.m_stmt) { other.m_stmt = nullptr; }
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(m_stmt); }

    sqlite3_stmt* get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }

    // Steps once: true on a row, false when done; throws on an error.
    bool step();
    // Binds a whole number, or a text (copied), to parameter (from 1).
    void bind(int parameter, std::int64_t number) { bindValue(m_stmt, parameter, false, true, number, {}); }
    void bind(int parameter, std::string_view text) { bindValue(m_stmt, parameter, false, false, 0, text); }
    // Runs a statement that returns no rows (an insert) and makes it ready
    // to run again; throws on an error.
    void run();

private:
    sqlite3_stmt* m_stmt = nullptr;
};
