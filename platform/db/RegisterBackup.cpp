#include "RegisterBackup.h"

#include "Exception.h"
#include "RegisterName.h"
#include "SqliteBackup.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace backup {

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("Backup", text);
}

QString quoted(const QString& path)
{
    return QStringLiteral("\u201E") + QDir::toNativeSeparators(path) + QStringLiteral("\u201D");
}

// How long a copy waits for another program's write lock on the register,
// as every desk waits for another's.
constexpr int LockTimeoutMs = 5000;
// How long a restore tries for the register's write lock before it says the
// register is in use.
constexpr int RestoreLockTimeoutMs = 2000;

const int DailyCopies = 7;
const int WeeklyCopies = 4;

// A copy cut short because its owner went away: nothing to tell anyone.
struct Stopped {};

void refuseServer(const QString& registerPath)
{
    if (db::isServerRegister(registerPath))
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "Registar na serveru ovaj program ne kopira: njegovu rezervnu kopiju "
                                              "pravi pg_dump na serveru (vidite docs/several-desks.md).")));
}

// The register's path with its folder's symbolic links resolved: one
// register, one name, however it was reached. A register that is not there
// (one being put back) is named the same way.
QString registerIdentity(const QString& registerPath)
{
    const QFileInfo file(registerPath);
    QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        folder = file.absolutePath();
    return QDir(folder).filePath(file.fileName());
}

// proba.mdb -> "proba-" and ".mdb"; a name without a dot has no ending.
QString namePrefix(const QString& registerPath)
{
    const QFileInfo file(registerPath);
    return (file.suffix().isEmpty() ? file.fileName() : file.completeBaseName()) + QLatin1Char('-');
}

QString nameEnding(const QString& registerPath)
{
    const QString suffix = QFileInfo(registerPath).suffix();
    return suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
}

QString copyName(const QString& registerPath, const QDate& day, const QTime& time = {})
{
    QString name = namePrefix(registerPath) + day.toString(Qt::ISODate);
    if (time.isValid())
        name += QLatin1Char('-') + time.toString(QStringLiteral("HHmmss"));
    return name + nameEnding(registerPath);
}

// Syncs a file, or a folder (its entries: a rename in it), to the disk.
bool sync(const QString& path, bool folder, QString& reason)
{
    const int fd = ::open(QFile::encodeName(path).constData(), folder ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

// A temporary file's name in folder, the file made empty and closed, for
// SQLite to write; removed when this goes out of scope unless kept.
class TemporaryName {
public:
    TemporaryName(const QString& folder, const QString& pattern, QString& problem)
    {
        QTemporaryFile file(QDir(folder).filePath(pattern));
        file.setAutoRemove(false);
        if (file.open())
            m_path = file.fileName();
        else
            problem = file.errorString();
    }
    ~TemporaryName()
    {
        if (!m_kept && !m_path.isEmpty()) {
            QFile::remove(m_path);
            // A copy's journal, should SQLite have left one.
            QFile::remove(m_path + QLatin1String("-journal"));
        }
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    bool made() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_kept = false;
};

// Makes folder, or says in words why it cannot be made.
void makeFolder(const QString& folder)
{
    if (QDir().mkpath(folder) && QFileInfo(folder).isDir())
        return;
    // The nearest part of the path that is there tells what stands in the way.
    QString blocking = folder;
    while (!QFileInfo::exists(blocking) && QFileInfo(blocking).absolutePath() != blocking)
        blocking = QFileInfo(blocking).absolutePath();
    if (QFileInfo::exists(blocking) && !QFileInfo(blocking).isDir())
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "Fascikla za rezervne kopije %1 ne može da se napravi: %2 je datoteka, "
                                              "a ne fascikla. Sklonite tu datoteku, ili postavite XDG_DATA_HOME na "
                                              "drugu fasciklu."))
                            .arg(quoted(folder), quoted(blocking)));
    throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                          "Fascikla za rezervne kopije %1 ne može da se napravi: u %2 ne može da se "
                                          "piše. Dozvolite upis u nju, ili postavite XDG_DATA_HOME na drugu "
                                          "fasciklu."))
                        .arg(quoted(folder), quoted(blocking)));
}

// Refuses a copy that would not fit before writing any of it.
void requireRoom(const QString& source, const QString& folder)
{
    const QStorageInfo disk(folder);
    const qint64 needed = QFileInfo(source).size();
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < needed)
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "Na disku nema mesta za kopiju registra: treba %1 MB, a u %2 je slobodno "
                                              "%3 MB. Oslobodite prostor i pokušajte ponovo; dosadašnje kopije su "
                                              "ostale."))
                            .arg((needed + 999999) / 1000000)
                            .arg(quoted(folder))
                            .arg(disk.bytesAvailable() / 1000000));
}

// The message for a copy of source into folder that failed.
QString copyFailure(const db::FileCopyOutcome& outcome, const QString& source, const QString& folder)
{
    const QString detail = QString::fromStdString(outcome.detail);
    switch (outcome.failure) {
    case db::FileCopyOutcome::SourceBusy:
        return say(QT_TRANSLATE_NOOP("Backup",
                                     "Kopija registra %1 nije napravljena: drugi program predugo drži registar "
                                     "zaključan dok upisuje. Pokušajte ponovo malo kasnije."))
            .arg(quoted(source));
    case db::FileCopyOutcome::SourceUnreadable:
        if (outcome.sourceIsSentence)
            return say(QT_TRANSLATE_NOOP("Backup", "Kopija nije napravljena. %1")).arg(detail);
        return say(QT_TRANSLATE_NOOP("Backup",
                                     "Kopija registra %1 nije napravljena: registar ne može da se pročita (%2). "
                                     "Registar je možda oštećen; vratite ga iz poslednje dobre kopije."))
            .arg(quoted(source), detail);
    case db::FileCopyOutcome::TargetFull:
        return say(QT_TRANSLATE_NOOP("Backup",
                                     "Kopija registra nije napravljena: disk je pun (%1). Oslobodite prostor na "
                                     "disku fascikle %2 i pokušajte ponovo; dosadašnje kopije su ostale."))
            .arg(detail, quoted(folder));
    case db::FileCopyOutcome::TargetUnwritable:
    case db::FileCopyOutcome::None:
        break;
    }
    return say(QT_TRANSLATE_NOOP("Backup",
                                 "Kopija registra nije napravljena: u %1 ne može da se upiše (%2). Dozvolite upis "
                                 "u tu fasciklu i pokušajte ponovo; dosadašnje kopije su ostale."))
        .arg(quoted(folder), detail);
}

// Copies source into a checked, synced temporary file in folder, named by
// pattern; returns it, for the caller to rename into place.
void writeCheckedCopy(const QString& source, const QString& folder, TemporaryName& temporary,
                      const std::atomic<bool>* stop, bool restoring)
{
    const db::FileCopyOutcome copied = db::copyDatabaseFile(source, temporary.path(), LockTimeoutMs);
    if (copied.failure != db::FileCopyOutcome::None) {
        if (!restoring)
            throw Exception(copyFailure(copied, source, folder));
        const QString detail = QString::fromStdString(copied.detail);
        if (copied.failure == db::FileCopyOutcome::SourceUnreadable)
            throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                                  "Kopija %1 ne može da se pročita (%2). Registar je ostao kakav je; "
                                                  "izaberite drugu kopiju."))
                                .arg(quoted(source), detail));
        if (copied.failure == db::FileCopyOutcome::SourceBusy)
            throw Exception(copyFailure(copied, source, folder));
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "Kopija ne može da se upiše pored registra, u %1 (%2). Registar je "
                                              "ostao kakav je; oslobodite prostor ili dozvolite upis u tu fasciklu."))
                            .arg(quoted(folder), detail));
    }
    const db::IntegrityOutcome checked = db::checkDatabaseFile(temporary.path(), stop);
    if (checked.stopped)
        throw Stopped();
    if (!checked.ok) {
        const QString answer = QString::fromStdString(checked.answer);
        if (restoring)
            throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                                  "Kopija %1 nije ispravna (provera kaže: %2). Registar je ostao "
                                                  "kakav je; izaberite drugu kopiju."))
                                .arg(quoted(source), answer));
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "Kopija registra %1 nije ispravna (provera kaže: %2), pa nije sačuvana; "
                                              "dosadašnje kopije su ostale. Registar je verovatno oštećen: ne "
                                              "menjajte ga dalje i vratite ga iz poslednje dobre kopije."))
                            .arg(quoted(source), answer));
    }
    QString reason;
    if (!sync(temporary.path(), false, reason))
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "Kopija ne može da se upiše na disk u %1 (%2); disk je možda pun. "
                                              "Oslobodite prostor i pokušajte ponovo."))
                            .arg(quoted(folder), reason));
}

// Notes beside the copies which register they are of, for a person looking
// into the folder.
void noteRegister(const QString& folder, const QString& identity)
{
    QFile note(QDir(folder).filePath(QStringLiteral("register.txt")));
    if (note.exists())
        return;
    if (note.open(QIODevice::WriteOnly))
        note.write(QFile::encodeName(identity) + '\n');
}

// Temporary files of copies cut short by a crash, a day old or more: none
// of them is anyone's copy under way.
void removeLeftovers(const QString& folder)
{
    const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
    const QFileInfoList found =
        QDir(folder).entryInfoList({QStringLiteral(".*.partial")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& file : found)
        if (file.lastModified() < dayAgo)
            QFile::remove(file.filePath());
}

void rotate(const QString& identity)
{
    const QList<Copy> all = listBackups(identity);
    const QList<Copy> kept = copiesToKeep(all);
    std::set<QString> keep;
    for (const Copy& copy : kept)
        keep.insert(copy.path);
    for (const Copy& copy : all)
        if (!keep.count(copy.path))
            QFile::remove(copy.path);
    removeLeftovers(folderFor(identity));
}

// Takes a copy of the register under name in its folder, replacing one of
// that name; returns its path.
QString takeCopy(const QString& registerPath, const QString& name, const std::atomic<bool>* stop = nullptr)
{
    refuseServer(registerPath);
    const QString identity = registerIdentity(registerPath);
    const QString folder = folderFor(identity);
    makeFolder(folder);
    requireRoom(identity, folder);
    QString problem;
    TemporaryName temporary(folder, QLatin1Char('.') + name + QLatin1String(".XXXXXX.partial"), problem);
    if (!temporary.made())
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "U fasciklu za rezervne kopije %1 ne može da se piše (%2). Dozvolite "
                                              "upis u nju, ili postavite XDG_DATA_HOME na drugu fasciklu."))
                            .arg(quoted(folder), problem));
    writeCheckedCopy(identity, folder, temporary, stop, false);
    const QString path = QDir(folder).filePath(name);
    if (std::rename(QFile::encodeName(temporary.path()).constData(), QFile::encodeName(path).constData()) != 0)
        throw Exception(say(QT_TRANSLATE_NOOP("Backup", "Kopija registra ne može da se postavi na %1 (%2)."))
                            .arg(quoted(path), QString::fromLocal8Bit(std::strerror(errno))));
    temporary.keep();
    QString reason;
    sync(folder, true, reason); // the copy is there; a folder that cannot be synced loses nothing now
    noteRegister(folder, identity);
    rotate(identity);
    return path;
}

// Gives the register another name beside it, never one that is taken:
// link() fails where a file is, and leaves the register where it is, so
// that its name is never without a register. Where the file system has no
// links, a rename that refuses to replace a file. Returns "" and the reason
// when it cannot.
QString setAside(const QString& registerPath, const QDateTime& now, bool& linked, QString& reason)
{
    const QString base = registerPath + QLatin1String(".before-restore-")
                       + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    for (int number = 1; number < 1000; ++number) {
        const QString name = number == 1 ? base : base + QLatin1Char('-') + QString::number(number);
        if (::link(QFile::encodeName(registerPath).constData(), QFile::encodeName(name).constData()) == 0) {
            linked = true;
            return name;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) {
            reason = QString::fromLocal8Bit(std::strerror(errno));
            return {};
        }
        if (QFileInfo::exists(name))
            continue;
        QFile file(registerPath);
        if (file.rename(name)) {
            linked = false;
            return name;
        }
        reason = file.errorString();
        return {};
    }
    reason = QString::fromLocal8Bit(std::strerror(EEXIST));
    return {};
}

QDate parseDay(const QString& text)
{
    return QDate::fromString(text, Qt::ISODate);
}

} // namespace

QString backupsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1String("/kolvara/backups");
}

QString folderFor(const QString& registerPath)
{
    const QString identity = registerIdentity(registerPath);
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(identity), QCryptographicHash::Sha1).toHex().left(8));
    return backupsFolder() + QLatin1Char('/') + QFileInfo(identity).fileName() + QLatin1Char('-') + hash;
}

QString takeBackup(const QString& registerPath, const QDate& day)
{
    return takeCopy(registerPath, copyName(registerPath, day));
}

QString takeDailyBackup(const QString& registerPath, const QDate& day)
{
    refuseServer(registerPath);
    if (QFileInfo::exists(QDir(folderFor(registerPath)).filePath(copyName(registerPath, day))))
        return {};
    return takeBackup(registerPath, day);
}

QString takeBackupBeforeRewrite(const QString& registerPath, const QDateTime& now)
{
    refuseServer(registerPath);
    if (!QFileInfo::exists(registerPath))
        return {};
    return takeCopy(registerPath, copyName(registerPath, now.date(), now.time()));
}

QList<Copy> listBackups(const QString& registerPath)
{
    refuseServer(registerPath);
    const QRegularExpression pattern(
        QLatin1Char('^') + QRegularExpression::escape(namePrefix(registerPath))
        + QStringLiteral("(\\d{4}-\\d{2}-\\d{2})(?:-(\\d{6}))?") + QRegularExpression::escape(nameEnding(registerPath))
        + QLatin1Char('$'));
    QList<Copy> copies;
    const QFileInfoList files = QDir(folderFor(registerPath)).entryInfoList(QDir::Files);
    for (const QFileInfo& file : files) {
        const QRegularExpressionMatch match = pattern.match(file.fileName());
        if (!match.hasMatch())
            continue;
        Copy copy;
        copy.day = parseDay(match.captured(1));
        if (match.hasCaptured(2))
            copy.time = QTime::fromString(match.captured(2), QStringLiteral("HHmmss"));
        if (!copy.day.isValid() || (match.hasCaptured(2) && !copy.time.isValid()))
            continue;
        copy.modified = file.lastModified();
        copy.size = file.size();
        copy.path = file.filePath();
        copies.append(copy);
    }
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
        if (a.day != b.day)
            return a.day > b.day;
        return a.modified > b.modified;
    });
    return copies;
}

QList<Copy> copiesToKeep(QList<Copy> copies)
{
    std::stable_sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
        if (a.day != b.day)
            return a.day > b.day;
        return a.modified > b.modified;
    });
    QList<Copy> kept;
    QList<QDate> days;
    // The newest of each day comes first among that day's copies.
    for (const Copy& copy : copies) {
        if (days.size() == DailyCopies && copy.day < days.last())
            break;
        if (days.isEmpty() || days.last() != copy.day) {
            days.append(copy.day);
            kept.append(copy);
        } else if (copy.time.isValid()) {
            kept.append(copy);
        }
    }
    if (days.size() < DailyCopies)
        return kept;
    const auto week = [](const QDate& day) {
        int year = 0;
        const int number = day.weekNumber(&year);
        return year * 100 + number;
    };
    const int lastWeek = week(days.last());
    QList<int> weeks;
    for (const Copy& copy : copies) {
        const int its = week(copy.day);
        if (its >= lastWeek || (!weeks.isEmpty() && weeks.last() == its))
            continue;
        if (weeks.size() == WeeklyCopies)
            break;
        weeks.append(its);
        kept.append(copy);
    }
    return kept;
}

QString restoreBackup(const QString& registerPath, const QString& copyPath, const QDateTime& now)
{
    refuseServer(registerPath);
    const QString identity = registerIdentity(registerPath);
    const QString folder = QFileInfo(identity).absolutePath();
    if (!QFileInfo::exists(copyPath))
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "Kopija %1 ne postoji. Spisak kopija registra daje kolvara-backup "
                                              "--list REGISTAR."))
                            .arg(quoted(copyPath)));
    if (!QFileInfo(folder).isDir())
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "Fascikla registra %1 ne postoji: napravite je, pa vratite kopiju "
                                              "ponovo."))
                            .arg(quoted(folder)));
    QString problem;
    TemporaryName temporary(folder, QLatin1Char('.') + QFileInfo(identity).fileName() + QLatin1String(".XXXXXX.partial"),
                            problem);
    if (!temporary.made())
        throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                              "Kopija ne može da se upiše pored registra, u %1 (%2). Registar je "
                                              "ostao kakav je; oslobodite prostor ili dozvolite upis u tu fasciklu."))
                            .arg(quoted(folder), problem));
    writeCheckedCopy(QFileInfo(copyPath).absoluteFilePath(), folder, temporary, nullptr, true);

    const bool there = QFileInfo::exists(identity);
    QString asideName;
    bool linked = false;
    {
        // Held from before the register is set aside until its copy is in
        // its place: no program writes it meanwhile. A file that is no
        // register at all (damaged past opening) has no lock to take, and is
        // set aside all the same: that is what a restore is for.
        std::unique_ptr<db::FileWriteLock> lock;
        if (there) {
            lock = std::make_unique<db::FileWriteLock>(identity, RestoreLockTimeoutMs);
            if (lock->outcome() == db::FileWriteLock::InUse)
                throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                                      "Registar %1 je u upotrebi; prvo zatvorite program za svakim "
                                                      "stolom, pa vratite kopiju ponovo. Registar je ostao kakav je."))
                                    .arg(quoted(identity)));
            QString reason;
            asideName = setAside(identity, now, linked, reason);
            if (asideName.isEmpty())
                throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                                      "Registar %1 ne može da se skloni u stranu (%2), pa kopija "
                                                      "nije vraćena; registar je ostao kakav je."))
                                    .arg(quoted(identity), reason));
        }
        // The restored register may be read and written by whoever could
        // the one it replaces, not only by whoever restored it.
        if (there)
            QFile::setPermissions(temporary.path(), QFile::permissions(asideName));
        if (std::rename(QFile::encodeName(temporary.path()).constData(), QFile::encodeName(identity).constData())
            != 0) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            // Back as it was: the second name goes, or the register gets its
            // own name back.
            if (there && linked)
                ::unlink(QFile::encodeName(asideName).constData());
            else if (there)
                std::rename(QFile::encodeName(asideName).constData(), QFile::encodeName(identity).constData());
            throw Exception(say(QT_TRANSLATE_NOOP("Backup",
                                                  "Kopija ne može da se postavi na mesto registra %1 (%2); registar "
                                                  "je ostao kakav je."))
                                .arg(quoted(identity), reason));
        }
        temporary.keep();
    }
    QString reason;
    sync(folder, true, reason);
    return asideName;
}

BackgroundBackup::BackgroundBackup(const QString& registerPath, Done done, const QDate& day)
{
    m_thread = std::thread([this, registerPath, done = std::move(done), day] {
        QString failure;
        try {
            if (db::isServerRegister(registerPath))
                return done({});
            const QString identity = registerIdentity(registerPath);
            if (!QFileInfo::exists(QDir(folderFor(identity)).filePath(copyName(identity, day))))
                takeCopy(identity, copyName(identity, day), &m_stop);
        } catch (const Stopped&) {
            return;
        } catch (const Exception& e) {
            failure = QString::fromStdString(e.Message());
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
        if (!m_stop.load())
            done(failure);
    });
}

BackgroundBackup::~BackgroundBackup()
{
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace backup
