#include "SqliteEngine_p.h"

#include "UnicodeLike.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>

#include <unistd.h>

namespace db {

namespace {

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

std::unique_ptr<Engine> openSqliteEngine(const QString& path, bool readOnly, bool exclusive, int lockTimeoutMs,
                                         int cacheKilobytes)
{
    return SqliteEngine::open(path, readOnly, exclusive, lockTimeoutMs, cacheKilobytes);
}

sqlite3* sqliteHandle(const Engine& engine)
{
    const auto* file = dynamic_cast<const SqliteEngine*>(&engine);
    return file ? file->handle() : nullptr;
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
    if (installCaselessLike(db.get()) != SQLITE_OK)
        throwSqliteError(db.get(), context);
    std::unique_ptr<SqliteEngine> engine(new SqliteEngine(std::move(db)));
    engine->m_lockTimeoutMs = lockTimeoutMs;
    engine->m_path = path;
    engine->m_file = fileIdentity(path);
    engine->m_exclusive = exclusive;
    return engine;
}

std::unique_ptr<SqliteEngine> SqliteEngine::openReader(const QString& path, int lockTimeoutMs, int cacheKilobytes)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteHandle db(raw);
    if (rc != SQLITE_OK || installCaselessLike(raw) != SQLITE_OK)
        throwSqliteError(raw, "");
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, lockTimeoutMs);
    execute(raw, ("PRAGMA cache_size = -" + std::to_string(cacheKilobytes)).c_str(), "");
    std::unique_ptr<SqliteEngine> engine(new SqliteEngine(std::move(db)));
    engine->m_lockTimeoutMs = lockTimeoutMs;
    engine->m_path = path;
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
    // A read in the background not yet taken: the stamp before its rows.
    if (m_background)
        return m_background->stamp;
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
            throw Exception(transactionOpenMessage());
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

} // namespace db
