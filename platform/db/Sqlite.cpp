#include "Sqlite.h"

#include "Exception.h"

void SqliteCloser::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

std::string quoteIdentifier(std::string_view name)
{
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

void throwSqliteError(sqlite3* db, const std::string& context)
{
    const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    throw Exception(context.empty() ? message : context + ": " + message);
}

Statement::Statement(sqlite3* db, std::string_view sql)
{
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_stmt, nullptr) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db);
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw Exception(message);
    }
    if (!m_stmt)
        throw Exception("The SQL text holds no statement.");
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
