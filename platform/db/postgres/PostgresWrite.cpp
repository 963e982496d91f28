// Writing on a server: write transactions (whose COMMIT, if its answer is
// lost, is found out by the transaction's number), one row written,
// deleted or checked as this desk saw it, and the server's refusals worded
// for a person. The statements are the ones every engine writes
// (WriteStatement.h), in the server's dialect; here they are sent with
// text parameters and their answers read.

#include "PostgresEngine_p.h"

#include "Exception.h"
#include "WriteStatement.h"

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
            const PostgresEngine::Result begun =
                engine.run("BEGIN READ WRITE; SELECT txid_current(), set_config('kolvara.mark', '" + m_mark
                           + "', true), " + engine.transactionSettings());
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
    // be reached again for as long leaves the outcome unknown (a server or a
    // pooler that holds new connections, as pgbouncer does after KILL, holds
    // each attempt only as long as is left of the while).
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
            using namespace std::chrono;
            ensureConnected(int(duration_cast<seconds>(giveUp - steady_clock::now()).count()) + 1);
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

// How the server's SQL writes what every engine writes alike: names as
// the catalogue spells them, the row id its key makes, $n placeholders, a
// read that locks what it reads (the write holds only what it touches),
// and a text compared as text, letter for letter, whatever the column's
// type (citext would take "ana" for "Ana").
class PostgresEngine::Dialect : public WriteDialect {
public:
    explicit Dialect(const PostgresEngine& engine) : m_engine(engine) {}
    std::string table(const std::string& table) const override { return m_engine.tableName(table); }
    std::string column(const std::string& table, const std::string& column) const override
    {
        return m_engine.columnName(table, column);
    }
    std::string rowId(const std::string& table) const override { return m_engine.rowIdExpression(table); }
    std::string placeholder(int number) const override { return "$" + std::to_string(number); }
    std::string lockingRead() const override { return " FOR UPDATE"; }
    std::string sameValue(const std::string& column, FieldKind kind, const std::string& placeholder) const override
    {
        const char* cast = kind == FieldKind::Text ? "::text" : "";
        return column + cast + " IS NOT DISTINCT FROM " + placeholder + cast;
    }

private:
    const PostgresEngine& m_engine;
};

namespace {

// The parameters of a write statement as the server takes them: each as
// text, NULL as none. Points into itself: not copied.
class TextParameters {
public:
    explicit TextParameters(const std::vector<WriteParameter>& parameters)
    {
        for (const WriteParameter& parameter : parameters)
            m_texts.push_back(parameter.key ? std::to_string(parameter.number)
                                            : valueText(parameter.kind, parameter.value));
        for (std::size_t i = 0; i < parameters.size(); ++i)
            m_pointers.push_back(!parameters[i].key && parameters[i].value.null ? nullptr : m_texts[i].c_str());
    }
    TextParameters(const TextParameters&) = delete;
    TextParameters& operator=(const TextParameters&) = delete;
    const std::vector<const char*>& pointers() const { return m_pointers; }

private:
    std::vector<std::string> m_texts;
    std::vector<const char*> m_pointers;
};

// What a person reads when write refers, by the foreign key named
// constraint, to a row not there; references: its table's foreign keys
// and their columns, when the catalogue has the table.
std::string danglingReference(const RowWrite& write, const std::map<std::string, std::vector<std::string>>* references,
                              const std::string& constraint)
{
    if (!references)
        return unknownReferenceMessage();
    const auto reference = references->find(constraint);
    if (reference == references->end())
        return unknownReferenceMessage();
    std::vector<std::string> labels, values;
    for (const std::string& column : reference->second) {
        const int i = columnIndex(write, column);
        if (i < 0)
            return unknownReferenceMessage();
        labels.push_back(write.labels[std::size_t(i)]);
        values.push_back(valueText(write.kinds[std::size_t(i)], write.values[std::size_t(i)]));
    }
    return danglingReferenceMessage(labels, values);
}

// What a person reads when a write breaks the rule (CHECK) named
// constraint; rules: its table's rules and their text, when the catalogue
// has the table.
std::string brokenRule(const std::map<std::string, std::string>* rules, const std::string& constraint)
{
    // "CHECK ((length((ime)::text) <= 255))": the rule alone.
    std::string rule;
    if (rules) {
        const auto found = rules->find(constraint);
        if (found != rules->end())
            rule = found->second;
    }
    if (rule.rfind("CHECK ((", 0) == 0 && rule.size() > 10)
        rule = rule.substr(8, rule.size() - 10);
    return brokenRuleMessage(rule.empty() ? constraint : rule);
}

} // namespace

bool PostgresEngine::rowExists(const std::string& table, const std::vector<std::string>& columns,
                               const std::vector<FieldKind>& kinds, const std::vector<CellValue>& values)
{
    const WriteStatement probe = rowExistsStatement(table, columns, kinds, values, Dialect(*this));
    // Not locked: that would need the right to change the table referred
    // to. The write's own foreign key holds the row until the write is done,
    // and refuses the write if another desk deleted it meanwhile.
    return run(probe.sql, TextParameters(probe.parameters).pointers(), m_depth == 0).rows() > 0;
}

WrittenRow PostgresEngine::writeRow(const RowWrite& write)
{
    const WriteStatement statement = rowWriteStatement(write, Dialect(*this));
    const Result result = request(statement.sql, TextParameters(statement.parameters).pointers());
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
    if (write.keyColumn.empty())
        row.rowId = std::strtoll(result.value(0, int(write.columns.size())), nullptr, 10);
    return row;
}

int PostgresEngine::deleteRow(const RowWrite& write)
{
    const WriteStatement statement = rowDeleteStatement(write, Dialect(*this));
    const Result result = request(statement.sql, TextParameters(statement.parameters).pointers());
    if (result.state() == "23503")
        throw Exception(stillReferencedMessage());
    check(result);
    return std::atoi(PQcmdTuples(result.get()));
}

std::int64_t PostgresEngine::writeRows(const RowsWrite& write)
{
    const WriteStatement statement = rowsWriteStatement(write, Dialect(*this));
    const Result result = request(statement.sql, TextParameters(statement.parameters).pointers());
    if (result.state() == "23503" && write.kind == RowsWrite::Kind::Delete)
        throw Exception(stillReferencedMessage());
    if (result.failed())
        throw Exception(explainRefusal(refusalShape(write), result));
    // A Hold answers one row for each row it locked.
    return write.kind == RowsWrite::Kind::Hold ? result.rows() : std::atoll(PQcmdTuples(result.get()));
}

namespace {

// A value as COPY's text format writes it: \N for NULL, a backslash before
// each backslash, and the line's and the field's ends written out.
void addCopyValue(std::string& out, FieldKind kind, const CellValue& value)
{
    if (value.null) {
        out += "\\N";
        return;
    }
    if (kind != FieldKind::Text) {
        out += std::to_string(value.integer);
        return;
    }
    for (const char c : value.text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

} // namespace

// The rows in COPYs of a few thousand each, handed over a few hundred
// kilobytes at a time: the server writes them (the history's trigger
// records each COPY's rows) while the rest come. next is asked for the
// rows of the next COPY only when the server has written those before, so
// a caller told of its progress in next hears it at the server's pace, not
// at the pace of the buffers on the way. A refusal or a lost connection
// ends the COPY, and the write's rollback takes back what it wrote.
std::int64_t PostgresEngine::insertRows(const RowWrite& write,
                                        const std::function<bool(std::vector<CellValue>&)>& next)
{
    std::string sql = "COPY " + tableName(write.table) + " (";
    for (std::size_t c = 0; c < write.columns.size(); ++c)
        sql += (c ? ", " : "") + columnName(write.table, write.columns[c]);
    sql += ") FROM STDIN";
    constexpr std::size_t Chunk = 256 * 1024;
    constexpr std::int64_t RowsPerCopy = 2500;
    std::string rows;
    std::vector<CellValue> values;
    std::int64_t inserted = 0;
    bool more = next(values);
    while (more) {
        const Result started = request(sql);
        if (PQresultStatus(started.get()) != PGRES_COPY_IN)
            check(started);
        bool sent = true;
        std::int64_t inCopy = 0;
        try {
            while (sent && more && inCopy < RowsPerCopy) {
                for (std::size_t c = 0; c < write.columns.size(); ++c) {
                    if (c)
                        rows += '\t';
                    addCopyValue(rows, write.kinds[c], c < values.size() ? values[c] : CellValue{});
                }
                rows += '\n';
                ++inserted;
                ++inCopy;
                if (rows.size() >= Chunk) {
                    sent = m_connection.copyData(rows);
                    rows.clear();
                }
                if (inCopy < RowsPerCopy)
                    more = next(values);
            }
        } catch (...) {
            m_connection.copyEnd("given up");
            throw;
        }
        if (!sent || (!rows.empty() && !m_connection.copyData(rows)))
            throw Exception(failedConnectionMessage());
        rows.clear();
        const Result ended = m_connection.copyEnd();
        if (!ended.get() || !m_connection.connected())
            throw Exception(failedConnectionMessage());
        if (ended.failed())
            throw Exception(explainRefusal(write, ended));
        if (inCopy == RowsPerCopy) // its last row sent, the next not yet asked for
            more = next(values);
    }
    return inserted;
}

std::string PostgresEngine::explainRefusal(const RowWrite& write, const Result& refusal)
{
    const std::string state = refusal.state();
    const Names::Table* table = names().find(write.table);
    if (state == "23502")
        return missingValueMessage(labelOf(write, refusal.field(PG_DIAG_COLUMN_NAME)));
    if (state == "23503")
        return danglingReference(write, table ? &table->references : nullptr, refusal.field(PG_DIAG_CONSTRAINT_NAME));
    if (state == "23514")
        return brokenRule(table ? &table->rules : nullptr, refusal.field(PG_DIAG_CONSTRAINT_NAME));
    if (state == "23505")
        return duplicateKeyMessage();
    if (state == "42501")
        return rightsMessage(false);
    check(refusal);
    return refusal.field(PG_DIAG_MESSAGE_PRIMARY);
}

} // namespace db
