#include "SqliteEngine.h"

#include "Exception.h"
#include "RowStore.h"
#include "Sqlite.h"
#include "UnicodeLike.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <limits>

#include <unistd.h>

namespace db {

namespace {

QString quoted(const QString& path)
{
    return QStringLiteral("\u201E") + path + QStringLiteral("\u201D");
}

QString say(const char* text)
{
    return QCoreApplication::translate("Register", text);
}

void execute(sqlite3* db, const char* sql, const std::string& context)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throwSqliteError(db, context);
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && sqlite3_strnicmp(a.data(), b.data(), int(a.size())) == 0;
}

std::string cellText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, sqlite3_column_bytes(statement, column)) : std::string();
}

// Reads an integer cell, whatever the database stored in it. False when
// the cell holds something that is not a whole number in 32 bits.
bool readInteger(sqlite3_stmt* statement, int column, int type, std::int32_t& value)
{
    switch (type) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(statement, column);
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
            return false;
        value = static_cast<std::int32_t>(v);
        return true;
    }
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(statement, column);
        if (d != static_cast<double>(static_cast<std::int64_t>(d)) || d < std::numeric_limits<std::int32_t>::min()
            || d > std::numeric_limits<std::int32_t>::max())
            return false;
        value = static_cast<std::int32_t>(d);
        return true;
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return text && TField::parseInteger(std::string_view(text, sqlite3_column_bytes(statement, column)), value);
    }
    }
}

void bindValue(sqlite3_stmt* statement, int parameter, FieldKind kind, const CellValue& value)
{
    if (value.null)
        sqlite3_bind_null(statement, parameter);
    else if (kind == FieldKind::Integer)
        sqlite3_bind_int(statement, parameter, value.integer);
    else
        sqlite3_bind_text(statement, parameter, value.text.data(), int(value.text.size()), SQLITE_STATIC);
}

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

// The refusals that any write may meet, whatever it writes; "" for others.
std::string plainRefusal(int code, const std::string& engineMessage)
{
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_BUSY_SNAPSHOT:
    case SQLITE_LOCKED:
        return busyMessage();
    case SQLITE_READONLY:
    case SQLITE_READONLY_DBMOVED:
        return readOnlyMessage(engineMessage);
    case SQLITE_FULL:
        return diskFullMessage();
    default:
        return {};
    }
}

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

// Told of everything a statement being prepared reads and calls: notes in
// *flag whether it reads through a view or a trigger, or calls a function
// other than LIKE. Set once on a connection: setting it makes every
// statement prepared before it prepare itself again.
int notePreparedReads(void* flag, int action, const char*, const char* function, const char*, const char* view)
{
    if (view || (action == SQLITE_FUNCTION && (!function || sqlite3_stricmp(function, "like") != 0)))
        *static_cast<bool*>(flag) = false;
    return SQLITE_OK;
}

// The outermost write takes the file's write lock at once (BEGIN
// IMMEDIATE), so that what is checked before the write cannot change under
// it; inside another transaction a savepoint is enough. Either way a write
// that throws leaves nothing behind, and the file is not even committed
// unchanged.
class SqliteWriteTransaction : public WriteTransaction {
public:
    explicit SqliteWriteTransaction(sqlite3* db) : m_db(db), m_outermost(sqlite3_get_autocommit(db) != 0)
    {
        run(m_outermost ? "BEGIN IMMEDIATE" : "SAVEPOINT dataset_write");
    }
    void commit() override
    {
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
        const std::string refusal = plainRefusal(sqlite3_extended_errcode(m_db), sqliteMessage(m_db));
        if (!refusal.empty())
            throw Exception(refusal);
        throwSqliteError(m_db, "");
    }

    sqlite3* m_db;
    bool m_outermost;
    bool m_open = true;
};

} // namespace

std::string whyNotADatabase(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return say(QT_TRANSLATE_NOOP("Register", "Datoteka registra %1 ne postoji.")).arg(quoted(path)).toStdString();
    if (info.isDir())
        return say(QT_TRANSLATE_NOOP("Register", "%1 je fascikla, a ne datoteka registra."))
            .arg(quoted(path))
            .toStdString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return say(QT_TRANSLATE_NOOP("Register", "Datoteka registra %1 ne može da se pročita: %2."))
            .arg(quoted(path), file.errorString())
            .toStdString();
    const QByteArray header = file.read(100);
    if (header.isEmpty())
        return say(QT_TRANSLATE_NOOP("Register", "Datoteka registra %1 je prazna: u njoj nema registra."))
            .arg(quoted(path))
            .toStdString();
    if (header.size() >= 20) {
        const QByteArray signature = header.mid(4, 16);
        if (signature == QByteArray("Standard Jet DB\0", 16) || signature == QByteArray("Standard ACE DB\0", 16)) {
            const bool ace = signature.startsWith("Standard ACE");
            return say(QT_TRANSLATE_NOOP(
                           "Register",
                           "%1 je Microsoft Access baza (format %2), registar starijeg programa. Prenesite ga jednom "
                           "naredbom za uvoz iz fascikle ovog programa:\n    kolvara-import-jet --replace \"%3\"\n"
                           "Ona na njegovom mestu piše nov registar, a staru datoteku čuva nepromenjenu pored njega. "
                           "Zatim ponovo pokrenite ovaj program."))
                .arg(quoted(path), QLatin1String(ace ? "ACE" : "Jet"), path)
                .toStdString();
        }
    }
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16)))
        return say(QT_TRANSLATE_NOOP(
                       "Register", "%1 nije datoteka registra koju ovaj program može da otvori (nije SQLite 3 baza)."))
            .arg(quoted(path))
            .toStdString();
    return {};
}

std::unique_ptr<SqliteEngine> SqliteEngine::open(const QString& path, bool readOnly, bool exclusive, int lockTimeoutMs,
                                                 int cacheKilobytes)
{
    const std::string problem = whyNotADatabase(path);
    if (!problem.empty())
        throw Exception(problem);
    // Honour a file marked read-only even where the user could write it anyway
    // (as the administrator), instead of changing what its owner protected.
    if (!readOnly && !(QFileInfo(path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)))
        throw Exception(
            say(QT_TRANSLATE_NOOP("Register",
                                  "Datoteka registra %1 je samo za čitanje. Dozvolite upis u nju (u svojstvima "
                                  "datoteke) i ponovo pokrenite program."))
                .arg(quoted(path)));

    // Every save writes a journal beside the file first, so that a crash
    // cannot leave half a save behind: without a writable folder no save
    // could ever go through. Say so now rather than at the first save.
    const QString folder = QFileInfo(path).absolutePath();
    if (!readOnly && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        throw Exception(
            say(QT_TRANSLATE_NOOP("Register",
                                  "U fasciklu %1, u kojoj je datoteka registra, ne može da se piše, a svako čuvanje "
                                  "tamo prvo upisuje dnevnik izmena. Dozvolite upis u fasciklu i ponovo pokrenite "
                                  "program."))
                .arg(quoted(folder)));

    sqlite3* raw = nullptr;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    SqliteHandle db(raw);
    if (rc != SQLITE_OK)
        throwSqliteError(db.get(),
                         say(QT_TRANSLATE_NOOP("Register", "Datoteka registra %1 ne može da se otvori"))
                             .arg(quoted(path))
                             .toStdString());
    if (!readOnly && sqlite3_db_readonly(db.get(), "main") == 1)
        throw Exception(
            say(QT_TRANSLATE_NOOP("Register",
                                  "Datoteka registra %1 može samo da se čita. Dozvolite upis u nju i u njenu fasciklu "
                                  "i ponovo pokrenite program."))
                .arg(quoted(path)));
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), lockTimeoutMs);
    const std::string context = say(QT_TRANSLATE_NOOP("Register", "Datoteka registra %1 ne može da se pročita"))
                                    .arg(quoted(path))
                                    .toStdString();
    execute(db.get(), "PRAGMA foreign_keys = ON", context);
    // Every search reads the whole list again: keep the file's pages in
    // memory (up to cacheKilobytes) instead of asking the system each time.
    execute(db.get(), ("PRAGMA cache_size = -" + std::to_string(cacheKilobytes)).c_str(), context);
    if (exclusive)
        execute(db.get(), "PRAGMA locking_mode = EXCLUSIVE", context);
    // Reading the schema reads the file's first pages: a damaged file says so now.
    execute(db.get(), "SELECT count(*) FROM sqlite_schema", context);
    if (unicode_like::install(db.get()) != SQLITE_OK)
        throwSqliteError(db.get(), context);
    std::unique_ptr<SqliteEngine> engine(new SqliteEngine(std::move(db)));
    engine->m_lockTimeoutMs = lockTimeoutMs;
    engine->m_path = path;
    engine->m_file = fileIdentity(path);
    return engine;
}

std::optional<std::pair<dev_t, ino_t>> SqliteEngine::fileIdentity(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return std::make_pair(info.st_dev, info.st_ino);
}

bool SqliteEngine::replaced() const
{
    return m_file && fileIdentity(m_path) != m_file;
}

SqliteEngine::SqliteEngine(SqliteHandle db) : m_db(std::move(db)), m_opening([] {
    static std::atomic<std::uint64_t> openings{0};
    return ++openings;
}())
{
    sqlite3_set_authorizer(m_db.get(), &notePreparedReads, &m_storedValuesOnly);
}

// Other programs' commits move the file's data version; this connection's
// own writes move its count of changed rows (a write rolled back counts
// too, which only makes a search read the file once more).
std::optional<ChangeStamp> SqliteEngine::changeStamp()
{
    // Asked without waiting: when another program holds the file, the
    // search itself waits for it, once.
    sqlite3_busy_timeout(m_db.get(), 0);
    std::optional<ChangeStamp> stamp;
    try {
        if (!m_dataVersion)
            m_dataVersion = Statement(m_db.get(), "PRAGMA data_version");
        if (m_dataVersion.step())
            stamp = ChangeStamp{m_opening, sqlite3_column_int64(m_dataVersion.get(), 0),
                                sqlite3_total_changes64(m_db.get())};
    } catch (const Exception&) {
        // Busy or unreadable now: the search itself will say what is wrong.
    }
    if (m_dataVersion)
        sqlite3_reset(m_dataVersion.get());
    sqlite3_busy_timeout(m_db.get(), m_lockTimeoutMs);
    return stamp;
}

void SqliteEngine::setLockTimeout(int milliseconds)
{
    m_lockTimeoutMs = milliseconds;
    sqlite3_busy_timeout(m_db.get(), milliseconds);
}

bool SqliteEngine::readOnly() const
{
    return sqlite3_db_readonly(m_db.get(), "main") != 0;
}

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

std::vector<std::string> SqliteEngine::primaryKey(const std::string& table)
{
    Statement info(m_db.get(), "SELECT name FROM pragma_table_info(?1) WHERE pk > 0 ORDER BY pk");
    sqlite3_bind_text(info.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::string> columns;
    while (info.step())
        columns.push_back(cellText(info.get(), 0));
    return columns;
}

bool SqliteEngine::numbersKeysItself(const std::string& table, const std::string& column)
{
    // Only an INTEGER PRIMARY KEY is numbered by SQLite itself.
    Statement info(m_db.get(),
                   "SELECT count(*) FILTER (WHERE pk > 0), "
                   "max(pk > 0 AND name = ?2 COLLATE NOCASE AND upper(type) = 'INTEGER') "
                   "FROM pragma_table_info(?1)");
    sqlite3_bind_text(info.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(info.get(), 2, column.c_str(), -1, SQLITE_TRANSIENT);
    info.step();
    return sqlite3_column_int(info.get(), 0) == 1 && sqlite3_column_int(info.get(), 1) == 1;
}

std::unique_ptr<WriteTransaction> SqliteEngine::beginWrite()
{
    return std::make_unique<SqliteWriteTransaction>(m_db.get());
}

namespace {

// Writes are refused while it is open (query_only). OneMoment begins a
// transaction and reads at once, which fixes its moment. In the rollback
// journal the register files keep, that read holds the file's shared lock
// to the end: another program may begin a write, but its commit waits for
// the end (up to its own lock timeout) rather than change what is read.
// This reader holds its lock already and never asks for a stronger one, so
// it never waits for that writer: neither can wait for the other forever.
// Committed holds nothing: each statement reads the last commit.
class SqliteReadTransaction : public ReadTransaction {
public:
    SqliteReadTransaction(sqlite3* db, ReadIsolation isolation) : m_db(db)
    {
        if (sqlite3_get_autocommit(db) == 0)
            throw Exception(say(QT_TRANSLATE_NOOP("Register", "Veza već ima otvorenu transakciju.")));
        run("PRAGMA query_only = ON");
        try {
            if (isolation == ReadIsolation::OneMoment)
                run("BEGIN; SELECT count(*) FROM sqlite_schema");
        } catch (...) {
            end();
            throw;
        }
    }
    void commit() override
    {
        if (sqlite3_get_autocommit(m_db) == 0)
            run("COMMIT");
        end();
    }
    ~SqliteReadTransaction() override { end(); }

private:
    void run(const char* sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throwSqliteError(m_db, "");
    }
    void end()
    {
        if (sqlite3_get_autocommit(m_db) == 0)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "PRAGMA query_only = OFF", nullptr, nullptr, nullptr);
    }

    sqlite3* m_db;
};

} // namespace

std::unique_ptr<ReadTransaction> SqliteEngine::beginRead(ReadIsolation isolation)
{
    return std::make_unique<SqliteReadTransaction>(m_db.get(), isolation);
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
                throw Exception(
                    say(QT_TRANSLATE_NOOP("Register", "Registar je sačuvao „%1” kao %2, a to nije ceo broj."))
                        .arg(QString::fromStdString(cellText(st, int(column))),
                             QString::fromStdString(write.labels[column])));
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
