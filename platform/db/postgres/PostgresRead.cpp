// Statements that read, on a server: the statement taken apart just enough
// to give every LIKE pattern ESCAPE '' and to find how it spells each
// result column, run, and its rows taken into a RowStore.

#include "PostgresEngine_p.h"

#include "Exception.h"
#include "RowStore.h"
#include "SqlTokens.h"

#include <algorithm>
#include <cstdlib>

namespace db {

namespace {

using sql::isSymbol;
using sql::isWord;
using sql::Token;

std::vector<std::string> textsOf(const std::vector<std::int64_t>& parameters)
{
    std::vector<std::string> texts;
    for (std::int64_t parameter : parameters)
        texts.push_back(std::to_string(parameter));
    return texts;
}

// What the engine needs of a statement it reads, from one pass over it:
// the text to send, with ESCAPE '' after every LIKE pattern written as a
// literal; the first spelling of each name by its folded form; whether it
// begins with a reading word (the session's read-only default stops any
// other that would write); whether anything but blanks and comments follows
// a semicolon (a second statement, which would not run with the first).
struct ReadingText {
    std::string text;
    std::unordered_map<std::string, std::string> spelling;
    bool reads = false;
    bool several = false;
};

ReadingText readingText(const std::string& sql)
{
    ReadingText reading;
    std::vector<Token> list;
    for (const Token& token : sql::tokens(sql))
        if (token.kind != Token::Comment)
            list.push_back(token);
    std::size_t first = 0;
    while (first < list.size() && isSymbol(list[first], "("))
        ++first;
    reading.reads = first < list.size()
                 && (isWord(list[first], "select") || isWord(list[first], "values") || isWord(list[first], "table")
                     || isWord(list[first], "with"));
    // An E'...' literal knows backslash escapes: its pattern is left as it is.
    auto plainText = [&](std::size_t t) {
        return list[t].kind == Token::Text
            && !(t > 0 && list[t - 1].kind == Token::Word && list[t - 1].end == list[t].begin
                 && (list[t - 1].text.back() | 0x20) == 'e');
    };
    std::size_t copied = 0;
    bool ended = false; // a semicolon was met
    for (std::size_t t = 0; t < list.size(); ++t) {
        const Token& token = list[t];
        if (ended && !isSymbol(token, ";"))
            reading.several = true;
        ended = ended || isSymbol(token, ";");
        if (token.kind == Token::Word)
            reading.spelling.emplace(lower(token.text), std::string(token.text));
        if ((isWord(token, "like") || isWord(token, "ilike")) && t + 1 < list.size() && plainText(t + 1)
            && !(t + 2 < list.size() && isWord(list[t + 2], "escape"))) {
            reading.text.append(sql, copied, list[t + 1].end - copied);
            reading.text += " ESCAPE ''";
            copied = list[t + 1].end;
        }
    }
    reading.text.append(sql, copied, std::string::npos);
    return reading;
}

} // namespace

// A statement whose rows are wanted runs at once (or was started in the
// background), and its rows come one at a time as readAll() takes them; one
// whose rows are not (a table opened to find one row later) is only
// described. The session
// reads only, so a statement that would write is refused by the server; one
// that does not even begin with a reading word is not sent at all, and the
// data set refuses it.
class PostgresReadStatement : public ReadStatement {
public:
    PostgresReadStatement(PostgresEngine& engine, const std::string& sql, const std::vector<std::int64_t>& parameters,
                          bool rowsWanted)
        : m_engine(engine)
    {
        const ReadingText reading = readingText(sql);
        if (reading.several)
            throw Exception(severalStatementsMessage());
        m_readsOnly = reading.reads;
        if (!m_readsOnly)
            return;
        const std::unordered_map<std::string, std::string>& spelling = reading.spelling;
        m_text = reading.text;
        m_values = textsOf(parameters);
        m_types.assign(parameters.size(), 20);
        PostgresEngine::Result description;
        if (rowsWanted)
            m_background = engine.takeBackground(sql, parameters);
        if (m_background) {
            // Read in the background: its rows, now that they are all there.
            m_result = std::move(m_background->first);
            if (m_background->lost)
                engine.check(PostgresEngine::Result(), true); // says how the connection failed
            engine.check(m_result, true);
            if (m_background->last.get())
                engine.check(m_background->last, true);
        } else if (rowsWanted) {
            // Its rows come one at a time: here the first (or the end),
            // which describes them.
            sendNow();
        } else {
            engine.ensureConnected();
            engine.names();
            // Only its columns: the server checks the tables and columns
            // when it prepares the statement, and sends no row.
            engine.check(engine.m_connection.prepare(m_text, m_types), true);
            description = engine.m_connection.describePrepared();
            engine.check(description, true);
        }
        PGresult* rows = rowsWanted ? m_result.get() : description.get();
        const int count = PQnfields(rows);
        // A table the names read before do not know (another tool made the
        // register anew since): the names are read again, once.
        for (int c = 0; c < count; ++c)
            if (PQftable(rows, c) != 0 && !engine.names().byOid.count(PQftable(rows, c))) {
                engine.m_names.reset();
                break;
            }
        const auto& names = engine.names();
        m_columns.resize(count);
        for (int c = 0; c < count; ++c) {
            ResultColumn& column = m_columns[c];
            const std::string name = PQfname(rows, c);
            const auto spelled = spelling.find(lower(name));
            column.name = spelled == spelling.end() ? name : spelled->second;
            column.integer = integerType(PQftype(rows, c));
            const auto table = names.byOid.find(PQftable(rows, c));
            if (table == names.byOid.end())
                continue;
            const auto tableSpelled = spelling.find(table->second->name);
            column.table = tableSpelled == spelling.end() ? table->second->name : tableSpelled->second;
            const auto origin = table->second->columns.find(PQftablecol(rows, c));
            if (origin != table->second->columns.end()) {
                column.origin = origin->second.name;
                column.autoIncrement = origin->second.numbered && origin->second.keyPosition > 0;
            }
        }
    }

    const std::vector<ResultColumn>& columns() const override { return m_columns; }
    void findKinds() override {}
    bool readsOnly() const override { return m_readsOnly; }
    // The statement ran when it was made.
    void tryRun() override {}
    std::string walk() override { return m_engine.commonWalk(); }

    void readAll(const ReadPlan& plan, RowStore& store, std::vector<std::int64_t>& rowIds) override
    {
        if (m_background) {
            PostgresEngine::Background background = std::move(*m_background);
            m_background.reset();
            if (!plan.rowIdFirst && plan.columnOf == background.plan.columnOf && plan.kinds == background.plan.kinds) {
                if (!background.unreadable.empty())
                    throw Exception(background.unreadable);
                store = std::move(background.store);
                m_result = PostgresEngine::Result();
                return;
            }
            // Fields laid out otherwise than the store: read again, as asked.
            sendNow();
        }
        // A row at a time, each as it comes: the rows are never all held
        // twice, by libpq and by the store.
        for (;;) {
            append(m_result.get(), plan, store, rowIds);
            if (PQresultStatus(m_result.get()) != PGRES_SINGLE_TUPLE)
                break;
            m_result = m_engine.m_connection.next(m_number);
            m_engine.check(m_result, true);
        }
        m_result = PostgresEngine::Result();
    }

    // Appends the rows of one result to the store; throws Exception when
    // a value cannot be taken.
    static void append(PGresult* rows, const ReadPlan& plan, RowStore& store, std::vector<std::int64_t>& rowIds);

    // The plan of a query that takes every column of rows as its type says.
    static ReadPlan naturalPlan(PGresult* rows)
    {
        ReadPlan plan;
        for (int c = 0; c < PQnfields(rows); ++c) {
            plan.columnOf.push_back(c);
            plan.kinds.push_back(integerType(PQftype(rows, c)) ? FieldKind::Integer : FieldKind::Text);
            plan.labels.push_back(PQfname(rows, c));
        }
        return plan;
    }

private:
    // Sends the statement now and takes its first result.
    void sendNow()
    {
        m_engine.ensureConnected();
        m_engine.names();
        m_number = m_engine.m_connection.sendRows(m_text, m_values, m_types, false);
        m_result = m_engine.m_connection.next(m_number);
        m_engine.check(m_result, true);
    }

    PostgresEngine& m_engine;
    std::string m_text;
    std::vector<std::string> m_values;
    std::vector<Oid> m_types;
    std::uint64_t m_number = 0; // the statement whose rows are read, on the engine's connection
    PostgresEngine::Result m_result;
    std::optional<PostgresEngine::Background> m_background; // its rows read in the background
    std::vector<ResultColumn> m_columns;
    bool m_readsOnly = false;
};

void PostgresReadStatement::append(PGresult* rows, const ReadPlan& plan, RowStore& store,
                                   std::vector<std::int64_t>& rowIds)
{
        const int count = PQntuples(rows);
        const std::size_t fieldCount = plan.columnOf.size();
        for (int r = 0; r < count; ++r) {
            if (plan.rowIdFirst)
                rowIds.push_back(std::strtoll(PQgetvalue(rows, r, 0), nullptr, 10));
            for (std::size_t f = 0; f < fieldCount; ++f) {
                const int column = plan.columnOf[f];
                if (PQgetisnull(rows, r, column)) {
                    store.appendNull(f);
                    continue;
                }
                const char* text = PQgetvalue(rows, r, column);
                const int length = PQgetlength(rows, r, column);
                if (plan.kinds[f] != FieldKind::Integer) {
                    store.appendText(f, text, std::size_t(length));
                    continue;
                }
                std::int32_t number = 0;
                if (!db::parseInteger(std::string_view(text, std::size_t(length)), number))
                    throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                                          "Registar se ne može pročitati: %1 „%2” nije ceo broj "
                                                          "između -2147483648 i 2147483647."))
                                        .arg(QString::fromStdString(plan.labels[f]), QString::fromUtf8(text, length)));
                store.appendInteger(f, number);
            }
            store.endRow();
        }
}

std::optional<PostgresEngine::Background> PostgresEngine::takeBackground(const std::string& sql,
                                                                         const std::vector<std::int64_t>& parameters)
{
    if (m_background && m_background->stamping)
        takeStamp(true); // which statement it reads
    if (!m_background || m_background->sql != sql || m_background->parameters != parameters || m_background->stampOnly
        || (!m_background->ended && m_connection.arrival(m_background->number) == ServerConnection::Arrival::Gone))
        return std::nullopt;
    readBackground(true);
    std::optional<Background> read = std::move(m_background);
    m_background.reset();
    return read;
}

std::uint64_t PostgresEngine::sendInBackground(const std::string& sql, const std::vector<std::int64_t>& parameters)
{
    return m_connection.sendRows(readingText(sql).text, textsOf(parameters), std::vector<Oid>(parameters.size(), 20),
                                 true);
}

int PostgresEngine::startRead(const std::string& sql, const std::vector<std::int64_t>& parameters,
                              const std::string& base, const ChangeStamp* held)
{
    const ReadingText reading = readingText(sql);
    if (reading.several || !reading.reads)
        return -1;
    m_background.reset();
    ensureConnected();
    names();
    Background read;
    read.wanted = sql;
    read.base = base;
    read.parameters = parameters;
    read.stamping = hasStamp();
    if (held)
        read.held = *held;
    if (read.stamping) {
        read.number = m_connection.sendRows(stampStatement(), {}, {}, true);
    } else {
        read.sql = sql;
        read.number = sendInBackground(sql, parameters);
    }
    if (read.number == 0)
        return -1;
    m_background = std::move(read);
    return PQsocket(m_connection.get());
}

Engine::Arrival PostgresEngine::readArrival()
{
    if (!m_background)
        return Arrival::Gone;
    if (!m_background->ended && m_connection.arrival(m_background->number) == ServerConnection::Arrival::Gone) {
        m_background.reset();
        return Arrival::Gone;
    }
    return readBackground(false) ? Arrival::Whole : Arrival::Waiting;
}

bool PostgresEngine::takeStamp(bool wait)
{
    Background& read = *m_background;
    if (!wait && m_connection.arrival(read.number) != ServerConnection::Arrival::Whole)
        return false;
    Result answer = m_connection.next(read.number);
    // In single-row mode: the row, then the end of the answer.
    while (PQresultStatus(answer.get()) == PGRES_SINGLE_TUPLE && m_connection.next(read.number).get()) {
    }
    read.stamping = false;
    if (!answer.get()) {
        read.ended = read.lost = true; // the statement says how the connection failed
        return true;
    }
    read.stamp = stampOf(answer);
    if (read.held && read.stamp == read.held) {
        read.ended = read.stampOnly = true;
        return true;
    }
    read.sql = read.stamp && !read.base.empty() ? read.base : read.wanted;
    read.number = sendInBackground(read.sql, read.parameters);
    if (read.number == 0)
        read.ended = read.lost = true;
    return true;
}

bool PostgresEngine::readBackground(bool wait)
{
    Background& read = *m_background;
    if (read.stamping && !takeStamp(wait))
        return false;
    while (!read.ended) {
        if (!wait && m_connection.arrival(read.number) != ServerConnection::Arrival::Whole)
            return false;
        Result result = m_connection.next(read.number);
        if (!result.get() || PQresultStatus(result.get()) != PGRES_SINGLE_TUPLE) {
            // The end: no row, or the failure (null when the connection
            // failed); the statement says which when it is opened.
            read.ended = true;
            read.lost = !result.get();
            if (!read.first.get())
                read.first = std::move(result);
            else
                read.last = std::move(result);
            break;
        }
        if (!read.first.get()) {
            read.plan = PostgresReadStatement::naturalPlan(result.get());
            read.store.reset(read.plan.kinds);
        }
        if (read.unreadable.empty()) {
            std::vector<std::int64_t> noRowIds;
            try {
                PostgresReadStatement::append(result.get(), read.plan, read.store, noRowIds);
            } catch (const Exception& error) {
                read.unreadable = error.what();
            }
        }
        if (!read.first.get())
            read.first = std::move(result); // kept for its description of the rows
    }
    return true;
}

bool PostgresEngine::hasStamp() const
{
    // A stamp of the one row every writer counted in (its CHANGES) is not
    // read: the owner's schema step stamps the register anew.
    const Names::Table* stamp = names().find("kolvara_stamp");
    return stamp && !names().column(*stamp, "changes");
}

// The stamp (the register's making, and what its writers committed, see
// stamp-postgresql.sql); the server that answers (its start: a standby
// promoted, a restore, a restart are other servers, whose transactions
// may be numbered anew); the shape of the tables and columns on the search path (a
// table dropped, a column changed or renamed, a view defined anew: the
// stamp's triggers do not see those); and whether the rows held can answer
// at all: every relation on the search path is a table that the stamp counts
// (its own trigger for every change, or for TRUNCATE beside the history's,
// which counts the rest; not a view, whose rows may be anything, nor another
// table; the history changes only with a change it counts), and every
// column of text (of a table or view: an index keeps its own) is citext in
// the database's own collation, so that each
// LIKE lowers letters as the folding does. Until it is known, also the
// folding: every code point up to U+1FFFF that the server lowers to another,
// each with what it lowers to (beyond, no script has cases), and whether
// lowering goes one letter at a time, as it does under a character type of
// the operating system's, and not as ICU does ("Σ" at a word's end lowers
// to "ς", "İ" to two code points): only then is the rows' text lowered here
// as the server would lower it.
std::string PostgresEngine::stampStatement() const
{
    const std::string onPath = "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                               "AND n.nspname = ANY (current_schemas(false)) "
                               "WHERE c.relkind IN ('r', 'v', 'm', 'p', 'f') ";
    std::string sql =
        "SELECT s.MADE, KOLVARA_CHANGES(), ("
        "    SELECT ('x' || substr(md5(string_agg(c.oid || ':' || c.xmin || ':' || ("
        "        SELECT string_agg(a.attnum || '.' || a.xmin, ',' ORDER BY a.attnum) FROM pg_attribute a "
        "        WHERE a.attrelid = c.oid) || ':' || coalesce(("
        "        SELECT string_agg(r.xmin::text, ',' ORDER BY r.oid) FROM pg_rewrite r WHERE r.ev_class = c.oid), ''), "
        "        ',' ORDER BY c.oid)), 1, 16))::bit(64)::bigint "
        + onPath + "), NOT EXISTS (SELECT 1 " + onPath
        + "    AND c.relname NOT IN ('kolvara_stamp', 'kolvara_writes', 'kolvara_history') AND NOT EXISTS ("
          "        SELECT 1 FROM pg_trigger t WHERE t.tgrelid = c.oid AND t.tgname = 'kolvara_stamp' "
          "        AND t.tgenabled = 'A' AND (t.tgtype & 28 = 28 OR ("
          "            SELECT bit_or(h.tgtype & 28) FROM pg_trigger h WHERE h.tgrelid = c.oid "
          "            AND h.tgname IN ('kolvara_history', 'kolvara_history_inserts') AND h.tgenabled = 'A') = 28))) "
          "AND NOT EXISTS (SELECT 1 FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
          "    JOIN pg_namespace n ON n.oid = c.relnamespace AND n.nspname = ANY (current_schemas(false)) "
          "    WHERE c.relkind IN ('r', 'v', 'm', 'p', 'f') AND a.attnum > 0 AND NOT a.attisdropped "
          "    AND a.attcollation <> 0 "
          "    AND (a.attcollation <> 100 OR a.atttypid IS DISTINCT FROM to_regtype('citext'))), "
          "(extract(epoch FROM pg_postmaster_start_time()) * 1000000)::bigint";
    if (m_foldingAsked)
        return sql + " FROM KOLVARA_STAMP s";
    return sql
         + ", f.letters, f.lowered, lower(chr(913) || chr(931)) = lower(chr(913)) || lower(chr(931)) "
           "FROM KOLVARA_STAMP s, (SELECT string_agg(chr(c), '' ORDER BY c) AS letters, "
           "                              string_agg(lower(chr(c)), '' ORDER BY c) AS lowered "
           "                       FROM generate_series(1, 131071) AS c "
           "                       WHERE (c < 55296 OR c > 57343) AND lower(chr(c)) <> chr(c)) AS f";
}

std::optional<ChangeStamp> PostgresEngine::stampOf(const Result& answer)
{
    const bool toldFolding = !m_foldingAsked; // asked once, whatever it answers
    m_foldingAsked = true;
    m_stampAnswers = false;
    if (answer.failed() || answer.rows() != 1 || answer.columns() < 5)
        return std::nullopt;
    if (toldFolding && answer.columns() == 8) {
        const QString letters = QString::fromUtf8(answer.value(0, 5));
        const QString lowered = QString::fromUtf8(answer.value(0, 6));
        const QList<uint> from = letters.toUcs4(), to = lowered.toUcs4();
        if (answer.value(0, 7)[0] == 't' && from.size() == to.size()) {
            std::vector<std::pair<char32_t, char32_t>> changed;
            for (qsizetype i = 0; i < from.size(); ++i)
                changed.emplace_back(from[i], to[i]);
            m_folding = std::make_unique<unicode_like::Folding>(changed);
        }
    }
    m_stampAnswers = m_folding && answer.value(0, 3)[0] == 't';
    for (int column = 0; column < 5; ++column)
        if (answer.null(0, column))
            return std::nullopt;
    return ChangeStamp{m_opening,
                       std::atoll(answer.value(0, 1)),
                       0,
                       std::atoll(answer.value(0, 0)),
                       std::atoll(answer.value(0, 2)),
                       std::atoll(answer.value(0, 4))};
}

std::optional<ChangeStamp> PostgresEngine::changeStamp()
{
    // A read in the background not yet taken: its stamp was read before its
    // rows, and it is dropped once what it was for is done (Engine::dropRead).
    if (m_background) {
        // Within the wait the read in the background was given.
        if (m_background->stamping)
            takeStamp(true);
        if (m_background->lost)
            throw Exception(failedConnectionMessage());
        if (m_background->stamp)
            return m_background->stamp;
    }
    if (m_foldingAsked && !m_folding)
        return std::nullopt;
    ensureConnected();
    if (!hasStamp())
        return std::nullopt;
    return stampOf(request(stampStatement()));
}

std::string PostgresEngine::commonWalk() const
{
    return m_stampAnswers ? "as ORDER BY sorts" : "";
}

void PostgresEngine::dropRead()
{
    if (m_background)
        m_connection.stop(m_background->number);
    m_background.reset();
}

std::unique_ptr<ReadStatement> PostgresEngine::prepareRead(const std::string& sql,
                                                           const std::vector<std::int64_t>& parameters, bool rowsWanted)
{
    return std::make_unique<PostgresReadStatement>(*this, sql, parameters, rowsWanted);
}

std::string PostgresEngine::tableStatement(const std::string& table, const std::vector<std::string>& keyColumns) const
{
    const std::string rowId = rowIdExpression(table);
    std::string sql = "SELECT " + rowId + " AS rowid, * FROM " + tableName(table);
    for (std::size_t i = 0; i < keyColumns.size(); ++i)
        sql += (i ? " AND " : " WHERE ") + columnName(table, keyColumns[i]) + " = $" + std::to_string(i + 1);
    return sql + " ORDER BY 1" + (keyColumns.empty() ? "" : " LIMIT 1");
}

} // namespace db
