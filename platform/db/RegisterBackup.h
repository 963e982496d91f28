#pragma once
// The copies of a register file that the program keeps for the person, and
// putting one back. Each register has a folder of its own under
// $XDG_DATA_HOME/kolvara/backups (~/.local/share/kolvara/backups unless
// XDG_DATA_HOME says otherwise), named by the register's file name and a
// short hash of the folder it is in, so that two registers of one name in
// different folders never share copies; the folder's register.txt names the
// register. A day's copy is proba-2026-12-09.mdb, a copy taken before a tool
// rewrote the register proba-2026-12-09-140322.mdb.
//
// A copy is one moment of the register, read by SQLite while other programs
// may go on saving (SqliteBackup.h), written under a temporary name, checked
// with PRAGMA integrity_check, synced and only then renamed into place, so
// that a copy either is whole and sound or is not there at all. Once one is
// in place, older ones are removed as copiesToKeep says.
//
// Every failure throws Exception with a message for the person, in the
// program's language, that says what went wrong and what to do: a full disk,
// a folder that cannot be written, a register another program keeps locked,
// a damaged register. A register on a server is refused: pg_dump copies it.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace backup {

// A copy of a register, as the folder holds it.
struct Copy {
    QDate day;          // the day it was taken, as its name says
    QTime time;         // the moment, for a copy taken before a rewrite; null for a day's copy
    QDateTime modified; // when it was written: orders the copies of one day
    qint64 size = 0;
    QString path;
};

// The folder all registers' copies are kept under, and the one of a register.
QString backupsFolder();
QString folderFor(const QString& registerPath);

// Takes a copy of the register file now, as day's copy, replacing one taken
// earlier that day; returns its path.
QString takeBackup(const QString& registerPath, const QDate& day = QDate::currentDate());
// The same, once a day: nothing when day's copy is there already. Returns
// the new copy's path, or "" when none was needed.
QString takeDailyBackup(const QString& registerPath, const QDate& day = QDate::currentDate());
// A copy taken right before a tool writes the register anew (make-register
// --force, an import or a copy over it), named by the moment, so that two
// rewrites in one day keep what was there before each. Returns its path, or
// "" when there is no file at registerPath yet. A file there that is no
// register file (an Access file an import replaces) throws as any failure
// does: the tool decides whether to go on without a copy.
QString takeBackupBeforeRewrite(const QString& registerPath, const QDateTime& now = QDateTime::currentDateTime());

// The register's copies, newest first.
QList<Copy> listBackups(const QString& registerPath);

// Which of copies are kept: the newest copy of each of the last 7 days that
// have one; every copy taken before a rewrite on those 7 days; and the
// newest copy of each of the last 4 ISO weeks that have one, among the
// weeks before the one of the oldest of those days. Newest first.
QList<Copy> copiesToKeep(QList<Copy> copies);

// Puts the copy at copyPath in the register's place. The copy is first
// written beside the register under a temporary name and checked; the
// register is then set aside, under its name with ".before-restore-" and
// now (a number after it when that name is taken: no file is ever written
// over), and the checked copy renamed into place. The register's write lock
// is held meanwhile: a register another program is writing is refused, and
// stays as it was. A register that is not there is simply put back. Returns
// the name the register was set aside under, or "" when there was none.
QString restoreBackup(const QString& registerPath, const QString& copyPath,
                      const QDateTime& now = QDateTime::currentDateTime());

// takeDailyBackup on a thread of its own, so that the window opening a
// register never waits for it. done is called once, on that thread, when it
// ends: with "" when a copy was taken or none was needed (a register on a
// server is not this program's to copy, and needs none), otherwise with the
// message to show. Destroying the object stops the check of a copy under
// way, throws that copy away and waits for the thread; done is then not
// called, and never after the destructor has returned.
class BackgroundBackup {
public:
    using Done = std::function<void(const QString& failure)>;
    BackgroundBackup(const QString& registerPath, Done done, const QDate& day = QDate::currentDate());
    ~BackgroundBackup();
    BackgroundBackup(const BackgroundBackup&) = delete;
    BackgroundBackup& operator=(const BackgroundBackup&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace backup
