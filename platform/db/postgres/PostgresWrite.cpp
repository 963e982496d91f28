// Writing on a server: write transactions (whose COMMIT, if its answer is
// lost, is found out by the transaction's number), one row written,
// deleted or checked as this desk saw it, and the server's refusals worded
// for a person.

#include "PostgresEngine_p.h"

#include "Exception.h"

#include <QUuid>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace db {

// The outermost write is a transaction of its own; a write inside another
// is a savepoint. Rolled back unless committed. What a write checks first
// (its row still there, the rows it refers to) it locks as it reads, so that
// the checks still hold when it is made.
class PostgresWriteTransaction : public WriteTransaction {
public:
    explicit PostgresWriteTransaction(PostgresEngine& engine) : m_engine(engine)
    {
        if (engine.m_depth == 0) {
            engine.ensureConnected();
            // The transaction's number comes with its BEGIN, and its mark
            // goes with it, in the same round trip: should the answer to its
            // COMMIT be lost, the register's history is asked for the mark
            // (the server records it with every change the write makes),
            // else the server for the number, what became of the write. A
            // mark is drawn by this desk, so that it names this write only,
            // even on a standby promoted since, which hands transaction
            // numbers out again.
            m_mark = QUuid::createUuid().toString(QUuid::Id128).toStdString();
            const PostgresEngine::Result begun = engine.run(
                "BEGIN READ WRITE; SELECT txid_current(), set_config('kolvara.mark', '" + m_mark + "', true)");
            m_number = begun.rows() == 1 ? begun.value(0, 0) : "";
        } else {
            engine.run("SAVEPOINT dataset_write");
        }
        ++engine.m_depth;
    }
    void commit() override
    {
        const bool outermost = m_engine.m_depth == 1;
        m_open = false;
        --m_engine.m_depth;
        try {
            m_engine.run(outermost ? "COMMIT" : "RELEASE dataset_write");
        } catch (const Exception& error) {
            if (!outermost)
                throw;
            if (PQstatus(m_engine.handle()) == CONNECTION_OK) {
                m_engine.request("ROLLBACK");
                throw;
            }
            // The connection went with the COMMIT under way: found out, not guessed.
            if (const std::optional<bool> committed = m_engine.committed(m_number, m_mark)) {
                if (*committed)
                    return;
                throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                                      "Nije sačuvano: veza sa serverom je prekinuta pre nego što je "
                                                      "upis završen, pa server ništa nije upisao. Sačuvajte ponovo.")));
            }
            throw EUnknownOutcome(error.Message());
        }
    }
    ~PostgresWriteTransaction() override
    {
        if (!m_open)
            return;
        m_engine.m_depth = std::max(0, m_engine.m_depth - 1);
        if (PQstatus(m_engine.handle()) != CONNECTION_OK)
            return;
        try {
            if (m_engine.m_depth == 0) {
                m_engine.request("ROLLBACK");
            } else {
                m_engine.request("ROLLBACK TO dataset_write");
                m_engine.request("RELEASE dataset_write");
            }
        } catch (...) {
            // The server went away: it rolled the transaction back itself.
        }
    }

private:
    PostgresEngine& m_engine;
    bool m_open = true;
    std::string m_number; // txid_current() of the outermost transaction
    std::string m_mark;   // what the history records with its changes
};

std::optional<bool> PostgresEngine::committed(const std::string& transaction, const std::string& mark)
{
    if (transaction.empty())
        return std::nullopt;
    // A backend that lost its client may still be finishing the COMMIT it
    // read: "in progress" is asked again for a while; a server that cannot
    // be reached again for as long leaves the outcome unknown (a server that
    // stalled may hold each attempt up to the connect timeout).
    //
    // Where the register keeps its history, the mark decides: found, the
    // write is there; not found while the number is no longer in progress,
    // it is not (a number the server calls committed may be another
    // transaction's on a standby promoted since, or one that changed
    // nothing). A number the server has not reached yet (a standby promoted
    // before the write reached it) is no write of its.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(6);
    for (int attempt = 0; attempt == 0 || std::chrono::steady_clock::now() < giveUp; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        try {
            ensureConnected();
            const Result found = run("SELECT to_regclass('kolvara_history') IS NOT NULL", {}, true);
            const bool history = found.rows() == 1 && std::string(found.value(0, 0)) == "t";
            if (history && std::string(run("SELECT EXISTS (SELECT 1 FROM KOLVARA_HISTORY WHERE MARK = $1)",
                                           {mark.c_str()}, true)
                                           .value(0, 0))
                               == "t")
                return true;
            std::string answer;
            try {
                const Result status = run("SELECT txid_status($1)", {transaction.c_str()}, true);
                answer = status.null(0, 0) ? std::string() : status.value(0, 0);
            } catch (const Exception&) {
                if (PQstatus(handle()) != CONNECTION_OK)
                    throw;
                answer = "future"; // "transaction ID ... is in the future"
            }
            if (answer == "in progress")
                continue;
            if (history)
                return false;
            if (answer == "committed")
                return true;
            if (answer == "aborted" || answer == "future")
                return false;
            return std::nullopt; // too old to be known
        } catch (const Exception&) {
            // Not reachable yet: asked again.
        }
    }
    return std::nullopt;
}

std::unique_ptr<WriteTransaction> PostgresEngine::beginWrite()
{
    return std::make_unique<PostgresWriteTransaction>(*this);
}

namespace {

// The text of a value for the server; nothing for NULL.
struct Parameters {
    std::vector<std::string> texts;
    std::vector<bool> nulls;
    void add(FieldKind kind, const CellValue& value)
    {
        nulls.push_back(value.null);
        texts.push_back(value.null ? std::string() : kind == FieldKind::Integer ? std::to_string(value.integer) : value.text);
    }
    void add(std::int64_t number)
    {
        nulls.push_back(false);
        texts.push_back(std::to_string(number));
    }
    std::vector<const char*> pointers() const
    {
        std::vector<const char*> list;
        for (std::size_t i = 0; i < texts.size(); ++i)
            list.push_back(nulls[i] ? nullptr : texts[i].c_str());
        return list;
    }
    std::string next() const { return "$" + std::to_string(texts.size()); }
    // " AND column IS NOT DISTINCT FROM $n ..." for the columns a write
    // compares with what was seen; a text letter for letter, whatever the
    // column's type (citext would take "ana" for "Ana").
    std::string seen(const PostgresEngine& engine, const RowWrite& write)
    {
        std::string condition;
        for (std::size_t i = 0; i < write.compared.size(); ++i) {
            if (!write.compared[i])
                continue;
            add(write.kinds[i], write.seen[i]);
            const bool text = write.kinds[i] == FieldKind::Text;
            condition += " AND " + engine.columnName(write.table, write.columns[i]) + (text ? "::text" : "")
                       + " IS NOT DISTINCT FROM " + next() + (text ? "::text" : "");
        }
        return condition;
    }
};

} // namespace

bool PostgresEngine::rowExists(const std::string& table, const std::vector<std::string>& columns,
                               const std::vector<FieldKind>& kinds, const std::vector<CellValue>& values)
{
    Parameters parameters;
    std::string where;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        parameters.add(kinds[i], values[i]);
        where += (i ? " AND " : " WHERE ") + columnName(table, columns[i]) + " = " + parameters.next();
    }
    const std::vector<const char*> pointers = parameters.pointers();
    // Not locked: that would need the right to change the table referred
    // to. The write's own foreign key holds the row until the write is done,
    // and refuses the write if another desk deleted it meanwhile.
    return run("SELECT 1 FROM " + tableName(table) + where + " LIMIT 1", pointers, m_depth == 0)
               .rows()
        > 0;
}

WrittenRow PostgresEngine::writeRow(const RowWrite& write)
{
    const bool byRowId = write.keyColumn.empty();
    const std::string table = tableName(write.table);
    const std::string key = byRowId ? rowIdExpression(write.table) : columnName(write.table, write.keyColumn);

    std::string returning;
    for (const std::string& column : write.columns)
        returning += (returning.empty() ? "" : ", ") + columnName(write.table, column);
    if (byRowId)
        returning += (returning.empty() ? "" : ", ") + rowIdExpression(write.table);

    std::vector<std::size_t> written;
    for (std::size_t i = 0; i < write.columns.size(); ++i)
        if (write.written[i])
            written.push_back(i);

    Parameters parameters;
    std::string sql;
    if (write.kind == RowWrite::Kind::Insert) {
        std::string columns, values;
        for (std::size_t i : written) {
            parameters.add(write.kinds[i], write.values[i]);
            columns += (columns.empty() ? "" : ", ") + columnName(write.table, write.columns[i]);
            values += (values.empty() ? "" : ", ") + parameters.next();
        }
        if (write.numberKey) {
            columns += (columns.empty() ? "" : ", ") + key;
            values += (values.empty() ? "" : ", ") + ("(SELECT coalesce(max(" + key + "), 0) + 1 FROM " + table + ")");
        }
        sql = columns.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                              : "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ")";
        sql += " RETURNING " + returning;
    } else if (write.kind == RowWrite::Kind::Check || written.empty()) {
        parameters.add(write.key);
        sql = "SELECT " + returning + " FROM " + table + " WHERE " + key + " = " + parameters.next() + " FOR UPDATE";
    } else {
        std::string assignments;
        for (std::size_t i : written) {
            parameters.add(write.kinds[i], write.values[i]);
            assignments += (assignments.empty() ? "" : ", ") + columnName(write.table, write.columns[i]) + " = "
                         + parameters.next();
        }
        parameters.add(write.key);
        sql = "UPDATE " + table + " SET " + assignments + " WHERE " + key + " = " + parameters.next();
        sql += parameters.seen(*this, write) + " RETURNING " + returning;
    }

    const std::vector<const char*> pointers = parameters.pointers();
    const Result result = request(sql, pointers);
    if (result.failed())
        throw Exception(explainRefusal(write, result));
    WrittenRow row;
    row.rows = result.rows();
    if (row.rows == 0)
        return row;
    row.values.resize(write.columns.size());
    for (std::size_t column = 0; column < write.columns.size(); ++column) {
        CellValue& value = row.values[column];
        value.null = result.null(0, int(column));
        if (value.null)
            continue;
        const char* text = result.value(0, int(column));
        if (write.kinds[column] == FieldKind::Text)
            value.text = text;
        else if (!db::parseInteger(text, value.integer))
            throw Exception(notWholeNumberMessage(text, write.labels[column]));
    }
    if (byRowId)
        row.rowId = std::strtoll(result.value(0, int(write.columns.size())), nullptr, 10);
    return row;
}

int PostgresEngine::deleteRow(const RowWrite& write)
{
    Parameters parameters;
    parameters.add(write.key);
    const std::string key
        = write.keyColumn.empty() ? rowIdExpression(write.table) : columnName(write.table, write.keyColumn);
    std::string sql = "DELETE FROM " + tableName(write.table) + " WHERE " + key + " = $1";
    sql += parameters.seen(*this, write);
    const std::vector<const char*> pointers = parameters.pointers();
    const Result result = request(sql, pointers);
    if (result.state() == "23503")
        throw Exception(stillReferencedMessage());
    check(result);
    return std::atoi(PQcmdTuples(result.get()));
}

std::int64_t PostgresEngine::writeRows(const RowsWrite& write)
{
    Parameters parameters;
    const std::string table = tableName(write.table);
    std::string sql;
    switch (write.kind) {
    case RowsWrite::Kind::Update:
        for (std::size_t i = 0; i < write.setColumns.size(); ++i) {
            parameters.add(write.setKinds[i], write.setValues[i]);
            sql += (i ? ", " : "UPDATE " + table + " SET ") + columnName(write.table, write.setColumns[i]) + " = "
                 + parameters.next();
        }
        break;
    case RowsWrite::Kind::Delete: sql = "DELETE FROM " + table; break;
    // Locked as a write would lock them: a row referring to them waits.
    case RowsWrite::Kind::Hold: sql = "SELECT 1 FROM " + table; break;
    }
    for (std::size_t i = 0; i < write.whereColumns.size(); ++i) {
        parameters.add(write.whereKinds[i], write.whereValues[i]);
        const bool text = write.whereKinds[i] == FieldKind::Text;
        sql += (i ? " AND " : " WHERE ") + columnName(write.table, write.whereColumns[i]) + (text ? "::text" : "")
             + " IS NOT DISTINCT FROM " + parameters.next() + (text ? "::text" : "");
    }
    if (write.kind == RowsWrite::Kind::Hold)
        sql += " FOR UPDATE";
    const std::vector<const char*> pointers = parameters.pointers();
    const Result result = request(sql, pointers);
    if (result.state() == "23503" && write.kind == RowsWrite::Kind::Delete)
        throw Exception(stillReferencedMessage());
    if (result.failed())
        throw Exception(explainRefusal(refusalShape(write), result));
    return write.kind == RowsWrite::Kind::Hold ? result.rows() : std::atoll(PQcmdTuples(result.get()));
}

std::string PostgresEngine::explainRefusal(const RowWrite& write, const Result& refusal)
{
    auto index = [&write](const std::string& column) -> int {
        for (std::size_t i = 0; i < write.columns.size(); ++i)
            if (sameName(write.columns[i], column))
                return int(i);
        return -1;
    };
    const std::string state = refusal.state();
    const Names::Table* table = names().find(write.table);
    if (state == "23502") {
        const std::string column = refusal.field(PG_DIAG_COLUMN_NAME);
        const int i = index(column);
        return missingValueMessage(i < 0 ? column : write.labels[std::size_t(i)]);
    }
    if (state == "23503") {
        if (!table)
            return unknownReferenceMessage();
        const auto reference = table->references.find(refusal.field(PG_DIAG_CONSTRAINT_NAME));
        if (reference == table->references.end())
            return unknownReferenceMessage();
        std::vector<std::string> labels, values;
        for (const std::string& column : reference->second) {
            const int i = index(column);
            if (i < 0)
                return unknownReferenceMessage();
            const CellValue& value = write.values[std::size_t(i)];
            labels.push_back(write.labels[std::size_t(i)]);
            values.push_back(value.null ? std::string()
                             : write.kinds[std::size_t(i)] == FieldKind::Integer ? std::to_string(value.integer)
                                                                                  : value.text);
        }
        return danglingReferenceMessage(labels, values);
    }
    if (state == "23514") {
        // "CHECK ((length((ime)::text) <= 255))": the rule alone.
        std::string rule;
        if (table) {
            const auto found = table->rules.find(refusal.field(PG_DIAG_CONSTRAINT_NAME));
            if (found != table->rules.end())
                rule = found->second;
        }
        if (rule.rfind("CHECK ((", 0) == 0 && rule.size() > 10)
            rule = rule.substr(8, rule.size() - 10);
        return brokenRuleMessage(rule.empty() ? refusal.field(PG_DIAG_CONSTRAINT_NAME) : rule);
    }
    if (state == "23505")
        return duplicateKeyMessage();
    if (state == "42501")
        return rightsMessage(false);
    check(refusal);
    return refusal.field(PG_DIAG_MESSAGE_PRIMARY);
}

} // namespace db
