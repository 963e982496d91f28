// The write statements of every engine, written once; see WriteStatement.h.

#include "WriteStatement.h"

namespace db {

namespace {

// A statement being written: each parameter gets the next placeholder.
class StatementText {
public:
    explicit StatementText(const WriteDialect& dialect) : m_dialect(dialect) {}

    // The placeholder of a value given next.
    std::string value(FieldKind kind, const CellValue& value)
    {
        m_statement.parameters.push_back(WriteParameter{false, 0, kind, value});
        return placeholder();
    }
    // The placeholder of a row's key given next.
    std::string key(std::int64_t key)
    {
        m_statement.parameters.push_back(WriteParameter{true, key, FieldKind::Integer, {}});
        return placeholder();
    }
    // " AND column ..." for each column write compares with what was seen,
    // its seen value given next.
    std::string seen(const RowWrite& write)
    {
        std::string condition;
        for (std::size_t i = 0; i < write.compared.size(); ++i)
            if (write.compared[i])
                condition += " AND "
                           + m_dialect.sameValue(m_dialect.column(write.table, write.columns[i]), write.kinds[i],
                                                 value(write.kinds[i], write.seen[i]));
        return condition;
    }
    WriteStatement done(std::string sql)
    {
        m_statement.sql = std::move(sql);
        return std::move(m_statement);
    }

private:
    std::string placeholder() const { return m_dialect.placeholder(int(m_statement.parameters.size())); }

    const WriteDialect& m_dialect;
    WriteStatement m_statement;
};

// What a written row is read back as: its columns, then its row id when
// it is written by row id (key).
std::string returned(const RowWrite& write, const WriteDialect& dialect, const std::string& key)
{
    std::string returning;
    for (const std::string& column : write.columns)
        returning += (returning.empty() ? "" : ", ") + dialect.column(write.table, column);
    if (write.keyColumn.empty())
        returning += (returning.empty() ? "" : ", ") + key;
    return returning;
}

// The key column of write as a statement writes it: the row id when it has none.
std::string keyOf(const RowWrite& write, const WriteDialect& dialect)
{
    return write.keyColumn.empty() ? dialect.rowId(write.table) : dialect.column(write.table, write.keyColumn);
}

std::string insertText(const RowWrite& write, const std::vector<std::size_t>& written, const WriteDialect& dialect,
                       const std::string& table, const std::string& key, StatementText& text)
{
    std::string columns, values;
    for (std::size_t i : written) {
        columns += (columns.empty() ? "" : ", ") + dialect.column(write.table, write.columns[i]);
        values += (values.empty() ? "" : ", ") + text.value(write.kinds[i], write.values[i]);
    }
    if (write.numberKey) {
        columns += (columns.empty() ? "" : ", ") + key;
        values += (values.empty() ? "" : ", ") + ("(SELECT coalesce(max(" + key + "), 0) + 1 FROM " + table + ")");
    }
    return columns.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                           : "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ")";
}

std::string updateText(const RowWrite& write, const std::vector<std::size_t>& written, const WriteDialect& dialect,
                       const std::string& table, const std::string& key, StatementText& text)
{
    std::string assignments;
    for (std::size_t i : written)
        assignments += (assignments.empty() ? "" : ", ") + dialect.column(write.table, write.columns[i]) + " = "
                     + text.value(write.kinds[i], write.values[i]);
    const std::string keyPlaceholder = text.key(write.key);
    return "UPDATE " + table + " SET " + assignments + " WHERE " + key + " = " + keyPlaceholder + text.seen(write);
}

} // namespace

WriteStatement rowWriteStatement(const RowWrite& write, const WriteDialect& dialect)
{
    const std::string table = dialect.table(write.table);
    const std::string key = keyOf(write, dialect);
    const std::string returning = returned(write, dialect, key);
    std::vector<std::size_t> written;
    for (std::size_t i = 0; i < write.columns.size(); ++i)
        if (write.written[i])
            written.push_back(i);

    StatementText text(dialect);
    if (write.kind == RowWrite::Kind::Insert)
        return text.done(insertText(write, written, dialect, table, key, text) + " RETURNING " + returning);
    if (write.kind == RowWrite::Kind::Check || written.empty()) {
        const std::string keyPlaceholder = text.key(write.key);
        return text.done("SELECT " + returning + " FROM " + table + " WHERE " + key + " = " + keyPlaceholder
                         + dialect.lockingRead());
    }
    return text.done(updateText(write, written, dialect, table, key, text) + " RETURNING " + returning);
}

WriteStatement rowsInsertStatement(const RowWrite& write, const WriteDialect& dialect)
{
    RowWrite row = write;
    row.numberKey = false;
    std::vector<std::size_t> written(write.columns.size());
    for (std::size_t i = 0; i < written.size(); ++i)
        written[i] = i;
    row.values.resize(write.columns.size());
    StatementText text(dialect);
    return text.done(insertText(row, written, dialect, dialect.table(write.table), keyOf(write, dialect), text));
}

WriteStatement rowDeleteStatement(const RowWrite& write, const WriteDialect& dialect)
{
    StatementText text(dialect);
    const std::string table = dialect.table(write.table);
    const std::string key = keyOf(write, dialect);
    const std::string keyPlaceholder = text.key(write.key);
    return text.done("DELETE FROM " + table + " WHERE " + key + " = " + keyPlaceholder + text.seen(write));
}

WriteStatement rowsWriteStatement(const RowsWrite& write, const WriteDialect& dialect)
{
    StatementText text(dialect);
    const std::string table = dialect.table(write.table);
    const bool lockedWhole = dialect.lockingRead().empty();
    std::string sql;
    switch (write.kind) {
    case RowsWrite::Kind::Update:
        for (std::size_t i = 0; i < write.setColumns.size(); ++i)
            sql += (i ? ", " : "UPDATE " + table + " SET ") + dialect.column(write.table, write.setColumns[i]) + " = "
                 + text.value(write.setKinds[i], write.setValues[i]);
        break;
    case RowsWrite::Kind::Delete: sql = "DELETE FROM " + table; break;
    // Where the write holds the whole register, counting is enough; elsewhere
    // each row is read, so that the read holds it.
    case RowsWrite::Kind::Hold: sql = (lockedWhole ? "SELECT count(*) FROM " : "SELECT 1 FROM ") + table; break;
    }
    for (std::size_t i = 0; i < write.whereColumns.size(); ++i)
        sql += (i ? " AND " : " WHERE ")
             + dialect.sameValue(dialect.column(write.table, write.whereColumns[i]), write.whereKinds[i],
                                 text.value(write.whereKinds[i], write.whereValues[i]));
    if (write.kind == RowsWrite::Kind::Hold)
        sql += dialect.lockingRead();
    return text.done(std::move(sql));
}

WriteStatement rowExistsStatement(const std::string& table, const std::vector<std::string>& columns,
                                  const std::vector<FieldKind>& kinds, const std::vector<CellValue>& values,
                                  const WriteDialect& dialect)
{
    StatementText text(dialect);
    std::string where;
    for (std::size_t i = 0; i < columns.size(); ++i)
        where += (i ? " AND " : " WHERE ") + dialect.column(table, columns[i]) + " = " + text.value(kinds[i], values[i]);
    return text.done("SELECT 1 FROM " + dialect.table(table) + where + " LIMIT 1");
}

} // namespace db
