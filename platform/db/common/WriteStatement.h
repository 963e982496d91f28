#pragma once
// The statements every engine writes with: one row inserted, changed,
// checked or deleted as a desk saw it (RowWrite), the rows that hold given
// values changed together (RowsWrite), and the probe for a row that holds
// given values. The engines write the same statements and differ only in
// how their SQL names things, numbers its parameters, holds what it reads
// and compares letter for letter: each says so through a WriteDialect,
// and binds the parameters, runs the statement and reads what it answers
// its own way.

#include "Engine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace db {

// What one engine's SQL writes its own way.
class WriteDialect {
public:
    virtual ~WriteDialect() = default;
    // The name of table, and of its column, as a statement writes them.
    virtual std::string table(const std::string& table) const = 0;
    virtual std::string column(const std::string& table, const std::string& column) const = 0;
    // The expression that gives a row of table its row id (see RowWrite).
    virtual std::string rowId(const std::string& table) const = 0;
    // The placeholder of the parameter numbered so, from 1.
    virtual std::string placeholder(int number) const = 0;
    // What a read inside a write ends with, so that the rows it reads stay
    // as read until the write ends; "" where the write holds the whole
    // register already.
    virtual std::string lockingRead() const = 0;
    // The condition that column (as column() writes it), of kind, holds the
    // parameter of placeholder: a text letter for letter, whatever the
    // column's own collation or type, and NULL equal to NULL.
    virtual std::string sameValue(const std::string& column, FieldKind kind, const std::string& placeholder) const = 0;
};

// One parameter of a write statement: a value of the kind given, or (key)
// a row's key, which may be a row id wider than a column's value.
struct WriteParameter {
    bool key = false;
    std::int64_t number = 0; // the key
    FieldKind kind = FieldKind::Integer;
    CellValue value;
};

// A statement's text and its parameters, in the order of their
// placeholders (numbered from 1, one a parameter).
struct WriteStatement {
    std::string sql;
    std::vector<WriteParameter> parameters;
};

// What writeRow runs for write: an Insert, an Update of the columns it
// sets (if the compared columns still hold what was seen), or for a Check
// or an Update that sets nothing a read of the row, held as lockingRead()
// holds it. Each answers the written row, if any: every column of write in
// order, then its row id when write is by row id.
WriteStatement rowWriteStatement(const RowWrite& write, const WriteDialect& dialect);
// The insert of one row of write.columns, its values write.values, that
// answers nothing and leaves write.keyColumn to the table to number: the
// statement an engine prepares once for many rows.
WriteStatement rowsInsertStatement(const RowWrite& write, const WriteDialect& dialect);

// What deleteRow runs for write: the row with its key goes, if its
// compared columns still hold what was seen.
WriteStatement rowDeleteStatement(const RowWrite& write, const WriteDialect& dialect);

// What writeRows runs for write. A Hold where the write holds the whole
// register already (lockingRead() is "") only counts the rows, in one row
// of one column; elsewhere it reads one row for each row chosen, and holds
// them.
WriteStatement rowsWriteStatement(const RowsWrite& write, const WriteDialect& dialect);

// What rowExists runs: one row (a 1) when table holds a row whose columns
// equal values (as the columns compare), none otherwise.
WriteStatement rowExistsStatement(const std::string& table, const std::vector<std::string>& columns,
                                  const std::vector<FieldKind>& kinds, const std::vector<CellValue>& values,
                                  const WriteDialect& dialect);

} // namespace db
