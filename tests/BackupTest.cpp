// The copies kept of a register file: one taken while another program keeps
// saving is one whole moment of it; the rotation keeps the days and weeks it
// promises; a restore sets the register aside without ever writing over an
// earlier one, and refuses what it must while leaving the register as it
// was; a folder or disk that cannot take a copy gives a message; the
// command's exit codes and list. The person's data folder is a temporary one.

#include "Exception.h"
#include "RegisterBackup.h"
#include "SqliteEngine.h"
#include "TestRegister.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <future>
#include <memory>
#include <thread>

namespace reg = test_register;

namespace {

// Persons beyond the sample's, numbered from 1000, for a file of some size.
std::string morePersons(int count)
{
    return "WITH RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(999 + count)
         + ") INSERT INTO PODACI (ID, ID_DRZAVA, ID_GRAD, Ime, Prezime) SELECT i, 1, 1, 'Ime' || i, 'Prezime' || i "
           "FROM n";
}

QString message(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return QString::fromStdString(e.Message());
    }
    return {};
}

// The files of folder whose names have part in them, hidden ones too.
QStringList filesWith(const QString& folder, const QString& part)
{
    return QDir(folder).entryList({"*" + part + "*"}, QDir::Files | QDir::Hidden | QDir::System);
}

// Another program saving three persons at a time, each three in one
// transaction, until stopped; committed counts only what its COMMIT returned.
class Writer {
public:
    explicit Writer(const QString& path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(m_db, 10000);
        m_thread = std::thread([this] {
            for (long long next = 500000; !m_stop; next += 3) {
                std::string sql = "BEGIN IMMEDIATE; INSERT INTO PODACI (ID, ID_DRZAVA, ID_GRAD, Ime, Prezime) VALUES";
                for (long long id = next; id < next + 3; ++id)
                    sql += std::string(id == next ? " " : ", ") + "(" + std::to_string(id) + ", 1, 1, 'Pisac', 'P')";
                sql += "; COMMIT";
                if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
                    ++failures;
                    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
                } else {
                    committed += 3;
                }
            }
        });
    }
    ~Writer()
    {
        m_stop = true;
        m_thread.join();
        sqlite3_close(m_db);
    }

    std::atomic<long long> committed{0};
    std::atomic<int> failures{0};

private:
    sqlite3* m_db = nullptr;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

QString sqliteValue(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    QString value;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    else
        value = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

// Damages an index of the persons: its root page's cells, where the
// entries' bytes are, zeroed. The tables read as before; the check fails.
void damageAnIndex(const QString& path)
{
    const int page = reg::value(path, "SELECT rootpage FROM sqlite_schema WHERE type = 'index' AND tbl_name = "
                                      "'PODACI' ORDER BY name LIMIT 1")
                         .toInt();
    const int pageSize = reg::value(path, "PRAGMA page_size").toInt();
    QFile file(path);
    QVERIFY(page > 1 && file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(qint64(page) * pageSize - 600));
    file.write(QByteArray(600, '\0'));
}

QStringList daysOf(const QList<backup::Copy>& copies)
{
    QStringList days;
    for (const backup::Copy& copy : copies)
        days << copy.day.toString(Qt::ISODate) + (copy.time.isValid() ? " " + copy.time.toString("HH:mm:ss") : "");
    return days;
}

} // namespace

class BackupTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_data; // the person's data folder

    QString freshFolder()
    {
        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + "/"
                                              + QString::fromLatin1(QTest::currentDataTag()));
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        return folder;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_data = m_dir.filePath("data");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data));
        QCOMPARE(backup::backupsFolder(), m_data + "/kolvara/backups");
    }

    void init()
    {
        QDir(m_data).removeRecursively();
    }

    // Taken while another program commits three persons at a time, each copy
    // holds exactly what was committed at one moment: a whole number of
    // those transactions, no fewer than before it began and no more than
    // after; it passes the check, opens, and is one file.
    void aCopyIsOneMomentWhileAnotherProgramWrites_data()
    {
        QTest::addColumn<bool>("wal");
        QTest::newRow("rollback journal") << false;
        QTest::newRow("WAL") << true;
    }

    void aCopyIsOneMomentWhileAnotherProgramWrites()
    {
        QFETCH(bool, wal);
        const QString path = freshFolder() + "/proba.mdb";
        reg::create(path);
        reg::exec(path, morePersons(40000));
        if (wal)
            reg::exec(path, "PRAGMA journal_mode = WAL");
        const long long base = reg::count(path);
        Writer writer(path);
        while (writer.committed < 30)
            QThread::msleep(1);
        long long before = 0, after = 0;
        QList<QPair<QString, QPair<long long, long long>>> copies;
        for (int day = 1; day <= 3; ++day) {
            before = writer.committed;
            QString copy;
            const QString said = message([&] { copy = backup::takeBackup(path, QDate(2026, 12, day)); });
            after = writer.committed;
            QVERIFY2(said.isEmpty(), qPrintable(said));
            copies.append({copy, {before, after}});
        }
        QVERIFY2(std::any_of(copies.cbegin(), copies.cend(), [](const auto& c) { return c.second.second > c.second.first; }),
                 "the other program saved while the copies were taken");
        QCOMPARE(writer.failures.load(), 0);
        for (const auto& [copy, moment] : copies) {
            QCOMPARE(sqliteValue(copy, "PRAGMA integrity_check"), QString("ok"));
            QCOMPARE(sqliteValue(copy, "PRAGMA journal_mode"), QString("delete"));
            QVERIFY(!QFile::exists(copy + "-wal"));
            const long long persons = sqliteValue(copy, "SELECT count(*) FROM PODACI").toLongLong() - base;
            QVERIFY2(persons % 3 == 0, qPrintable(QString::number(persons)));
            QVERIFY2(persons >= moment.first && persons <= moment.second,
                     qPrintable(QString("%1 not in %2..%3").arg(persons).arg(moment.first).arg(moment.second)));
            QVERIFY(db::openSqliteEngine(copy, true, false, 1000, 1000) != nullptr);
        }
    }

    // Copies taken on the days given (with a time: before a rewrite), in
    // that order; those kept afterwards, newest first.
    void theRotationKeepsSevenDaysAndFourWeeks_data()
    {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QStringList>("kept");
        const auto days = [](QDate from, int count, int step) {
            QStringList list;
            for (int i = 0; i < count; ++i)
                list << from.addDays(qint64(i) * step).toString(Qt::ISODate);
            return list;
        };
        QTest::newRow("60 days in a row")
            << days(QDate(2026, 10, 1), 60, 1)
            << QStringList{"2026-11-29", "2026-11-28", "2026-11-27", "2026-11-26", "2026-11-25", "2026-11-24",
                           "2026-11-23", "2026-11-22", "2026-11-15", "2026-11-08", "2026-11-01"};
        QTest::newRow("fewer than 7 days") << QStringList{"2026-11-01", "2026-11-03", "2026-11-04"}
                                           << QStringList{"2026-11-04", "2026-11-03", "2026-11-01"};
        QTest::newRow("every third day")
            << days(QDate(2026, 8, 1), 31, 3)
            << QStringList{"2026-10-30", "2026-10-27", "2026-10-24", "2026-10-21", "2026-10-18", "2026-10-15",
                           "2026-10-12", "2026-10-09", "2026-10-03", "2026-09-27", "2026-09-18"};
        // 2026 ends in ISO week 53, which 2 January 2027 is in too.
        QTest::newRow("across the year's end")
            << QStringList{"2026-12-02", "2026-12-09", "2026-12-16", "2026-12-23", "2026-12-30", "2027-01-02"}
                   + days(QDate(2027, 1, 8), 7, 1)
            << QStringList{"2027-01-14", "2027-01-13", "2027-01-12", "2027-01-11", "2027-01-10", "2027-01-09",
                           "2027-01-08", "2027-01-02", "2026-12-23", "2026-12-16", "2026-12-09"};
        QTest::newRow("weeks apart")
            << QStringList{"2026-03-02", "2026-05-04", "2026-05-05", "2026-07-06", "2026-09-07", "2026-11-02"}
                   + days(QDate(2026, 11, 20), 7, 1)
            << QStringList{"2026-11-26", "2026-11-25", "2026-11-24", "2026-11-23", "2026-11-22", "2026-11-21",
                           "2026-11-20", "2026-11-02", "2026-09-07", "2026-07-06", "2026-05-05"};
        // The two rewrites of 5 November are newer than that day's copy.
        QTest::newRow("copies before rewrites")
            << QStringList{"2026-10-01 09:00:00"} + days(QDate(2026, 11, 1), 10, 1)
                   + QStringList{"2026-11-05 10:00:00", "2026-11-05 11:00:00"}
            << QStringList{"2026-11-10", "2026-11-09", "2026-11-08", "2026-11-07", "2026-11-06",
                           "2026-11-05 11:00:00", "2026-11-05 10:00:00", "2026-11-04", "2026-11-01",
                           "2026-10-01 09:00:00"};
    }

    void theRotationKeepsSevenDaysAndFourWeeks()
    {
        QFETCH(QStringList, taken);
        QFETCH(QStringList, kept);
        const QString path = freshFolder() + "/proba.mdb";
        reg::create(path);
        for (const QString& when : taken) {
            const QDateTime moment = QDateTime::fromString(when, "yyyy-MM-dd HH:mm:ss");
            if (moment.isValid())
                backup::takeBackupBeforeRewrite(path, moment);
            else
                backup::takeBackup(path, QDate::fromString(when, Qt::ISODate));
        }
        QCOMPARE(daysOf(backup::listBackups(path)), kept);
        QCOMPARE(filesWith(backup::folderFor(path), ".partial"), QStringList());
    }

    // The day's copy is taken once; a copy now replaces it.
    void aDayHasOneCopy_data()
    {
        QTest::addColumn<bool>("daily");
        QTest::newRow("once a day") << true;
        QTest::newRow("now") << false;
    }

    void aDayHasOneCopy()
    {
        QFETCH(bool, daily);
        const QString path = freshFolder() + "/proba.mdb";
        reg::create(path);
        const QDate day(2026, 12, 9);
        const QString first = backup::takeDailyBackup(path, day);
        QVERIFY(QFile::exists(first));
        reg::exec(path, morePersons(10));
        const QString second = daily ? backup::takeDailyBackup(path, day) : backup::takeBackup(path, day);
        QCOMPARE(second.isEmpty(), daily);
        QCOMPARE(backup::listBackups(path).size(), 1);
        QCOMPARE(sqliteValue(first, "SELECT count(*) FROM PODACI").toLongLong(), daily ? 7 : 17);
    }

    // Two registers of one name in different folders keep apart copies.
    void registersOfOneNameDoNotMix()
    {
        const QString folder = freshFolder();
        QDir().mkpath(folder + "/a");
        QDir().mkpath(folder + "/b");
        reg::create(folder + "/a/proba.mdb");
        reg::create(folder + "/b/proba.mdb");
        reg::exec(folder + "/b/proba.mdb", morePersons(5));
        backup::takeBackup(folder + "/a/proba.mdb", QDate(2026, 12, 9));
        backup::takeBackup(folder + "/b/proba.mdb", QDate(2026, 12, 9));
        const QList<backup::Copy> a = backup::listBackups(folder + "/a/proba.mdb");
        const QList<backup::Copy> b = backup::listBackups(folder + "/b/proba.mdb");
        QCOMPARE(a.size(), 1);
        QCOMPARE(b.size(), 1);
        QCOMPARE(sqliteValue(a.first().path, "SELECT count(*) FROM PODACI"), QString("7"));
        QCOMPARE(sqliteValue(b.first().path, "SELECT count(*) FROM PODACI"), QString("12"));
    }

    // Each restore sets the register as it was aside, under a name of its
    // own even when an earlier one was set aside in the same second, and
    // leaves the earlier ones as they were.
    void aRestoreSetsTheRegisterAside_data()
    {
        QTest::addColumn<int>("restores");
        QTest::addColumn<bool>("wal");
        QTest::newRow("once") << 1 << false;
        QTest::newRow("twice in one second") << 2 << false;
        QTest::newRow("three times in one second") << 3 << false;
        QTest::newRow("a register in WAL mode") << 1 << true;
    }

    void aRestoreSetsTheRegisterAside()
    {
        QFETCH(int, restores);
        QFETCH(bool, wal);
        const QString folder = freshFolder();
        const QString path = folder + "/proba.mdb";
        reg::create(path);
        const QString copy = backup::takeBackup(path, QDate(2026, 12, 9));
        if (wal)
            reg::exec(path, "PRAGMA journal_mode = WAL");
        const QDateTime now(QDate(2026, 12, 10), QTime(8, 30, 0));
        QMap<QString, QByteArray> setAside; // name: what the register held
        for (int i = 0; i < restores; ++i) {
            reg::exec(path, "INSERT INTO PODACI (ID, ID_DRZAVA, ID_GRAD, Ime, Prezime) VALUES (" + std::to_string(100 + i)
                                + ", 1, 1, 'Posle', 'Kopije')");
            const long long persons = reg::count(path);
            const QByteArray held = wal ? QByteArray() : reg::digest(path);
            const QString aside = backup::restoreBackup(path, copy, now);
            QVERIFY2(!setAside.contains(aside), qPrintable(aside));
            QVERIFY(aside.startsWith(path + ".before-restore-2026-12-10-083000"));
            QCOMPARE(reg::count(aside), persons);
            setAside.insert(aside, held.isEmpty() ? reg::digest(aside) : held);
            QCOMPARE(reg::count(path), 7);
            QCOMPARE(sqliteValue(path, "PRAGMA integrity_check"), QString("ok"));
            for (auto earlier = setAside.cbegin(); earlier != setAside.cend(); ++earlier)
                QCOMPARE(reg::digest(earlier.key()), earlier.value());
        }
        QCOMPARE(filesWith(folder, ".before-restore-").size(), restores);
        QCOMPARE(filesWith(folder, ".partial"), QStringList());
        QVERIFY(!QFile::exists(path + "-wal"));
    }

    // A restore that cannot be done says why, and leaves the register as it
    // was, nothing set aside and nothing beside it.
    void aRefusedRestoreLeavesTheRegister_data()
    {
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("says");
        QTest::newRow("a damaged copy") << "damaged" << "nije ispravna";
        QTest::newRow("a copy that is no register") << "text" << "ne može da se pročita";
        QTest::newRow("a copy that is not there") << "missing" << "ne postoji";
        QTest::newRow("a register being written") << "held" << "je u upotrebi; prvo zatvorite program za svakim stolom";
        QTest::newRow("a WAL register open elsewhere") << "open" << "je u upotrebi";
        QTest::newRow("a register on a server") << "server" << "pg_dump";
    }

    void aRefusedRestoreLeavesTheRegister()
    {
        QFETCH(QString, why);
        QFETCH(QString, says);
        const QString folder = freshFolder();
        const QString path = folder + "/proba.mdb";
        reg::create(path);
        reg::exec(path, morePersons(2000));
        QString copy = backup::takeBackup(path, QDate(2026, 12, 9));
        reg::exec(path, "DELETE FROM PODACI WHERE ID = 7");
        if (why == "damaged")
            damageAnIndex(copy);
        if (why == "text") {
            QFile file(copy);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, 'x'));
        }
        if (why == "missing")
            copy += ".gone";
        sqlite3* other = nullptr;
        if (why == "open") {
            reg::exec(path, "PRAGMA journal_mode = WAL");
            sqlite3_open_v2(QFile::encodeName(path).constData(), &other, SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_exec(other, "SELECT count(*) FROM PODACI", nullptr, nullptr, nullptr);
        }
        const QByteArray before = reg::digest(path);
        std::unique_ptr<reg::Hold> hold(why == "held" ? new reg::Hold(path, false) : nullptr);
        const QString said = message([&] {
            backup::restoreBackup(why == "server" ? "postgresql://ana@server/register" : path, copy);
        });
        hold.reset();
        sqlite3_close(other);
        QVERIFY2(said.contains(says), qPrintable(said));
        QCOMPARE(reg::digest(path), before);
        QCOMPARE(filesWith(folder, ".before-restore-"), QStringList());
        QCOMPARE(filesWith(folder, ".partial"), QStringList());
    }

    // A copy that cannot be made is a message, in the call or to the
    // background's callback, with no copy and nothing half-written left.
    void aCopyThatCannotBeMadeIsAMessage_data()
    {
        QTest::addColumn<QString>("why");
        QTest::addColumn<bool>("background");
        QTest::addColumn<QString>("says"); // "" for no failure at all
        for (bool background : {false, true}) {
            const char* how = background ? ", in the background" : "";
            QTest::addRow("a file where the data folder goes%s", how) << "data" << background
                                                                        << "je datoteka, a ne fascikla";
            QTest::addRow("a file where the register's folder goes%s", how) << "folder" << background
                                                                              << "je datoteka, a ne fascikla";
            QTest::addRow("a full disk%s", how) << "full" << background << "disk je pun";
            QTest::addRow("a damaged register%s", how) << "damaged" << background
                                                       << "nije ispravna (provera kaže:";
            QTest::addRow("a file that is no register%s", how) << "text" << background << "nije datoteka registra";
            QTest::addRow("a register that is not there%s", how) << "missing" << background << "ne postoji";
        }
        QTest::newRow("a register on a server") << "server" << false << "pg_dump";
        QTest::newRow("a register on a server, in the background") << "server" << true << "";
    }

    void aCopyThatCannotBeMadeIsAMessage()
    {
        QFETCH(QString, why);
        QFETCH(bool, background);
        QFETCH(QString, says);
        const QString folder = freshFolder();
        QString path = folder + "/proba.mdb";
        reg::create(path);
        reg::exec(path, morePersons(3000));
        if (why == "data") {
            QDir().mkpath(m_data);
            QFile file(m_data + "/kolvara");
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (why == "folder") {
            QDir().mkpath(backup::backupsFolder());
            QFile file(backup::folderFor(path));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (why == "damaged")
            damageAnIndex(path);
        if (why == "text") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Ime;Prezime\n");
        }
        if (why == "missing")
            path = folder + "/nema.mdb";
        if (why == "server")
            path = "postgresql://ana@server/register";
        const QByteArray before = QFile::exists(path) ? reg::digest(path) : QByteArray();
        // A full disk as a write sees it: no file may grow past 64 KiB.
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        if (why == "full") {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit full{64 * 1024, unlimited.rlim_max};
            setrlimit(RLIMIT_FSIZE, &full);
        }
        QString said;
        if (background) {
            std::promise<QString> failure;
            {
                backup::BackgroundBackup copying(path, [&](const QString& text) { failure.set_value(text); },
                                                 QDate(2026, 12, 9));
                said = failure.get_future().get();
            }
        } else {
            said = message([&] { backup::takeDailyBackup(path, QDate(2026, 12, 9)); });
        }
        setrlimit(RLIMIT_FSIZE, &unlimited);
        if (says.isEmpty())
            QCOMPARE(said, QString());
        else
            QVERIFY2(said.contains(says), qPrintable(said));
        if (why == "server")
            return;
        if (QFile::exists(path))
            QCOMPARE(reg::digest(path), before);
        if (QFileInfo(backup::folderFor(path)).isDir()) {
            QCOMPARE(backup::listBackups(path).size(), 0);
            QCOMPARE(filesWith(backup::folderFor(path), ".partial"), QStringList());
        }
    }

    // The background copy of a register is the day's copy, and once there
    // the next is none.
    void theBackgroundTakesTheDaysCopyOnce()
    {
        const QString path = freshFolder() + "/proba.mdb";
        reg::create(path);
        for (int time = 0; time < 2; ++time) {
            std::promise<QString> failure;
            backup::BackgroundBackup copying(path, [&](const QString& text) { failure.set_value(text); },
                                             QDate(2026, 12, 9));
            QCOMPARE(failure.get_future().get(), QString());
            QCOMPARE(daysOf(backup::listBackups(path)), QStringList{"2026-12-09"});
            reg::exec(path, "INSERT INTO PODACI (ID, ID_DRZAVA, ID_GRAD, Ime, Prezime) VALUES ("
                                + std::to_string(100 + time) + ", 1, 1, 'Posle', 'Kopije')");
        }
        QCOMPARE(sqliteValue(backup::listBackups(path).first().path, "SELECT count(*) FROM PODACI"), QString("7"));
    }

    // The command as a person runs it: REG stands for the register, COPY
    // for its copy of 5 December, LIST for what --list must print.
    void theCommand_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says"); // on either stream
        QTest::newRow("no register") << QStringList{} << 2 << "nedostaje ime datoteke ili registra";
        QTest::newRow("two registers") << QStringList{"REG", "REG"} << 2 << "previše imena";
        QTest::newRow("--list with --restore") << QStringList{"--list", "--restore", "COPY", "REG"} << 2
                                               << "--list i --restore ne mogu zajedno";
        QTest::newRow("a copy now") << QStringList{"REG"} << 0 << "Kopija registra";
        QTest::newRow("the list") << QStringList{"--list", "REG"} << 0 << "LIST";
        QTest::newRow("no copies yet") << QStringList{"--list", "REG.other"} << 0 << "još nema rezervnih kopija";
        QTest::newRow("a restore") << QStringList{"--restore", "COPY", "REG"} << 0 << ".before-restore-";
        QTest::newRow("a restore by the day") << QStringList{"--restore", "2026-12-05", "REG"} << 0
                                              << ".before-restore-";
        QTest::newRow("a restore of no copy") << QStringList{"--restore", "2026-11-30", "REG"} << 1 << "ne postoji";
        QTest::newRow("a register not there") << QStringList{"REG.other"} << 1 << "ne postoji";
        QTest::newRow("a register on a server") << QStringList{"postgresql://ana@server/register"} << 1 << "pg_dump";
    }

    void theCommand()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const QString path = freshFolder() + "/proba.mdb";
        reg::create(path);
        const QString older = backup::takeBackup(path, QDate(2026, 12, 1));
        reg::exec(path, morePersons(3));
        const QString copy = backup::takeBackup(path, QDate(2026, 12, 5));
        reg::exec(path, morePersons(6).replace(0, 0, "DELETE FROM PODACI WHERE ID >= 1000; "));
        for (QString& argument : arguments)
            argument.replace("REG", path).replace("COPY", copy);
        says.replace("LIST", QString("2026-12-05  %1  %2\n2026-12-01  %3  %4\n")
                                 .arg(QFileInfo(copy).size())
                                 .arg(copy)
                                 .arg(QFileInfo(older).size())
                                 .arg(older));
        QProcess command;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_data);
        environment.insert("LANGUAGE", "sr");
        command.setProcessEnvironment(environment);
        command.start(KOLVARA_BACKUP, arguments);
        QVERIFY(command.waitForFinished(60000));
        const QString out = QString::fromUtf8(command.readAllStandardOutput());
        const QString err = QString::fromUtf8(command.readAllStandardError());
        QCOMPARE(command.exitCode(), exitCode);
        QVERIFY2((out + err).contains(says), qPrintable(out + err));
        QCOMPARE(err.isEmpty(), exitCode == 0);
        if (QString(QTest::currentDataTag()).startsWith("a restore") && exitCode == 0)
            QCOMPARE(reg::count(path), 10);
        else
            QCOMPARE(reg::count(path), 13);
        if (QString(QTest::currentDataTag()) == "a copy now") {
            QString today;
            for (const backup::Copy& taken : backup::listBackups(path))
                if (taken.day == QDate::currentDate())
                    today = taken.path;
            QVERIFY(!today.isEmpty() && out.contains(today));
            QCOMPARE(sqliteValue(today, "SELECT count(*) FROM PODACI"), QString("13"));
        }
    }
};

QTEST_GUILESS_MAIN(BackupTest)
#include "BackupTest.moc"
