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

// A statement whose rows are wanted runs at once, in one round trip as a
// bare PQexec would, and its result waits for readAll(); one whose rows are
// not (a table opened to find one row later) is only described. The session
// reads only, so a statement that would write is refused by the server; one
// that does not even begin with a reading word is not sent at all, and the
// data set refuses it.
class PostgresReadStatement : public ReadStatement {
public:
    PostgresReadStatement(PostgresEngine& engine, const std::string& sql, const std::vector<std::int64_t>& parameters,
                          bool rowsWanted)
    {
        const ReadingText reading = readingText(sql);
        if (reading.several)
            throw Exception(severalStatementsMessage());
        m_readsOnly = reading.reads;
        if (!m_readsOnly)
            return;
        const std::unordered_map<std::string, std::string>& spelling = reading.spelling;
        const std::string& text = reading.text;
        const std::vector<std::string> values = textsOf(parameters);
        std::vector<const char*> pointers;
        for (const std::string& value : values)
            pointers.push_back(value.c_str());
        const std::vector<Oid> types(values.size(), 20);
        PostgresEngine::Result description;
        // Read in the background, unless something asked of the engine since
        // gave that up: its rows, once all of them are there.
        std::uint64_t background = 0;
        if (rowsWanted && engine.m_background && engine.m_background->sql == sql
            && engine.m_background->parameters == parameters) {
            background = engine.m_background->number;
            engine.m_background.reset();
            if (engine.m_connection.arrival(background) == ServerConnection::Arrival::Gone)
                background = 0;
        }
        if (background) {
            m_result = engine.m_connection.take(background);
            engine.check(m_result, true);
        } else if (rowsWanted) {
            engine.ensureConnected();
            engine.names();
            m_result = engine.m_connection.execOne(text, pointers, types);
            engine.check(m_result, true);
        } else {
            engine.ensureConnected();
            engine.names();
            // Only its columns: the server checks the tables and columns
            // when it prepares the statement, and sends no row.
            engine.check(engine.m_connection.prepare(text, types), true);
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
    // The server sorts as its plan finds best, and its sort does not keep
    // the order of rows with equal keys: no walk is promised.
    std::string walk() override { return {}; }

    void readAll(const ReadPlan& plan, RowStore& store, std::vector<std::int64_t>& rowIds) override
    {
        PGresult* rows = m_result.get();
        const int count = PQntuples(rows);
        const std::size_t fieldCount = plan.columnOf.size();
        store.reserve(std::size_t(count));
        if (plan.rowIdFirst)
            rowIds.reserve(rowIds.size() + std::size_t(count));
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
        // The rows are in the store now: the server's copy goes at once.
        m_result = PostgresEngine::Result();
    }

private:
    PostgresEngine::Result m_result;
    std::vector<ResultColumn> m_columns;
    bool m_readsOnly = false;
};

int PostgresEngine::startRead(const std::string& sql, const std::vector<std::int64_t>& parameters)
{
    const ReadingText reading = readingText(sql);
    if (reading.several || !reading.reads)
        return -1;
    m_background.reset();
    ensureConnected();
    names();
    const std::uint64_t number = m_connection.sendInBackground(reading.text, textsOf(parameters),
                                                               std::vector<Oid>(parameters.size(), 20));
    if (number == 0)
        return -1;
    m_background = Background{number, sql, parameters};
    return PQsocket(m_connection.get());
}

Engine::Arrival PostgresEngine::readArrival()
{
    if (!m_background)
        return Arrival::Gone;
    switch (m_connection.arrival(m_background->number)) {
    case ServerConnection::Arrival::Waiting:
        return Arrival::Waiting;
    case ServerConnection::Arrival::Whole:
        return Arrival::Whole;
    case ServerConnection::Arrival::Gone:
        break;
    }
    m_background.reset();
    return Arrival::Gone;
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
