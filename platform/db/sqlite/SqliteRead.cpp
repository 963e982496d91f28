// Statements that read, in a register file: prepared, run, and their rows
// taken into a RowStore, each value checked against its field's kind.

#include "SqliteEngine_p.h"

#include "RowStore.h"

#include <fcntl.h>
#include <unistd.h>

namespace db {

class SqliteReadStatement : public ReadStatement {
public:
    // storedValuesOnly is read once sql is prepared: whether it reads the
    // tables' stored values only. The rows of a read in the background of
    // engine's, when they are this statement's, are taken instead of
    // running it.
    SqliteReadStatement(SqliteEngine& engine, const std::string& sql, const std::vector<std::int64_t>& parameters,
                        const bool& storedValuesOnly)
        : m_statement(engine.handle(), sql), m_storedValuesOnly(storedValuesOnly), m_engine(engine), m_sql(sql),
          m_parameters(parameters)
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
        if (m_engine.m_background && !plan.rowIdFirst) {
            if (const auto read = m_engine.takeBackground(m_sql, m_parameters, plan, walk())) {
                store = std::move(read->store);
                return;
            }
        }
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
    SqliteEngine& m_engine;
    std::string m_sql;
    std::vector<std::int64_t> m_parameters;
};

std::unique_ptr<ReadStatement> SqliteEngine::prepareRead(const std::string& sql,
                                                         const std::vector<std::int64_t>& parameters, bool /*rowsWanted*/)
{
    m_storedValuesOnly = true; // until the statement's preparing says otherwise
    return std::make_unique<SqliteReadStatement>(*this, sql, parameters, m_storedValuesOnly);
}

// ---------------------------------------------------------------- in the background

SqliteBackgroundRead::~SqliteBackgroundRead()
{
    for (int end : signal)
        if (end >= 0)
            ::close(end);
}

namespace {

// Clears the read's connection before the thread's engine closes it, so
// that dropping the read never interrupts a closed connection.
struct ConnectionLent {
    SqliteBackgroundRead& read;
    ConnectionLent(SqliteBackgroundRead& r, sqlite3* connection) : read(r)
    {
        const std::lock_guard<std::mutex> guard(read.lock);
        read.connection = connection;
        if (read.dropped)
            sqlite3_interrupt(connection);
    }
    ~ConnectionLent()
    {
        const std::lock_guard<std::mutex> guard(read.lock);
        read.connection = nullptr;
    }
};

// The thread's work: the file opened again for reading only, the statement
// run and its rows taken, as the window's engine would.
void readInBackground(const std::shared_ptr<SqliteBackgroundRead>& read, const QString& path, int lockTimeoutMs,
                      int cacheKilobytes)
{
    try {
        const std::unique_ptr<SqliteEngine> engine = SqliteEngine::openReader(path, lockTimeoutMs, cacheKilobytes);
        const ConnectionLent lent(*read, engine->handle());
        const std::unique_ptr<ReadStatement> statement = engine->prepareRead(read->sql, read->parameters, true);
        statement->findKinds();
        for (std::size_t c = 0; c < statement->columns().size(); ++c) {
            const ResultColumn& column = statement->columns()[c];
            read->plan.columnOf.push_back(int(c));
            read->plan.kinds.push_back(column.integer ? FieldKind::Integer : FieldKind::Text);
            read->plan.labels.push_back(column.name);
        }
        read->walk = statement->walk();
        read->store.reset(read->plan.kinds);
        std::vector<std::int64_t> noRowIds;
        statement->readAll(read->plan, read->store, noRowIds);
    } catch (const Exception& failure) {
        // Busy, a value the list cannot take: opening says so.
        read->failure = failure.what();
        read->failed = true;
    } catch (...) {
        // Too little memory: opening runs the statement itself.
        read->failed = true;
    }
    read->done = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(read->signal[1], &byte, 1);
}

} // namespace

int SqliteEngine::startRead(const std::string& sql, const std::vector<std::int64_t>& parameters,
                            const std::string& base, const ChangeStamp* held)
{
    dropRead();
    joinReaders(false);
    // A file held by this program alone cannot be opened twice; one that
    // has not changed since the rows held were read answers at once. One
    // whose stamp cannot be read now (another program is writing) is read
    // as asked, once the writing is over.
    if (m_exclusive)
        return -1;
    const std::optional<ChangeStamp> stamp = changeStamp();
    if (stamp && held && *stamp == *held)
        return -1;
    auto read = std::make_shared<SqliteBackgroundRead>();
    read->sql = stamp && !base.empty() ? base : sql;
    read->parameters = parameters;
    read->stamp = stamp;
    if (::pipe2(read->signal, O_CLOEXEC | O_NONBLOCK) != 0)
        return -1;
    // The reader reads once from start to end: it keeps hardly any pages.
    constexpr int ReaderCacheKilobytes = 2048;
    m_readers.emplace_back(std::thread(readInBackground, read, m_path, m_lockTimeoutMs, ReaderCacheKilobytes), read);
    m_background = read;
    return read->signal[0];
}

Engine::Arrival SqliteEngine::readArrival()
{
    if (!m_background)
        return Arrival::Gone;
    return m_background->done ? Arrival::Whole : Arrival::Waiting;
}

void SqliteEngine::dropRead()
{
    if (m_background) {
        const std::lock_guard<std::mutex> guard(m_background->lock);
        m_background->dropped = true;
        if (m_background->connection)
            sqlite3_interrupt(m_background->connection);
    }
    m_background.reset();
}

std::shared_ptr<SqliteBackgroundRead> SqliteEngine::takeBackground(const std::string& sql,
                                                                   const std::vector<std::int64_t>& parameters,
                                                                   const ReadPlan& plan, const std::string& walk)
{
    const std::shared_ptr<SqliteBackgroundRead> read = m_background;
    if (!read || !read->done || read->sql != sql || read->parameters != parameters)
        return nullptr;
    if (!read->failure.empty()) {
        m_background.reset();
        throw Exception(read->failure); // what running it again would say, after as long a wait
    }
    if (read->failed || read->plan.columnOf != plan.columnOf || read->plan.kinds != plan.kinds || read->walk != walk)
        return nullptr;
    m_background.reset();
    return read;
}

void SqliteEngine::joinReaders(bool all)
{
    for (auto reader = m_readers.begin(); reader != m_readers.end();) {
        auto& [thread, read] = *reader;
        if (all) {
            const std::lock_guard<std::mutex> guard(read->lock);
            read->dropped = true;
            if (read->connection)
                sqlite3_interrupt(read->connection);
        }
        if (!all && !read->done) {
            ++reader;
            continue;
        }
        thread.join();
        reader = m_readers.erase(reader);
    }
}

SqliteEngine::~SqliteEngine()
{
    dropRead();
    joinReaders(true);
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
