#pragma once
// Whole copies of a register file made by SQLite itself, and the checks and
// the lock that putting one in a register's place needs: part of the file
// engine's face, for the backups (RegisterBackup.h). Nothing here words a
// message for a person; each outcome says what happened, and SQLite's own
// words for it, so that the caller can say it in the person's terms.
//
// A copy is one moment of its source: it is read whole under a single read
// transaction of the source (SQLite's online backup, in one step), so that
// another program's commit lands either wholly in it or not at all. While
// it reads, another program's commit waits, as it waits for any reader: for
// as long as the pages take to copy (a fraction of a second for a million
// persons), well within the lock timeout every desk waits for. A source in
// WAL mode is read the same way and keeps its writers going meanwhile. The
// copy itself is always a single file in rollback-journal mode.

#include <QString>

#include <atomic>
#include <memory>
#include <string>

namespace db {

struct FileCopyOutcome {
    enum Failure {
        None,
        SourceBusy,       // another program held the source's lock past the timeout
        SourceUnreadable, // not a register file, damaged, or unreadable
        TargetUnwritable, // the copy could not be written (full disk, no rights, I/O)
        TargetFull,       // the disk said it is full
    };
    Failure failure = None;
    // SQLite's words for the failure, or the engine's own sentence naming the
    // source when it is not a register file at all (see sourceIsSentence).
    std::string detail;
    bool sourceIsSentence = false;
    long long pages = 0; // pages copied
};

// Copies the SQLite database at source into target, a file that is new or
// empty (a temporary file of the caller's). Source is opened without being
// created, read in one transaction, and closed; target is written without a
// journal and without syncing: the caller checks it, syncs it and puts it in
// place. A hot journal left beside source by a program that crashed is rolled
// back first, as any opening of the file does. lockTimeoutMs bounds the wait
// for another program's write lock on source.
FileCopyOutcome copyDatabaseFile(const QString& source, const QString& target, int lockTimeoutMs);

struct IntegrityOutcome {
    bool ok = false;     // PRAGMA integrity_check answered exactly "ok"
    bool stopped = false; // stop was set before the check ended
    std::string answer;  // otherwise its first lines, or why the file could not be checked
};

// Runs PRAGMA integrity_check on the database file at path (a copy of the
// caller's own, which no other program uses). stop, when given, ends the
// check early once set.
IntegrityOutcome checkDatabaseFile(const QString& path, const std::atomic<bool>* stop = nullptr);

// The write lock of a register file, taken as any writer takes it and held
// until destroyed, so that the file can be set aside and another put in its
// place while no program is writing it. Taking it rolls back a hot journal
// left by a crash and brings a file in WAL mode back to rollback-journal
// mode, which empties its WAL into the file: once held, the file alone is
// the whole register, and no journal or WAL beside it belongs to it.
class FileWriteLock {
public:
    enum Outcome {
        Held,
        InUse,      // another program holds the lock, or has a WAL-mode file open
        Unreadable, // not a register file, or it cannot be opened for writing
    };
    // Tries for up to timeoutMs. detail gets SQLite's words when not held.
    FileWriteLock(const QString& path, int timeoutMs);
    ~FileWriteLock();
    FileWriteLock(const FileWriteLock&) = delete;
    FileWriteLock& operator=(const FileWriteLock&) = delete;

    Outcome outcome() const { return m_outcome; }
    const std::string& detail() const { return m_detail; }

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    Outcome m_outcome = Unreadable;
    std::string m_detail;
};

} // namespace db
