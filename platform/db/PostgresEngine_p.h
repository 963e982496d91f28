#pragma once
// What the server engine's own sources share (PostgresEngine.cpp: the
// connection, its session and errors, the catalogue and read transactions;
// PostgresRead.cpp: statements that read; PostgresWrite.cpp: write
// transactions, writes and refusals). Not for other files.

#include "PostgresEngine.h"

#include "Exception.h"

#include <QCoreApplication>

#include <libpq-fe.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace db {
namespace postgres_detail {

// The server's types of whole numbers: int2, int4, int8.
inline bool integerType(Oid type)
{
    return type == 21 || type == 23 || type == 20;
}

inline std::string lower(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return folded;
}

inline std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// What a person reads when the connection to the server named so went.
std::string lostConnectionMessage(const QString& shown, const std::string& reason);

} // namespace postgres_detail

using namespace postgres_detail;

// The names of the schema as the server keeps them, read once: every table
// and view on the search path with its columns, keys and rules.
struct PostgresEngine::Names {
    struct Column {
        std::string name;
        Oid type = 0;
        bool numbered = false; // identity or serial
        int keyPosition = 0;   // place in the primary key, 1-based; 0 when not in it
    };
    struct Table {
        Oid oid = 0;
        std::string name;
        std::map<int, Column> columns; // by attribute number
        std::map<std::string, std::vector<std::string>> references; // foreign key name: its columns
        std::map<std::string, std::string> rules;                   // check name: its text
    };
    std::map<std::string, Table> byName; // by folded name
    std::map<Oid, const Table*> byOid;

    const Table* find(const std::string& name) const
    {
        const auto found = byName.find(lower(name));
        return found == byName.end() ? nullptr : &found->second;
    }
    const Column* column(const Table& table, const std::string& name) const
    {
        for (const auto& [number, column] : table.columns)
            if (sameName(column.name, name))
                return &column;
        return nullptr;
    }
};

} // namespace db
