// Whole copies of a register file by SQLite's online backup, the check of
// a copy and the write lock of a file put in a register's place; see
// SqliteBackup.h.

#include "SqliteBackup.h"

#include "SqliteEngine_p.h"

#include <QFile>

#include <chrono>
#include <cerrno>
#include <cstring>
#include <thread>

namespace db {

namespace {

SqliteHandle openFile(const QString& path, int flags, int& rc)
{
    sqlite3* raw = nullptr;
    rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    SqliteHandle handle(raw);
    if (raw) {
        sqlite3_extended_result_codes(raw, 1);
        // The source is read, never changed: no SQL function beyond SQLite's
        // own may run there, so none is installed.
    }
    return handle;
}

// SQLite's words for the last failure on db, with the system's reason when
// it gave one (a full disk says "No space left on device" there).
std::string wordsFor(sqlite3* db, int rc, int systemError = 0)
{
    std::string words = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    if (systemError == 0 && db)
        systemError = sqlite3_system_errno(db);
    if (systemError != 0)
        words += std::string(" (") + std::strerror(systemError) + ")";
    return words;
}

bool busy(int rc)
{
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

bool diskFull(int rc, int systemError)
{
    return (rc & 0xff) == SQLITE_FULL || systemError == ENOSPC || systemError == EDQUOT || systemError == EFBIG;
}

// Runs statements that return nothing worth keeping; the result code.
int run(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// The first column of the first row of sql as text, "" for none.
int firstValue(sqlite3* db, const char* sql, std::string& value)
{
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(statement, 0);
            value = text ? reinterpret_cast<const char*>(text) : "";
            rc = SQLITE_OK;
        } else if (rc == SQLITE_DONE) {
            value.clear();
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return rc;
}

// Sets outcome to a failure and SQLite's words for it; false, so that a
// step of the copy can say that it failed in one line.
bool failed(FileCopyOutcome& outcome, FileCopyOutcome::Failure failure, std::string detail)
{
    outcome.failure = failure;
    outcome.detail = std::move(detail);
    return false;
}

// The source opened to be copied, its schema read; nothing, with outcome
// saying why, when it cannot be read.
SqliteHandle openSource(const QString& source, int lockTimeoutMs, FileCopyOutcome& outcome)
{
    if (std::string problem = whyNotADatabase(source); !problem.empty()) {
        outcome.sourceIsSentence = true;
        failed(outcome, FileCopyOutcome::SourceUnreadable, std::move(problem));
        return {};
    }
    // Opened as a writer would open it, though it only reads: a hot journal
    // beside the file can then be rolled back, which a reader-only
    // connection could not do. A file the user may not write opens for
    // reading all the same.
    int rc = SQLITE_OK;
    SqliteHandle from = openFile(source, SQLITE_OPEN_READWRITE, rc);
    if (rc != SQLITE_OK) {
        failed(outcome, FileCopyOutcome::SourceUnreadable, wordsFor(from.get(), rc));
        return {};
    }
    sqlite3_busy_timeout(from.get(), lockTimeoutMs);
    // The schema's pages are the first read: a damaged or foreign file, and
    // a lock held past the timeout, are met here rather than halfway.
    rc = run(from.get(), "SELECT count(*) FROM sqlite_schema");
    if (rc != SQLITE_OK) {
        failed(outcome, busy(rc) ? FileCopyOutcome::SourceBusy : FileCopyOutcome::SourceUnreadable,
               wordsFor(from.get(), rc));
        return {};
    }
    return from;
}

// The target opened to be written; nothing, with outcome saying why, when
// it cannot be.
SqliteHandle openTarget(const QString& target, FileCopyOutcome& outcome)
{
    int rc = SQLITE_OK;
    SqliteHandle to = openFile(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, rc);
    if (rc != SQLITE_OK) {
        failed(outcome, FileCopyOutcome::TargetUnwritable, wordsFor(to.get(), rc));
        return {};
    }
    // No journal and no syncing while it is written: a copy cut short is
    // thrown away whole, and the caller syncs the finished one once.
    rc = run(to.get(), "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF");
    if (rc != SQLITE_OK) {
        failed(outcome, FileCopyOutcome::TargetUnwritable, wordsFor(to.get(), rc));
        return {};
    }
    return to;
}

// Sets outcome to why the pages could not all be copied, as the result
// code and the system's error tell it: the source busy or unreadable, the
// disk full, or the target unwritable; false.
bool copyFailed(FileCopyOutcome& outcome, sqlite3* from, sqlite3* to, int rc, int systemError)
{
    const int reported = sqlite3_system_errno(to);
    if (reported != 0)
        systemError = reported;
    if (busy(rc))
        return failed(outcome, FileCopyOutcome::SourceBusy, wordsFor(from, rc, 0));
    if (diskFull(rc, systemError))
        return failed(outcome, FileCopyOutcome::TargetFull, wordsFor(to, rc, systemError));
    const int base = rc & 0xff;
    const bool reading = rc == SQLITE_IOERR_READ || rc == SQLITE_IOERR_SHORT_READ || base == SQLITE_CORRUPT
                      || base == SQLITE_NOTADB;
    if (reading)
        return failed(outcome, FileCopyOutcome::SourceUnreadable, wordsFor(from, rc, 0));
    return failed(outcome, FileCopyOutcome::TargetUnwritable, wordsFor(to, rc, systemError));
}

// Copies every page of from into to, counting them in outcome; false, with
// outcome saying why, when they could not all be copied.
bool copyPages(sqlite3* from, sqlite3* to, int lockTimeoutMs, FileCopyOutcome& outcome)
{
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        return failed(outcome, FileCopyOutcome::TargetUnwritable, wordsFor(to, sqlite3_errcode(to)));
    // One step copies every page under one read transaction of the source:
    // a copy in several steps would start over at each commit another
    // program makes between them, and never end while a desk keeps saving.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockTimeoutMs);
    int rc = SQLITE_OK;
    int systemError = 0;
    for (;;) {
        rc = sqlite3_backup_step(backup, -1);
        systemError = errno;
        if (!busy(rc) || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    outcome.pages = sqlite3_backup_pagecount(backup);
    sqlite3_backup_finish(backup);
    return rc == SQLITE_DONE || copyFailed(outcome, from, to, rc, systemError);
}

// Puts the finished copy in rollback-journal mode and closes it; false,
// with outcome saying why, when that fails.
bool closeTarget(SqliteHandle& to, FileCopyOutcome& outcome)
{
    // The copy took the source's header, and with it WAL mode where the
    // source had it: a copy is one file, in rollback-journal mode.
    std::string mode;
    int rc = firstValue(to.get(), "PRAGMA journal_mode = DELETE", mode);
    if (rc != SQLITE_OK || mode != "delete")
        return failed(outcome,
                      diskFull(rc, sqlite3_system_errno(to.get())) ? FileCopyOutcome::TargetFull
                                                                   : FileCopyOutcome::TargetUnwritable,
                      wordsFor(to.get(), rc));
    rc = sqlite3_close(to.get());
    if (rc != SQLITE_OK)
        return failed(outcome, FileCopyOutcome::TargetUnwritable, wordsFor(to.get(), rc));
    to.release();
    return true;
}

} // namespace

FileCopyOutcome copyDatabaseFile(const QString& source, const QString& target, int lockTimeoutMs)
{
    FileCopyOutcome outcome;
    SqliteHandle from = openSource(source, lockTimeoutMs, outcome);
    if (!from)
        return outcome;
    SqliteHandle to = openTarget(target, outcome);
    if (!to || !copyPages(from.get(), to.get(), lockTimeoutMs, outcome))
        return outcome;
    from.reset();
    closeTarget(to, outcome);
    return outcome;
}

IntegrityOutcome checkDatabaseFile(const QString& path, const std::atomic<bool>* stop)
{
    IntegrityOutcome outcome;
    int rc = SQLITE_OK;
    SqliteHandle db = openFile(path, SQLITE_OPEN_READONLY, rc);
    if (rc != SQLITE_OK) {
        outcome.answer = wordsFor(db.get(), rc);
        return outcome;
    }
    // The check reads every table and index page, the indexes' more than
    // once: a cache as large as a million persons' file keeps it to one
    // read of each page from the system.
    run(db.get(), "PRAGMA cache_size = -131072");
    if (stop)
        sqlite3_progress_handler(
            db.get(), 100000,
            [](void* flag) -> int { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
            const_cast<std::atomic<bool>*>(stop));
    sqlite3_stmt* statement = nullptr;
    rc = sqlite3_prepare_v2(db.get(), "PRAGMA integrity_check", -1, &statement, nullptr);
    std::string answer;
    int lines = 0;
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(statement);
        if (rc != SQLITE_ROW)
            break;
        const unsigned char* text = sqlite3_column_text(statement, 0);
        // The first few problems tell enough: the rest say the same again.
        if (lines++ < 5) {
            if (!answer.empty())
                answer += "; ";
            answer += text ? reinterpret_cast<const char*>(text) : "";
        }
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
        outcome.stopped = stop && stop->load();
        outcome.answer = wordsFor(db.get(), rc);
        return outcome;
    }
    outcome.ok = answer == "ok" && lines == 1;
    outcome.answer = answer;
    return outcome;
}

struct FileWriteLock::Connection {
    SqliteHandle db;
    bool inTransaction = false;
};

FileWriteLock::FileWriteLock(const QString& path, int timeoutMs) : m_connection(std::make_unique<Connection>())
{
    if (std::string problem = whyNotADatabase(path); !problem.empty()) {
        m_detail = std::move(problem);
        return;
    }
    int rc = SQLITE_OK;
    m_connection->db = openFile(path, SQLITE_OPEN_READWRITE, rc);
    sqlite3* db = m_connection->db.get();
    if (rc != SQLITE_OK || sqlite3_db_readonly(db, "main") == 1) {
        m_detail = rc != SQLITE_OK ? wordsFor(db, rc) : sqlite3_errstr(SQLITE_READONLY);
        return;
    }
    sqlite3_busy_timeout(db, timeoutMs);
    const auto refused = [&](int code) {
        m_outcome = busy(code) ? InUse : Unreadable;
        m_detail = wordsFor(db, code);
    };
    rc = run(db, "SELECT count(*) FROM sqlite_schema");
    if (rc != SQLITE_OK) {
        refused(rc);
        return;
    }
    std::string mode;
    rc = firstValue(db, "PRAGMA journal_mode", mode);
    if (rc != SQLITE_OK) {
        refused(rc);
        return;
    }
    if (mode == "wal") {
        // Leaving WAL mode needs every other connection gone: one that stays
        // means the file is in use.
        rc = firstValue(db, "PRAGMA journal_mode = DELETE", mode);
        if (rc != SQLITE_OK) {
            refused(rc);
            return;
        }
        if (mode != "delete") {
            m_outcome = InUse;
            m_detail = sqlite3_errstr(SQLITE_BUSY);
            return;
        }
    }
    rc = run(db, "BEGIN EXCLUSIVE");
    if (rc != SQLITE_OK) {
        refused(rc);
        return;
    }
    m_connection->inTransaction = true;
    m_outcome = Held;
}

FileWriteLock::~FileWriteLock()
{
    if (m_connection->inTransaction)
        run(m_connection->db.get(), "ROLLBACK");
}

} // namespace db
