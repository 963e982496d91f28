// Writing in a register file: write transactions, one row written,
// deleted or checked as this desk saw it, and SQLite's refusals worded for
// a person. The statements are the ones every engine writes
// (WriteStatement.h), in the file's dialect; here they are bound, run and
// read back.

#include "SqliteEngine_p.h"

#include <QScopeGuard>

#include "WriteStatement.h"

#include <pwd.h>
#include <unistd.h>

namespace db {

namespace {

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

namespace {

// How the file's SQL writes what every engine writes alike: names in
// double quotes, SQLite's own rowid, numbered placeholders, and no locking
// read, the write holding the whole file (BEGIN IMMEDIATE) already.
class FileDialect : public WriteDialect {
public:
    std::string table(const std::string& table) const override { return quoteIdentifier(table); }
    std::string column(const std::string&, const std::string& column) const override { return quoteIdentifier(column); }
    std::string rowId(const std::string&) const override { return "rowid"; }
    std::string placeholder(int number) const override { return "?" + std::to_string(number); }
    std::string lockingRead() const override { return {}; }
    std::string sameValue(const std::string& column, FieldKind, const std::string& placeholder) const override
    {
        return column + " IS " + placeholder + " COLLATE BINARY";
    }
};

void bindAll(sqlite3_stmt* statement, const WriteStatement& written)
{
    for (std::size_t i = 0; i < written.parameters.size(); ++i) {
        const WriteParameter& parameter = written.parameters[i];
        if (parameter.key)
            sqlite3_bind_int64(statement, int(i) + 1, parameter.number);
        else
            bindValue(statement, int(i) + 1, parameter.kind, parameter.value);
    }
}

// A write statement prepared on db, its parameters bound.
Statement prepared(sqlite3* db, const WriteStatement& written)
{
    Statement statement(db, written.sql);
    bindAll(statement.get(), written);
    return statement;
}

// The columns of write read back from the row statement stands on, then
// its row id when write is by row id.
void readWritten(sqlite3_stmt* statement, const RowWrite& write, WrittenRow& row)
{
    row.values.resize(write.columns.size());
    for (std::size_t column = 0; column < write.columns.size(); ++column) {
        CellValue& value = row.values[column];
        const int type = sqlite3_column_type(statement, int(column));
        value.null = type == SQLITE_NULL;
        if (value.null) {
        } else if (write.kinds[column] == FieldKind::Text) {
            value.text = cellText(statement, int(column));
        } else if (!readInteger(statement, int(column), type, value.integer)) {
            throw Exception(notWholeNumberMessage(cellText(statement, int(column)), write.labels[column]));
        }
    }
    if (write.keyColumn.empty())
        row.rowId = sqlite3_column_int64(statement, int(write.columns.size()));
}

// A reference of a table to another: the parent's columns (to) that its
// columns (from) must name.
struct Reference {
    int id = -1;
    std::string parent;
    std::vector<std::string> from, to;
};

// The references of table, as the file declares them.
std::vector<Reference> referencesOf(sqlite3* db, const std::string& table)
{
    Statement list(db, "SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?1) ORDER BY id, seq");
    sqlite3_bind_text(list.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<Reference> references;
    while (list.step()) {
        const int id = sqlite3_column_int(list.get(), 0);
        if (references.empty() || references.back().id != id)
            references.push_back({id, cellText(list.get(), 1), {}, {}});
        references.back().from.push_back(cellText(list.get(), 2));
        references.back().to.push_back(cellText(list.get(), 3));
    }
    return references;
}

// The value write gives column, as text; null when it gives none (or
// does not hold the column).
std::string valueOf(const RowWrite& write, const std::string& column, bool& null)
{
    const int i = columnIndex(write, column);
    null = i < 0 || write.values[std::size_t(i)].null;
    return i < 0 ? std::string() : valueText(write.kinds[std::size_t(i)], write.values[std::size_t(i)]);
}

// What a person reads when write refers to something the file does not
// hold: the reference that points nowhere, found and named.
std::string danglingReference(sqlite3* db, const RowWrite& write)
{
    for (const Reference& reference : referencesOf(db, write.table)) {
        std::string where;
        std::vector<std::string> values;
        bool anyNull = false;
        for (std::size_t i = 0; i < reference.from.size(); ++i) {
            bool null = false;
            values.push_back(valueOf(write, reference.from[i], null));
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
                labels.push_back(labelOf(write, column));
            return danglingReferenceMessage(labels, values);
        }
    }
    return unknownReferenceMessage();
}

} // namespace

bool SqliteEngine::rowExists(const std::string& table, const std::vector<std::string>& columns,
                             const std::vector<FieldKind>& kinds, const std::vector<CellValue>& values)
{
    return prepared(m_db.get(), rowExistsStatement(table, columns, kinds, values, FileDialect())).step();
}

Statement& SqliteEngine::writeStatement(const WriteStatement& written)
{
    constexpr std::size_t MostKept = 64;
    auto found = m_writes.find(written.sql);
    if (found == m_writes.end()) {
        if (m_writes.size() >= MostKept)
            m_writes.clear();
        found = m_writes.emplace(written.sql, Statement(m_db.get(), written.sql)).first;
    }
    sqlite3_reset(found->second.get());
    sqlite3_clear_bindings(found->second.get());
    bindAll(found->second.get(), written);
    return found->second;
}

WrittenRow SqliteEngine::writeRow(const RowWrite& write)
{
    sqlite3* db = m_db.get();
    Statement& statement = writeStatement(rowWriteStatement(write, FileDialect()));
    // Done with, it holds nothing of the file until the next write.
    const auto reset = qScopeGuard([&] { sqlite3_reset(statement.get()); });
    WrittenRow result;
    for (;;) {
        bool more = false;
        try {
            more = statement.step();
        } catch (const Exception& error) {
            throw Exception(explainRefusal(write, sqlite3_extended_errcode(db), error.Message()));
        }
        if (!more)
            break;
        if (++result.rows == 1)
            readWritten(statement.get(), write, result);
    }
    return result;
}

// One statement prepared for every row, answering nothing: a RETURNING
// would gather each row's answer in a table of its own.
std::int64_t SqliteEngine::insertRows(const RowWrite& write,
                                      const std::function<bool(std::vector<CellValue>&)>& next)
{
    if (!numbersKeysItself(write.table, write.keyColumn))
        return Engine::insertRows(write, next);
    sqlite3* db = m_db.get();
    Statement statement(db, rowsInsertStatement(write, FileDialect()).sql);
    std::vector<CellValue> values;
    std::int64_t inserted = 0;
    while (next(values)) {
        sqlite3_reset(statement.get());
        for (std::size_t c = 0; c < write.columns.size(); ++c)
            bindValue(statement.get(), int(c) + 1, write.kinds[c], c < values.size() ? values[c] : CellValue{});
        try {
            statement.step();
        } catch (const Exception& error) {
            throw Exception(explainRefusal(write, sqlite3_extended_errcode(db), error.Message()));
        }
        ++inserted;
    }
    return inserted;
}

int SqliteEngine::deleteRow(const RowWrite& write)
{
    sqlite3* db = m_db.get();
    Statement statement = prepared(db, rowDeleteStatement(write, FileDialect()));
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
    Statement statement = prepared(db, rowsWriteStatement(write, FileDialect()));
    bool row = false;
    try {
        row = statement.step();
    } catch (const Exception& error) {
        const int code = sqlite3_extended_errcode(db);
        if (code == SQLITE_CONSTRAINT_FOREIGNKEY && write.kind == RowsWrite::Kind::Delete)
            throw Exception(stillReferencedMessage());
        throw Exception(explainRefusal(refusalShape(write), code, error.Message()));
    }
    // A Hold answers the count of its rows.
    return write.kind == RowsWrite::Kind::Hold ? (row ? sqlite3_column_int64(statement.get(), 0) : 0)
                                               : sqlite3_changes64(db);
}

std::string SqliteEngine::explainRefusal(const RowWrite& write, int code, const std::string& engineMessage)
{
    switch (code) {
    case SQLITE_CONSTRAINT_NOTNULL: {
        // "NOT NULL constraint failed: TABLE.COLUMN"
        const std::size_t dot = engineMessage.rfind('.');
        const std::string column = dot == std::string::npos ? engineMessage : engineMessage.substr(dot + 1);
        return missingValueMessage(labelOf(write, column));
    }
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return danglingReference(m_db.get(), write);
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
