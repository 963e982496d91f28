// Statements that read, in a register file: prepared, run, and their rows
// taken into a RowStore, each value checked against its field's kind.

#include "SqliteEngine_p.h"

#include "RowStore.h"

namespace db {

namespace {

class SqliteReadStatement : public ReadStatement {
public:
    // storedValuesOnly is read once sql is prepared: whether it reads the
    // tables' stored values only.
    SqliteReadStatement(sqlite3* db, const std::string& sql, const std::vector<std::int64_t>& parameters,
                        const bool& storedValuesOnly)
        : m_statement(db, sql), m_storedValuesOnly(storedValuesOnly)
    {
        sqlite3_stmt* st = m_statement.get();
        for (std::size_t i = 0; i < parameters.size(); ++i)
            sqlite3_bind_int64(st, int(i) + 1, parameters[i]);
        const int count = sqlite3_column_count(st);
        m_columns.resize(count);
        for (int c = 0; c < count; ++c) {
            ResultColumn& column = m_columns[c];
            column.name = sqlite3_column_name(st, c);
            const char* table = sqlite3_column_table_name(st, c);
            const char* origin = sqlite3_column_origin_name(st, c);
            column.table = table ? table : "";
            column.origin = origin ? origin : "";
        }
    }

    const std::vector<ResultColumn>& columns() const override { return m_columns; }

    void findKinds() override
    {
        sqlite3_stmt* st = m_statement.get();
        for (int c = 0; c < int(m_columns.size()); ++c) {
            ResultColumn& column = m_columns[c];
            const char* declared = sqlite3_column_decltype(st, c);
            column.integer = declared && sqlite3_strlike("%INT%", declared, 0) == 0;
            int notNull = 0, primaryKey = 0, autoinc = 0;
            if (column.integer && !column.table.empty() && !column.origin.empty()
                && sqlite3_table_column_metadata(sqlite3_db_handle(st), sqlite3_column_database_name(st, c),
                                                 column.table.c_str(), column.origin.c_str(), nullptr, nullptr,
                                                 &notNull, &primaryKey, &autoinc)
                    == SQLITE_OK)
                column.autoIncrement = autoinc != 0;
        }
    }
    bool readsOnly() const override { return sqlite3_stmt_readonly(m_statement.get()) != 0; }

    void tryRun() override
    {
        // SQLite finds a changed schema at the first step, not when preparing.
        m_statement.step();
        sqlite3_reset(m_statement.get());
    }

    void readAll(const ReadPlan& plan, RowStore& store, std::vector<std::int64_t>& rowIds) override
    {
        sqlite3_stmt* st = m_statement.get();
        const std::size_t fieldCount = plan.columnOf.size();
        std::vector<bool> integer(fieldCount);
        for (std::size_t f = 0; f < fieldCount; ++f)
            integer[f] = plan.kinds[f] == FieldKind::Integer;
        // Values are read through the column's value object: one call into
        // the engine per value instead of two or three. The connection is
        // used by one thread only, which is what that way of reading asks.
        while (m_statement.step()) {
            if (plan.rowIdFirst)
                rowIds.push_back(sqlite3_column_int64(st, 0));
            for (std::size_t f = 0; f < fieldCount; ++f) {
                const int column = plan.columnOf[f];
                sqlite3_value* value = sqlite3_column_value(st, column);
                const int type = sqlite3_value_type(value);
                if (type == SQLITE_NULL) {
                    store.appendNull(f);
                } else if (!integer[f]) {
                    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
                    if (!text)
                        throw Exception(
                            say(QT_TRANSLATE_NOOP("Register", "Nema dovoljno memorije za čitanje spiska.")));
                    store.appendText(f, text, sqlite3_value_bytes(value));
                } else {
                    std::int32_t number = 0;
                    const sqlite3_int64 whole = type == SQLITE_INTEGER ? sqlite3_value_int64(value) : 0;
                    const bool fits = type == SQLITE_INTEGER ? whole >= INT32_MIN && whole <= INT32_MAX
                                                             : readInteger(st, column, type, number);
                    if (type == SQLITE_INTEGER)
                        number = static_cast<std::int32_t>(whole);
                    if (!fits)
                        throw Exception(
                            say(QT_TRANSLATE_NOOP("Register",
                                                  "Registar se ne može pročitati: %1 „%2” nije ceo broj između "
                                                  "-2147483648 i 2147483647."))
                                .arg(QString::fromStdString(plan.labels[f]),
                                     QString::fromStdString(cellText(st, column))));
                    store.appendInteger(f, number);
                }
            }
            store.endRow();
        }
    }

    // The plan's lines, as EXPLAIN QUERY PLAN tells them. SQLite's sorter
    // keeps rows with equal keys in the order the walk gave them, in memory
    // and spilled to disk alike (measured on a million rows; the search
    // tests fail on a version that did not); a plan that makes a temporary
    // b-tree for anything but ORDER BY promises nothing and gives "".
    // Neither does a statement that reads through a view or a trigger, or
    // calls a function other than LIKE: a view may read the clock or chance,
    // whose answers change with no write to the file.
    std::string walk() override
    {
        if (!m_storedValuesOnly)
            return {};
        sqlite3_stmt* st = m_statement.get();
        try {
            Statement plan(sqlite3_db_handle(st), std::string("EXPLAIN QUERY PLAN ") + sqlite3_sql(st));
            std::string lines;
            while (plan.step()) {
                const auto* detail = reinterpret_cast<const char*>(sqlite3_column_text(plan.get(), 3));
                const std::string_view line = detail ? detail : "";
                if (line.find("TEMP B-TREE") != std::string_view::npos
                    && line.find("ORDER BY") == std::string_view::npos)
                    return {};
                lines.append(line).push_back('\n');
            }
            return lines;
        } catch (const Exception&) {
            return {}; // no plan to be told: nothing is promised
        }
    }

private:
    Statement m_statement;
    bool m_storedValuesOnly;
    std::vector<ResultColumn> m_columns;
};

} // namespace

std::unique_ptr<ReadStatement> SqliteEngine::prepareRead(const std::string& sql,
                                                         const std::vector<std::int64_t>& parameters, bool /*rowsWanted*/)
{
    m_storedValuesOnly = true; // until the statement's preparing says otherwise
    return std::make_unique<SqliteReadStatement>(m_db.get(), sql, parameters, m_storedValuesOnly);
}

std::string SqliteEngine::tableStatement(const std::string& table, const std::vector<std::string>& keyColumns) const
{
    std::string sql = "SELECT rowid, * FROM " + quoteIdentifier(table);
    if (keyColumns.empty())
        return sql;
    for (std::size_t i = 0; i < keyColumns.size(); ++i)
        sql += (i ? " AND " : " WHERE ") + quoteIdentifier(keyColumns[i]) + " = ?" + std::to_string(i + 1);
    return sql + " ORDER BY rowid LIMIT 1";
}

} // namespace db
