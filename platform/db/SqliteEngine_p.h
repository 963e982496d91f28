#pragma once
// What the file engine's own sources share (SqliteEngine.cpp: opening the
// file, its change stamp, keys and read transactions; SqliteRead.cpp:
// statements that read; SqliteWrite.cpp: write transactions, writes and
// refusals). Not for other files.

#include "SqliteEngine.h"

#include "Exception.h"
#include "Sqlite.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>

namespace db {
namespace sqlite_detail {


inline QString quoted(const QString& path)
{
    return QStringLiteral("\u201E") + path + QStringLiteral("\u201D");
}

inline void execute(sqlite3* db, const char* sql, const std::string& context)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throwSqliteError(db, context);
}

inline std::string cellText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, sqlite3_column_bytes(statement, column)) : std::string();
}

// Reads an integer cell, whatever the database stored in it. False when
// the cell holds something that is not a whole number in 32 bits.
inline bool readInteger(sqlite3_stmt* statement, int column, int type, std::int32_t& value)
{
    switch (type) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(statement, column);
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
            return false;
        value = static_cast<std::int32_t>(v);
        return true;
    }
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(statement, column);
        if (d != static_cast<double>(static_cast<std::int64_t>(d)) || d < std::numeric_limits<std::int32_t>::min()
            || d > std::numeric_limits<std::int32_t>::max())
            return false;
        value = static_cast<std::int32_t>(d);
        return true;
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return text && db::parseInteger(std::string_view(text, sqlite3_column_bytes(statement, column)), value);
    }
    }
}

inline void bindValue(sqlite3_stmt* statement, int parameter, FieldKind kind, const CellValue& value)
{
    if (value.null)
        sqlite3_bind_null(statement, parameter);
    else if (kind == FieldKind::Integer)
        sqlite3_bind_int(statement, parameter, value.integer);
    else
        sqlite3_bind_text(statement, parameter, value.text.data(), int(value.text.size()), SQLITE_STATIC);
}

// The refusals that any write may meet, whatever it writes; "" for others.
inline std::string plainRefusal(int code, const std::string& engineMessage)
{
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_BUSY_SNAPSHOT:
    case SQLITE_LOCKED:
        return busyMessage();
    case SQLITE_READONLY:
    case SQLITE_READONLY_DBMOVED:
        return readOnlyMessage(engineMessage);
    case SQLITE_FULL:
        return diskFullMessage();
    default:
        return {};
    }
}

} // namespace sqlite_detail

using namespace sqlite_detail;

} // namespace db
