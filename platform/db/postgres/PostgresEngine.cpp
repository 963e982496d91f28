#include "PostgresEngine_p.h"

#include "RegisterName.h"

#include "Exception.h"

#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <unordered_map>

namespace db {

std::string postgres_detail::lostConnectionMessage(const QString& shown, const std::string& reason)
{
    return say(QT_TRANSLATE_NOOP("Register",
                                 "Veza sa serverom registra %1 je prekinuta (%2). Proverite da li server radi i da "
                                 "li je mreža u redu; sledeća radnja sama ponovo uspostavlja vezu."))
        .arg(shown, QString::fromStdString(trimmed(reason)))
        .toStdString();
}

std::unique_ptr<Engine> openPostgresEngine(const QString& uri, int lockTimeoutMs, const PasswordQuestion& ask)
{
    return PostgresEngine::open(uri, lockTimeoutMs, ask);
}

PGconn* postgresHandle(const Engine& engine)
{
    const auto* server = dynamic_cast<const PostgresEngine*>(&engine);
    return server ? server->handle() : nullptr;
}

std::unique_ptr<PostgresEngine> PostgresEngine::open(const QString& uri, int lockTimeoutMs,
                                                     const PasswordQuestion& ask)
{
    static std::atomic<std::uint64_t> openings{0};
    std::unique_ptr<PostgresEngine> engine(new PostgresEngine);
    engine->m_opening = ++openings;
    engine->m_uri = uri;
    engine->m_lockTimeout = lockTimeoutMs;
    engine->m_ask = ask;
    engine->connect();
    return engine;
}

PostgresEngine::~PostgresEngine() = default;

ServerConnection PostgresEngine::newConnection(int within) const
{
    // Unless the URI says otherwise: a server that does not answer is given
    // up after ten seconds when connecting; a network that stopped carrying
    // the connection is noticed within about fifteen (keepalives every two
    // seconds after five idle, three missed; data unacknowledged for 15 s).
    const std::string bound = std::to_string(std::max(within, 2));
    ServerConnection connection(m_uri.toStdString(),
                                {{"connect_timeout", "10"},
                                 {"keepalives", "1"},
                                 {"keepalives_idle", "5"},
                                 {"keepalives_interval", "2"},
                                 {"keepalives_count", "3"},
                                 {"tcp_user_timeout", "15000"}},
                                {{"fallback_application_name", "kolvara"},
                                 {"password", m_password ? m_password->c_str() : nullptr},
                                 {"connect_timeout", within > 0 ? bound.c_str() : nullptr}});
    // Until the session says its own statement timeout.
    connection.setAnswerLimit(DefaultStatementTimeoutMs + AnswerMarginMs);
    return connection;
}

void PostgresEngine::connect()
{
    constexpr int PasswordTries = 3;
    for (int asked = 0;;) {
        m_connection = newConnection();
        if (m_connection.connected())
            break;
        // The server wants a password that libpq's places did not give, or
        // refused the one the person gave.
        const bool wanted = PQconnectionNeedsPassword(m_connection.get())
                         || (m_password && PQconnectionUsedPassword(m_connection.get()));
        if (wanted && m_ask && asked < PasswordTries) {
            const QString refusal = asked ? QString::fromStdString(m_connection.reason()) : QString();
            m_password = m_ask(shownServerName(m_uri), refusal);
            ++asked;
            if (m_password)
                continue;
            throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                                  "Registar %1 nije otvoren: server traži lozinku, a nije data."))
                                .arg(shownServerName(m_uri)));
        }
        // A pooler (pgbouncer) takes no settings of the session at connect.
        if (m_connection.reason().find("unsupported startup parameter") != std::string::npos)
            throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                                  "Registar %1 nije otvoren: posrednik veza ispred servera ne prima "
                                                  "podešavanja u imenu registra (options=...). Izostavite ih; "
                                                  "vreme za naredbu podesite na serveru, za ulogu ili bazu (ALTER "
                                                  "ROLE ... SET statement_timeout)."))
                                .arg(shownServerName(m_uri)));
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "Server registra %1 nije dostupan: %2"))
                            .arg(shownServerName(m_uri),
                                 QString::fromStdString(m_connection.reason())));
    }
    prepareSession();
}

void PostgresEngine::prepareSession()
{
    // The session keeps only what a connection pooler keeps for each of
    // its clients and sets again on whichever server session serves it
    // (pgbouncer does so for these two): text in UTF-8, and string
    // literals as the standard says (a backslash is a backslash). The
    // rest goes with every transaction and every statement on its own
    // (transactionSettings), so that none of it is left on a server
    // session that a pooler then hands to another program.
    //
    // A statement runs for DefaultStatementTimeoutMs at most, unless the
    // role or the database set a timeout of their own (ALTER ROLE ... SET
    // statement_timeout); the server then gives it up and says so.
    // Whatever the timeout, an answer is waited for that long and
    // AnswerMarginMs more: a server that sends nothing by then has stopped,
    // and the connection is given up.
    //
    // A server that only reads (a standby, or a role or database whose
    // transactions only read by default) is a register this desk reads.
    const Result session = run("SET client_encoding = 'UTF8'; SET standard_conforming_strings = on; "
                               "SELECT (SELECT setting FROM pg_settings WHERE name = 'statement_timeout'), "
                               "current_setting('default_transaction_read_only') = 'on' OR pg_is_in_recovery()");
    m_ownStatementTimeout = session.rows() == 1 && std::atoi(session.value(0, 0)) > 0;
    m_statementTimeout = m_ownStatementTimeout ? std::atoi(session.value(0, 0)) : DefaultStatementTimeoutMs;
    m_readsOnly = session.rows() == 1 && std::string_view(session.value(0, 1)) == "t";
    m_connection.setAnswerLimit(answerLimit());
    applyStatementSettings();
    m_mayChange.clear(); // the role may be another one now
}

std::string PostgresEngine::transactionSettings() const
{
    // The planner underestimates how many persons a case-insensitive prefix
    // finds and then walks the persons' index city by city, keeping a memo
    // of each city: one pass over the persons with a hash join is two to
    // three times faster for every search with a box filled, and the plans
    // of the others stay as they are.
    std::string settings = "set_config('lock_timeout', '" + std::to_string(m_lockTimeout)
                         + "', true), set_config('enable_memoize', 'off', true)";
    if (!m_ownStatementTimeout)
        settings += ", set_config('statement_timeout', '" + std::to_string(m_statementTimeout) + "', true)";
    return settings;
}

void PostgresEngine::applyStatementSettings()
{
    // A statement on its own only reads, so that a query can never change
    // the register; a write runs in a transaction of its own.
    m_connection.setStatementSettings("SELECT " + transactionSettings()
                                      + ", set_config('transaction_read_only', 'on', true)");
}

bool PostgresEngine::mayChange(const std::string& table)
{
    if (m_readsOnly)
        return false;
    if (const auto known = m_mayChange.find(table); known != m_mayChange.end())
        return known->second;
    // A table the server does not know, or a question that fails, is left
    // to the write itself to refuse; either answer stands until the session
    // begins anew, so that a window asking at every list never waits on the
    // server for it twice.
    bool may = true;
    try {
        const std::string name = tableName(table);
        const std::vector<const char*> parameters{name.c_str()};
        const Result rights = request("SELECT has_table_privilege(c.oid, 'INSERT') AND has_table_privilege(c.oid, "
                                      "'UPDATE') AND has_table_privilege(c.oid, 'DELETE') FROM pg_class c WHERE "
                                      "c.oid = to_regclass($1)",
                                      parameters);
        if (rights.get() && !rights.failed() && rights.rows() == 1)
            may = std::string_view(rights.value(0, 0)) == "t";
    } catch (const Exception&) {
    }
    m_mayChange[table] = may;
    return may;
}

Engine::Line PostgresEngine::line() const
{
    PGconn* connection = m_connection.get();
    if (!connection || PQstatus(connection) != CONNECTION_OK)
        return Line::None;
    if (PQsslInUse(connection))
        return Line::Encrypted;
    return isThisComputer(PQhost(connection)) ? Line::ThisComputer : Line::Clear;
}

void PostgresEngine::ensureConnected(int within)
{
    if (PQstatus(m_connection.get()) == CONNECTION_OK)
        return;
    // A write under way went with the connection; the transaction that
    // holds it ends first, and the next operation connects again.
    if (m_depth > 0)
        throw Exception(failedConnectionMessage());
    if (m_connection.get() && within == 0) {
        PQreset(m_connection.get());
    } else {
        m_connection = newConnection(within); // the one given up, or one bounded in time
    }
    if (PQstatus(m_connection.get()) != CONNECTION_OK)
        throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                              "Server registra %1 još nije dostupan (%2). Pokušajte ponovo kad "
                                              "proradi."))
                            .arg(shownServerName(m_uri),
                                 QString::fromStdString(m_connection.reason())));
    prepareSession();
}

void PostgresEngine::setLockTimeout(int milliseconds)
{
    m_lockTimeout = milliseconds;
    applyStatementSettings();
}

PostgresEngine::Result PostgresEngine::request(const std::string& sql, const std::vector<const char*>& parameters) const
{
    Result result = m_connection.exec(sql, parameters);
    if (!result.get() || !m_connection.connected())
        throw Exception(failedConnectionMessage());
    return result;
}

PostgresEngine::Result PostgresEngine::run(const std::string& sql, const std::vector<const char*>& parameters,
                                           bool reading) const
{
    Result result = request(sql, parameters);
    check(result, reading);
    return result;
}

void PostgresEngine::execute(const std::string& sql)
{
    run(sql);
}

void PostgresEngine::check(const Result& result, bool reading) const
{
    if (!result.get() || PQstatus(m_connection.get()) != CONNECTION_OK)
        throw Exception(failedConnectionMessage());
    if (!result.failed())
        return;
    const std::string state = result.state();
    const std::string message = result.field(PG_DIAG_MESSAGE_PRIMARY);
    if (state == "55P03")
        throw Exception(reading ? lockedMessage() : busyMessage());
    if (state == "57014") {
        // The statement timeout: the server gave the statement up.
        const QString seconds = QString::number((std::max(m_statementTimeout, 1) + 999) / 1000);
        throw Exception(reading ? say(QT_TRANSLATE_NOOP("Register",
                                                        "Server registra nije završio pretragu za %1 s, pa je od "
                                                        "nje odustao. Pokušajte ponovo za trenutak."))
                                      .arg(seconds)
                                : say(QT_TRANSLATE_NOOP("Register",
                                                        "Nije sačuvano: server registra nije završio upis za %1 s, "
                                                        "pa ništa nije upisao. Sačuvajte ponovo za trenutak."))
                                      .arg(seconds));
    }
    if (state == "40001" || state == "40P01")
        throw Exception(conflictMessage());
    // A write refused for the transaction's kind: the server became a
    // standby since the session began ("cannot set transaction read-write
    // mode during recovery", which is "not supported"); one at the start
    // is read only, and offers no write.
    if (state == "0A000" && !reading)
        throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                              "Nije sačuvano: server registra %1 je rezervni server, koji samo čita "
                                              "(upisuje samo glavni server). Otvorite registar ponovo, sa glavnim "
                                              "serverom prvim u imenu ili sa target_session_attrs=read-write."))
                            .arg(shownServerName(m_uri)));
    if (state == "25006")
        throw Exception(readOnlyMessage(message));
    if (state == "42501")
        throw Exception(rightsMessage(reading));
    if (state.rfind("53", 0) == 0)
        throw Exception(diskFullMessage());
    if (state.rfind("08", 0) == 0 || state.rfind("57P", 0) == 0)
        throw Exception(lostConnectionMessage(shownServerName(m_uri), message));
    throw Exception(message.empty() ? trimmed(PQresultErrorMessage(result.get())) : message);
}

std::string PostgresEngine::failedConnectionMessage() const
{
    if (m_connection.gaveUp())
        return say(QT_TRANSLATE_NOOP("Register",
                                     "Server registra %1 ne odgovara već %2 s, pa je veza s njim prekinuta. "
                                     "Proverite da li server radi i da li je mreža u redu; sledeća radnja sama "
                                     "ponovo uspostavlja vezu."))
            .arg(shownServerName(m_uri))
            .arg((m_statementTimeout + AnswerMarginMs + 999) / 1000)
            .toStdString();
    return lostConnectionMessage(shownServerName(m_uri), m_connection.reason());
}

const PostgresEngine::Names& PostgresEngine::names() const
{
    if (m_names)
        return *m_names;
    auto names = std::make_unique<Names>();
    const Result columns = run(
        "SELECT c.oid, c.relname, a.attnum, a.attname, a.atttypid, "
        "       a.attidentity <> '' OR coalesce(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false), "
        "       coalesce(array_position(k.conkey, a.attnum), 0) "
        "FROM pg_class c "
        "JOIN pg_namespace n ON n.oid = c.relnamespace AND n.nspname = ANY (current_schemas(false)) "
        "JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
        "LEFT JOIN pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum "
        "LEFT JOIN pg_constraint k ON k.conrelid = c.oid AND k.contype = 'p' "
        "WHERE c.relkind IN ('r', 'v', 'm', 'p', 'f') ORDER BY c.oid, a.attnum",
        {}, true);
    for (int r = 0; r < columns.rows(); ++r) {
        Names::Table& table = names->byName[lower(columns.value(r, 1))];
        table.oid = Oid(std::strtoul(columns.value(r, 0), nullptr, 10));
        table.name = columns.value(r, 1);
        Names::Column& column = table.columns[std::atoi(columns.value(r, 2))];
        column.name = columns.value(r, 3);
        column.type = Oid(std::strtoul(columns.value(r, 4), nullptr, 10));
        column.numbered = columns.value(r, 5)[0] == 't';
        column.keyPosition = std::atoi(columns.value(r, 6));
    }
    const Result rules = run(
        "SELECT c.conrelid, c.conname, c.contype, pg_get_constraintdef(c.oid), "
        "       array_to_string(ARRAY(SELECT a.attname FROM unnest(c.conkey) WITH ORDINALITY AS k(number, place) "
        "                             JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = k.number "
        "                             ORDER BY k.place), ',') "
        "FROM pg_constraint c WHERE c.contype IN ('f', 'c')",
        {}, true);
    for (auto& [folded, table] : names->byName)
        names->byOid[table.oid] = &table;
    for (int r = 0; r < rules.rows(); ++r) {
        const auto table = names->byOid.find(Oid(std::strtoul(rules.value(r, 0), nullptr, 10)));
        if (table == names->byOid.end())
            continue;
        auto& owner = const_cast<Names::Table&>(*table->second);
        if (rules.value(r, 2)[0] == 'f') {
            std::vector<std::string> list;
            const QStringList parts = QString::fromUtf8(rules.value(r, 4)).split(',');
            for (const QString& part : parts)
                list.push_back(part.toStdString());
            owner.references[rules.value(r, 1)] = list;
        } else {
            owner.rules[rules.value(r, 1)] = rules.value(r, 3);
        }
    }
    m_names = std::move(names);
    return *m_names;
}

std::string PostgresEngine::tableName(const std::string& table) const
{
    const Names::Table* found = names().find(table);
    return quoteIdentifier(found ? found->name : table);
}

std::string PostgresEngine::columnName(const std::string& table, const std::string& column) const
{
    const Names::Table* found = names().find(table);
    const Names::Column* named = found ? names().column(*found, column) : nullptr;
    return quoteIdentifier(named ? named->name : column);
}

std::string PostgresEngine::rowIdExpression(const std::string& table) const
{
    const Names::Table* found = names().find(table);
    std::vector<const Names::Column*> key;
    if (found)
        for (const auto& [number, column] : found->columns)
            if (column.keyPosition > 0)
                key.push_back(&column);
    std::sort(key.begin(), key.end(), [](auto* a, auto* b) { return a->keyPosition < b->keyPosition; });
    const bool whole = std::all_of(key.begin(), key.end(), [](auto* c) { return integerType(c->type); });
    if (whole && key.size() == 1)
        return quoteIdentifier(key[0]->name) + "::int8";
    // Two keys of 32 bits (a city's country and number) make one of 64.
    if (whole && key.size() == 2)
        return "((" + quoteIdentifier(key[0]->name) + "::int8 << 32) | (" + quoteIdentifier(key[1]->name)
             + "::int8 & 4294967295))";
    throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                          "Tabela „%1” na serveru nema ključ od jednog ili dva cela broja, pa se "
                                          "njeni redovi ne mogu razlikovati."))
                        .arg(QString::fromStdString(table)));
}

std::vector<std::string> PostgresEngine::primaryKey(const std::string& table)
{
    std::vector<std::pair<int, std::string>> key;
    if (const Names::Table* found = names().find(table))
        for (const auto& [number, column] : found->columns)
            if (column.keyPosition > 0)
                key.emplace_back(column.keyPosition, column.name);
    std::sort(key.begin(), key.end());
    std::vector<std::string> columns;
    for (const auto& [position, name] : key)
        columns.push_back(name);
    return columns;
}

bool PostgresEngine::numbersKeysItself(const std::string& table, const std::string& column)
{
    const Names::Table* found = names().find(table);
    const Names::Column* named = found ? names().column(*found, column) : nullptr;
    return named && named->numbered && primaryKey(table).size() == 1;
}

// Counted in the engine's depth as a write transaction is, so that the
// engine does not connect again inside it. READ ONLY makes the server
// refuse a write in it; the write's savepoint takes the refusal back and
// leaves the transaction as it was. The server takes a REPEATABLE READ
// transaction's moment at its first statement, run here at once.
class PostgresReadTransaction : public ReadTransaction {
public:
    PostgresReadTransaction(PostgresEngine& engine, ReadIsolation isolation) : m_engine(engine)
    {
        if (engine.m_depth > 0)
            throw Exception(transactionOpenMessage());
        engine.ensureConnected();
        // Its settings go with its BEGIN, in one round trip; their SELECT
        // is a REPEATABLE READ transaction's first statement.
        ++engine.m_depth;
        m_open = true;
        try {
            engine.run(std::string(isolation == ReadIsolation::OneMoment
                                       ? "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"
                                       : "BEGIN ISOLATION LEVEL READ COMMITTED READ ONLY")
                           + "; SELECT " + engine.transactionSettings(),
                       {}, true);
        } catch (...) {
            end();
            throw;
        }
    }
    void commit() override
    {
        m_open = false;
        --m_engine.m_depth;
        m_engine.run("COMMIT", {}, true);
    }
    ~PostgresReadTransaction() override { end(); }

private:
    void end()
    {
        if (!m_open)
            return;
        m_open = false;
        m_engine.m_depth = std::max(0, m_engine.m_depth - 1);
        if (PQstatus(m_engine.handle()) != CONNECTION_OK)
            return; // the server ended it with the connection
        try {
            m_engine.request("ROLLBACK");
        } catch (...) {
        }
    }

    PostgresEngine& m_engine;
    bool m_open = false;
};

std::unique_ptr<ReadTransaction> PostgresEngine::beginRead(ReadIsolation isolation)
{
    return std::make_unique<PostgresReadTransaction>(*this, isolation);
}

} // namespace db
