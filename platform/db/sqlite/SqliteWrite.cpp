// Writing in a register file: write transactions, one row written,
// deleted or checked as this desk saw it, and SQLite's refusals worded for
// a person.

#include "SqliteEngine_p.h"

#include <pwd.h>
#include <unistd.h>

namespace db {

namespace {

// " AND column IS ?n ..." for the columns a write compares with what was
// seen, numbered from first (letter for letter, whatever the column's own
// collation); bindSeen binds them in the same order.
std::string seenCondition(const RowWrite& write, int first)
{
    std::string condition;
    for (std::size_t i = 0; i < write.compared.size(); ++i)
        if (write.compared[i])
            condition += " AND " + quoteIdentifier(write.columns[i]) + " IS ?" + std::to_string(first++)
                       + " COLLATE BINARY";
    return condition;
}

void bindSeen(sqlite3_stmt* statement, const RowWrite& write, int first)
{
    for (std::size_t i = 0; i < write.compared.size(); ++i)
        if (write.compared[i])
            bindValue(statement, first++, write.kinds[i], write.seen[i]);
}

// The outermost write takes the file's write lock at once (BEGIN
// IMMEDIATE), so that what is checked before the write cannot change under
// it; inside another transaction a savepoint is enough. Either way a write
// that throws leaves nothing behind, and the file is not even committed
// unchanged.
//
// Where the file keeps a history of its changes, the outermost write names
// this desk in KOLVARA_DESK for its length, so that the history's triggers
// record who made each change; the name is cleared again before the
// commit, so that a change another tool makes later is not taken for this
// desk's.
class SqliteWriteTransaction : public WriteTransaction {
public:
    SqliteWriteTransaction(sqlite3* db, Statement* nameDesk, Statement* clearDesk)
        : m_db(db), m_outermost(sqlite3_get_autocommit(db) != 0)
    {
        run(m_outermost ? "BEGIN IMMEDIATE" : "SAVEPOINT dataset_write");
        if (m_outermost && nameDesk && *nameDesk) {
            step(*nameDesk);
            m_clearDesk = clearDesk;
        }
    }
    void commit() override
    {
        if (m_clearDesk)
            step(*m_clearDesk);
        run(m_outermost ? "COMMIT" : "RELEASE dataset_write");
        m_open = false;
    }
    ~SqliteWriteTransaction() override
    {
        if (!m_open)
            return;
        if (m_outermost) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        } else {
            sqlite3_exec(m_db, "ROLLBACK TO dataset_write", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "RELEASE dataset_write", nullptr, nullptr, nullptr);
        }
    }

private:
    // A lock another program holds, a full disk ... say so as for any write.
    void run(const char* sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
            return;
        refuse();
    }
    void step(Statement& statement)
    {
        const int rc = sqlite3_step(statement.get());
        sqlite3_reset(statement.get());
        if (rc != SQLITE_DONE)
            refuse();
    }
    [[noreturn]] void refuse()
    {
        const std::string refusal = plainRefusal(sqlite3_extended_errcode(m_db), sqliteMessage(m_db));
        if (!refusal.empty())
            throw Exception(refusal);
        throwSqliteError(m_db, "");
    }

    sqlite3* m_db;
    bool m_outermost;
    bool m_open = true;
    Statement* m_clearDesk = nullptr;
};

// The desktop user this program runs for, as the history names them.
std::string desktopUser()
{
    if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_name && *user->pw_name)
        return user->pw_name;
    const QByteArray named = qgetenv("USER");
    return named.isEmpty() ? std::string("?") : named.toStdString();
}

} // namespace

std::unique_ptr<WriteTransaction> SqliteEngine::beginWrite()
{
    // A register made before its history has no KOLVARA_DESK: its writes
    // name nobody; one given a history while open is found at the next write.
    if (!m_nameDesk && !readOnly()) {
        sqlite3_stmt* probe = nullptr;
        const bool kept = sqlite3_prepare_v2(m_db.get(), "SELECT 1 FROM KOLVARA_DESK", -1, &probe, nullptr) == SQLITE_OK;
        sqlite3_finalize(probe);
        if (kept) {
            m_nameDesk = Statement(m_db.get(), "UPDATE KOLVARA_DESK SET WHO = ?1, APP = 'kolvara', MARK = NULL");
            sqlite3_bind_text(m_nameDesk.get(), 1, desktopUser().c_str(), -1, SQLITE_TRANSIENT);
            m_clearDesk = Statement(m_db.get(), "UPDATE KOLVARA_DESK SET WHO = NULL, APP = NULL, MARK = NULL");
        }
    }
    return std::make_unique<SqliteWriteTransaction>(m_db.get(), &m_nameDesk, &m_clearDesk);
}

bool SqliteEngine::rowExists(const std::string& table, const std::vector<std::string>& columns,
                             const std::vector<FieldKind>& kinds, const std::vector<CellValue>& values)
{
    std::string where;
    for (std::size_t i = 0; i < columns.size(); ++i)
        where += (i ? " AND " : "") + quoteIdentifier(columns[i]) + " = ?" + std::to_string(i + 1);
    Statement probe(m_db.get(),
                    "SELECT 1 FROM " + quoteIdentifier(table) + (where.empty() ? "" : " WHERE " + where) + " LIMIT 1");
    for (std::size_t i = 0; i < values.size(); ++i)
        bindValue(probe.get(), int(i) + 1, kinds[i], values[i]);
    return probe.step();
}

WrittenRow SqliteEngine::writeRow(const RowWrite& write)
{
    sqlite3* db = m_db.get();
    const bool byRowId = write.keyColumn.empty();
    const std::string table = quoteIdentifier(write.table);
    const std::string keyColumn = byRowId ? "rowid" : quoteIdentifier(write.keyColumn);

    std::string returning;
    for (const std::string& column : write.columns)
        returning += (returning.empty() ? "" : ", ") + quoteIdentifier(column);
    if (byRowId)
        returning += std::string(returning.empty() ? "" : ", ") + "rowid";

    std::vector<std::size_t> written;
    for (std::size_t i = 0; i < write.columns.size(); ++i)
        if (write.written[i])
            written.push_back(i);

    std::string sql;
    if (write.kind == RowWrite::Kind::Insert) {
        std::string columns, values;
        for (std::size_t i = 0; i < written.size(); ++i) {
            columns += (i ? ", " : "") + quoteIdentifier(write.columns[written[i]]);
            values += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        if (write.numberKey) {
            columns += (columns.empty() ? "" : ", ") + keyColumn;
            values += (values.empty() ? "" : ", ")
                + ("(SELECT coalesce(max(" + keyColumn + "), 0) + 1 FROM " + table + ")");
        }
        sql = columns.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                              : "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ")";
        sql += " RETURNING " + returning;
    } else if (write.kind == RowWrite::Kind::Check || written.empty()) {
        sql = "SELECT " + returning + " FROM " + table + " WHERE " + keyColumn + " = ?1";
    } else {
        std::string assignments;
        for (std::size_t i = 0; i < written.size(); ++i)
            assignments
                += (i ? ", " : "") + quoteIdentifier(write.columns[written[i]]) + " = ?" + std::to_string(i + 1);
        sql = "UPDATE " + table + " SET " + assignments + " WHERE " + keyColumn + " = ?"
            + std::to_string(written.size() + 1) + seenCondition(write, int(written.size()) + 2) + " RETURNING "
            + returning;
    }

    WrittenRow result;
    Statement statement(db, sql);
    sqlite3_stmt* st = statement.get();
    int parameter = 1;
    const bool updating = write.kind == RowWrite::Kind::Update && !written.empty();
    if (write.kind != RowWrite::Kind::Check)
        for (std::size_t i : written)
            bindValue(st, parameter++, write.kinds[i], write.values[i]);
    if (write.kind != RowWrite::Kind::Insert)
        sqlite3_bind_int64(st, write.kind == RowWrite::Kind::Check ? 1 : parameter++, write.key);
    if (updating)
        bindSeen(st, write, parameter);
    for (;;) {
        bool more = false;
        try {
            more = statement.step();
        } catch (const Exception& error) {
            throw Exception(explainRefusal(write, sqlite3_extended_errcode(db), error.Message()));
        }
        if (!more)
            break;
        if (++result.rows > 1)
            continue;
        result.values.resize(write.columns.size());
        for (std::size_t column = 0; column < write.columns.size(); ++column) {
            CellValue& value = result.values[column];
            const int type = sqlite3_column_type(st, int(column));
            value.null = type == SQLITE_NULL;
            if (value.null) {
            } else if (write.kinds[column] == FieldKind::Text) {
                value.text = cellText(st, int(column));
            } else if (!readInteger(st, int(column), type, value.integer)) {
                throw Exception(notWholeNumberMessage(cellText(st, int(column)), write.labels[column]));
            }
        }
        if (byRowId)
            result.rowId = sqlite3_column_int64(st, int(write.columns.size()));
    }
    return result;
}

int SqliteEngine::deleteRow(const RowWrite& write)
{
    sqlite3* db = m_db.get();
    Statement statement(db,
                        "DELETE FROM " + quoteIdentifier(write.table) + " WHERE "
                            + (write.keyColumn.empty() ? std::string("rowid") : quoteIdentifier(write.keyColumn))
                            + " = ?1" + seenCondition(write, 2));
    sqlite3_bind_int64(statement.get(), 1, write.key);
    bindSeen(statement.get(), write, 2);
    try {
        statement.step();
    } catch (const Exception& error) {
        const int code = sqlite3_extended_errcode(db);
        if (code == SQLITE_CONSTRAINT_FOREIGNKEY)
            throw Exception(stillReferencedMessage());
        const std::string refusal = plainRefusal(code, error.Message());
        throw Exception(refusal.empty() ? error.Message() : refusal);
    }
    return sqlite3_changes(db);
}

std::int64_t SqliteEngine::writeRows(const RowsWrite& write)
{
    sqlite3* db = m_db.get();
    std::string where;
    for (std::size_t i = 0; i < write.whereColumns.size(); ++i)
        where += (i ? " AND " : " WHERE ") + quoteIdentifier(write.whereColumns[i]) + " IS ?"
               + std::to_string(write.setColumns.size() + i + 1) + " COLLATE BINARY";
    const std::string table = quoteIdentifier(write.table);
    std::string sql;
    switch (write.kind) {
    case RowsWrite::Kind::Update:
        for (std::size_t i = 0; i < write.setColumns.size(); ++i)
            sql += (i ? ", " : "UPDATE " + table + " SET ") + quoteIdentifier(write.setColumns[i]) + " = ?"
                 + std::to_string(i + 1);
        break;
    case RowsWrite::Kind::Delete: sql = "DELETE FROM " + table; break;
    // The write holds the file's lock already (BEGIN IMMEDIATE): counting is enough.
    case RowsWrite::Kind::Hold: sql = "SELECT count(*) FROM " + table; break;
    }
    Statement statement(db, sql + where);
    int parameter = 1;
    if (write.kind == RowsWrite::Kind::Update)
        for (std::size_t i = 0; i < write.setColumns.size(); ++i)
            bindValue(statement.get(), parameter++, write.setKinds[i], write.setValues[i]);
    parameter = int(write.setColumns.size()) + 1;
    for (std::size_t i = 0; i < write.whereColumns.size(); ++i)
        bindValue(statement.get(), parameter++, write.whereKinds[i], write.whereValues[i]);
    bool row = false;
    try {
        row = statement.step();
    } catch (const Exception& error) {
        const int code = sqlite3_extended_errcode(db);
        if (code == SQLITE_CONSTRAINT_FOREIGNKEY && write.kind == RowsWrite::Kind::Delete)
            throw Exception(stillReferencedMessage());
        throw Exception(explainRefusal(refusalShape(write), code, error.Message()));
    }
    return write.kind == RowsWrite::Kind::Hold ? (row ? sqlite3_column_int64(statement.get(), 0) : 0)
                                               : sqlite3_changes64(db);
}

std::string SqliteEngine::explainRefusal(const RowWrite& write, int code, const std::string& engineMessage)
{
    sqlite3* db = m_db.get();
    // What a person calls a column of the table.
    auto labelOf = [&write](const std::string& column) -> std::string {
        for (std::size_t i = 0; i < write.columns.size(); ++i)
            if (sameName(write.columns[i], column))
                return write.labels[i];
        return column;
    };
    // The value a column of the table is being given.
    auto valueOf = [&write](const std::string& column, bool& null) -> std::string {
        null = true;
        for (std::size_t i = 0; i < write.columns.size(); ++i)
            if (sameName(write.columns[i], column)) {
                const CellValue& v = write.values[i];
                null = v.null;
                return v.null                              ? std::string()
                    : write.kinds[i] == FieldKind::Integer ? std::to_string(v.integer)
                                                           : v.text;
            }
        return {};
    };
    switch (code) {
    case SQLITE_CONSTRAINT_NOTNULL: {
        // "NOT NULL constraint failed: TABLE.COLUMN"
        const std::size_t dot = engineMessage.rfind('.');
        const std::string column = dot == std::string::npos ? engineMessage : engineMessage.substr(dot + 1);
        return missingValueMessage(labelOf(column));
    }
    case SQLITE_CONSTRAINT_FOREIGNKEY: {
        // Find the reference that points nowhere, and say which.
        Statement list(db, "SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?1) ORDER BY id, seq");
        sqlite3_bind_text(list.get(), 1, write.table.c_str(), -1, SQLITE_TRANSIENT);
        struct Reference {
            int id = -1;
            std::string parent;
            std::vector<std::string> from, to;
        };
        std::vector<Reference> references;
        while (list.step()) {
            const int id = sqlite3_column_int(list.get(), 0);
            if (references.empty() || references.back().id != id)
                references.push_back({id, cellText(list.get(), 1), {}, {}});
            references.back().from.push_back(cellText(list.get(), 2));
            references.back().to.push_back(cellText(list.get(), 3));
        }
        for (const Reference& reference : references) {
            std::string where;
            std::vector<std::string> values;
            bool anyNull = false;
            for (std::size_t i = 0; i < reference.from.size(); ++i) {
                bool null = false;
                values.push_back(valueOf(reference.from[i], null));
                anyNull = anyNull || null;
                // A reference to the parent's primary key may leave "to" empty.
                const std::string to = reference.to[i].empty() ? "rowid" : reference.to[i];
                where += (i ? " AND " : "") + quoteIdentifier(to) + " = ?" + std::to_string(i + 1);
            }
            if (anyNull)
                continue; // a reference with an empty part points at nothing and is allowed
            Statement probe(db, "SELECT 1 FROM " + quoteIdentifier(reference.parent) + " WHERE " + where);
            for (std::size_t i = 0; i < values.size(); ++i)
                sqlite3_bind_text(probe.get(), int(i) + 1, values[i].c_str(), -1, SQLITE_TRANSIENT);
            if (!probe.step()) {
                std::vector<std::string> labels;
                for (const std::string& column : reference.from)
                    labels.push_back(labelOf(column));
                return danglingReferenceMessage(labels, values);
            }
        }
        return unknownReferenceMessage();
    }
    case SQLITE_CONSTRAINT_CHECK:
        // "CHECK constraint failed: length(Ime) <= 255"
        return brokenRuleMessage(engineMessage.substr(std::min(engineMessage.size(), engineMessage.find(": ") + 2)));
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return duplicateKeyMessage();
    default: {
        const std::string refusal = plainRefusal(code, engineMessage);
        return refusal.empty() ? engineMessage : refusal;
    }
    }
}

} // namespace db
