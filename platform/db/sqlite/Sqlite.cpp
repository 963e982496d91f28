#include "Sqlite.h"

#include "Engine.h"

#include "Exception.h"

#include <QCoreApplication>

void SqliteCloser::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

std::string sqliteMessage(sqlite3* db)
{
    if (!db)
        return "out of memory";
    switch (sqlite3_errcode(db)) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        // The engine says "database is locked", which leaves a person guessing.
        return db::lockedMessage();
    default:
        return sqlite3_errmsg(db);
    }
}

void bindValue(sqlite3_stmt* statement, int parameter, bool null, bool whole, std::int64_t number,
               std::string_view text)
{
    if (null)
        sqlite3_bind_null(statement, parameter);
    else if (whole)
        sqlite3_bind_int64(statement, parameter, number);
    else
        sqlite3_bind_text(statement, parameter, text.data(), int(text.size()), SQLITE_TRANSIENT);
}

void throwSqliteError(sqlite3* db, const std::string& context)
{
    const std::string message = sqliteMessage(db);
    throw Exception(context.empty() ? message : context + ": " + message);
}

Statement::Statement(sqlite3* db, std::string_view sql)
{
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_stmt, &tail) != SQLITE_OK) {
        const std::string message = sqliteMessage(db);
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw Exception(message);
    }
    if (!m_stmt)
        throw Exception(QCoreApplication::translate("Register", "SQL tekst nema nijednu naredbu."));
    // A second statement after the first would silently not run: refuse the
    // whole text instead. Blanks and comments after it are fine.
    const std::string_view rest = sql.substr(static_cast<std::size_t>(tail - sql.data()));
    if (rest.find_first_not_of(" \t\r\n;") != std::string_view::npos) {
        sqlite3_stmt* next = nullptr;
        const int rc = sqlite3_prepare_v2(db, rest.data(), static_cast<int>(rest.size()), &next, nullptr);
        sqlite3_finalize(next);
        if (rc != SQLITE_OK || next) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            throw Exception(db::severalStatementsMessage());
        }
    }
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = other.m_stmt;
        other.m_stmt = nullptr;
    }
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throwSqliteError(sqlite3_db_handle(m_stmt), "");
}

void Statement::run()
{
    step();
    sqlite3_reset(m_stmt);
}
