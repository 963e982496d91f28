// The register's tools and a PostgreSQL server, run as a person runs them:
// the sample written onto a server, a register copied from the server into
// a file and back, whole or not at all, and rows the server refuses listed,
// set aside or left out as the Access import does, and an Access register
// brought straight onto a server. Runs on a server only.

#include "ServerConnection.h"
#include "Sqlite.h"
#include "TestRegister.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <future>
#include <string>

namespace reg = test_register;

namespace {

struct Run {
    int exitCode = -1;
    QString printed;
};

Run run(const QString& command, const QStringList& arguments)
{
    QProcess process;
    process.start(command, arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
}

// A file register written by another tool, without keys, with one person
// whose city is not there and one with an over-long name.
QString fileWithRefusedRows(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE DRZAVE (ID INTEGER, NAZIV TEXT); CREATE TABLE GRADOVI (ID_DRZAVA INTEGER, ID_GRAD "
                 "INTEGER, NAZIV TEXT); CREATE TABLE PODACI (ID INTEGER, ID_DRZAVA INTEGER, ID_GRAD INTEGER, Ime TEXT, "
                 "Prezime TEXT);"
                 "INSERT INTO DRZAVE VALUES (1, 'Srbija'); INSERT INTO GRADOVI VALUES (1, 1, 'Šabac');"
                 "INSERT INTO PODACI VALUES (1, 1, 1, 'Ana', 'O''Brien\\x'), (2, 1, 9, 'Bez', 'Grada'),"
                 " (3, 1, 1, 'Dug', printf('%.300c', 'x'))",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

// The first column of the first row sql gives in a register file.
long long numberIn(const QString& file, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    const long long number = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return number;
}

} // namespace

class CopyRegisterTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString server(const QString& name) { return reg::location(m_dir.filePath(name)); }

private slots:
    void initTestCase()
    {
        if (!reg::onServer())
            QSKIP("a server's own: run as CopyRegisterTestOnServer");
    }

    void sampleGoesOntoTheServerAndBackWhole()
    {
        const QString onServer = server("sample");
        reg::create(m_dir.filePath("sample")); // a database there, emptied below
        reg::exec(m_dir.filePath("sample"), "DROP SCHEMA public CASCADE; CREATE SCHEMA public");
        Run made = run(KOLVARA_MAKE_REGISTER, {"--persons", "2500", onServer});
        QCOMPARE(made.exitCode, 0);
        QCOMPARE(reg::count(m_dir.filePath("sample")), 2500);
        // Made, it has an empty history; a change is recorded.
        QCOMPARE(reg::value(m_dir.filePath("sample"), "SELECT count(*) FROM kolvara_history"), QString("0"));
        reg::exec(m_dir.filePath("sample"), "UPDATE podaci SET ime = 'Promenjena' WHERE id = 1");
        const QString recorded = "SELECT who || ' ' || kind || ' ' || row_id || ' ' || new_ime FROM kolvara_history ORDER BY id";
        QCOMPARE(reg::value(m_dir.filePath("sample"), recorded.toStdString()), QString("postgres U 1 Promenjena"));

        // Stamped the earlier way (one row every writer counted in), it is
        // stamped anew by the owner's schema step, its history kept.
        reg::exec(m_dir.filePath("sample"), "ALTER TABLE kolvara_stamp ADD COLUMN changes bigint; DROP TABLE kolvara_writes "
                                            "CASCADE; DROP TRIGGER kolvara_stamp ON podaci");
        QCOMPARE(run(KOLVARA_MAKE_REGISTER, {"--add-history", onServer}).exitCode, 0);
        QCOMPARE(reg::value(m_dir.filePath("sample"),
                            "SELECT count(*) FROM information_schema.columns WHERE table_name = 'kolvara_stamp' "
                            "AND column_name = 'changes'"),
                 QString("0"));
        // The persons' changes are counted by the history; the writers'
        // trigger is left for TRUNCATE, which the history does not see.
        QCOMPARE(reg::value(m_dir.filePath("sample"), "SELECT string_agg((tgtype & 60)::text, ',') FROM pg_trigger "
                                                      "WHERE tgname = 'kolvara_stamp' AND tgrelid = 'podaci'::regclass"),
                 QString("32"));
        reg::exec(m_dir.filePath("sample"), "UPDATE podaci SET ime = 'Opet' WHERE id = 1");
        QCOMPARE(reg::value(m_dir.filePath("sample"), "SELECT count(*) FROM kolvara_writes"), QString("0"));
        QCOMPARE(reg::value(m_dir.filePath("sample"), "SELECT count(*) FROM kolvara_history"), QString("2"));

        // A register there already: refused, unchanged, unless --force.
        const QByteArray before = reg::digest(m_dir.filePath("sample"));
        Run again = run(KOLVARA_MAKE_REGISTER, {"--persons", "5", onServer});
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.printed.contains("već postoji registar"), qPrintable(again.printed));
        QCOMPARE(reg::digest(m_dir.filePath("sample")), before);

        // Back into a file, and from that file onto the server again: the same rows.
        const QString file = m_dir.filePath("backup.mdb");
        QCOMPARE(run(KOLVARA_COPY_REGISTER, {onServer, file}).exitCode, 0);
        QCOMPARE(run(KOLVARA_COPY_REGISTER, {file, onServer}).exitCode, 1);
        Run forced = run(KOLVARA_COPY_REGISTER, {"--force", file, onServer});
        QCOMPARE(forced.exitCode, 0);
        QCOMPARE(reg::digest(m_dir.filePath("sample")), before);
        // The history went into the file and back with the rows, and the
        // copying itself is no change.
        QCOMPARE(numberIn(file, "SELECT count(*) FROM KOLVARA_HISTORY WHERE NEW_IME = 'Promenjena'"), 1LL);
        QCOMPARE(reg::column(m_dir.filePath("sample"), recorded.toStdString()),
                 (QStringList{"postgres U 1 Promenjena", "postgres U 1 Opet"}));
        // New persons are numbered after the copied ones.
        reg::exec(m_dir.filePath("sample"), "INSERT INTO podaci (id_drzava, id_grad, ime) VALUES (1, 1, 'Nova')");
        QCOMPARE(reg::value(m_dir.filePath("sample"), "SELECT id FROM podaci WHERE ime = 'Nova'"), QString("2501"));
    }

    // A desk writes all through the copy; each of its commits adds a city
    // and a person in it and deletes the ones it added before, so every
    // moment holds the same number of each and every person's city. Many
    // cities make their reading long enough for many commits to fall
    // between the tables' reads.
    void copyReadsOneMomentWhileADeskWrites()
    {
        const QString name = m_dir.filePath("busy");
        reg::create(name);
        reg::exec(name, "DELETE FROM podaci WHERE id = 6;"
                        "INSERT INTO gradovi SELECT 3, g, 'Grad ' || g FROM generate_series(100, 40099) g");
        const long long persons = reg::count(name) + 1, cities = reg::count(name, "TRUE", "gradovi") + 1;
        std::atomic<bool> copying{true};
        std::atomic<int> commits{0};
        auto desk = std::async(std::launch::async, [&]() -> std::string {
            db::ServerConnection connection(reg::location(name).toStdString());
            std::string failure;
            for (int city = 1000; copying && failure.empty() && city < 1000000; ++city) {
                const std::string added = std::to_string(city), gone = std::to_string(city - 1);
                const db::ServerResult result = connection.exec(
                    ("BEGIN; INSERT INTO gradovi VALUES (1, " + added + ", 'Novi');"
                                 "INSERT INTO podaci (id_drzava, id_grad, ime) VALUES (1, " + added + ", 'Nova');"
                                 "DELETE FROM podaci WHERE id_drzava = 1 AND id_grad = " + gone + ";"
                                 "DELETE FROM gradovi WHERE id_drzava = 1 AND id_grad = " + gone + "; COMMIT"));
                if (!result.failed())
                    ++commits;
                else
                    failure = connection.reason();
            }
            return failure;
        });
        while (commits == 0 && desk.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        }
        const int before = commits;
        const QString file = m_dir.filePath("busy.mdb");
        const Run copied = run(KOLVARA_COPY_REGISTER, {server("busy"), file});
        const int during = commits - before;
        copying = false;
        QCOMPARE(QString::fromStdString(desk.get()), QString());
        QVERIFY2(copied.exitCode == 0, qPrintable(copied.printed));
        QVERIFY2(during > 20, qPrintable(QString::number(during)));
        QCOMPARE(numberIn(file, "SELECT count(*) FROM PODACI"), persons);
        QCOMPARE(numberIn(file, "SELECT count(*) FROM GRADOVI"), cities);
        QCOMPARE(numberIn(file, "SELECT count(*) FROM PODACI p WHERE NOT EXISTS (SELECT 1 FROM GRADOVI g "
                                "WHERE g.ID_DRZAVA = p.ID_DRZAVA AND g.ID_GRAD = p.ID_GRAD)"),
                 0);
    }

    // An Access register straight onto a server: the same rows as into a
    // file, the rows set aside included.
    void accessRegisterGoesOntoTheServer()
    {
        const QString access = QStringLiteral(KOLVARA_JET_SAMPLES "/fixture_jet4.mdb");
        const QString file = m_dir.filePath("access.mdb");
        QCOMPARE(run(KOLVARA_IMPORT_JET, {"--set-aside", access, file}).exitCode, 0);
        reg::create(m_dir.filePath("access"));
        reg::exec(m_dir.filePath("access"), "DROP SCHEMA public CASCADE; CREATE SCHEMA public");
        const Run imported = run(KOLVARA_IMPORT_JET, {"--set-aside", access, server("access")});
        QCOMPARE(imported.exitCode, 0);
        sqlite3* db = nullptr;
        sqlite3_open(file.toUtf8().constData(), &db);
        for (const char* table : {"PODACI", "GRADOVI", "DRZAVE", "PODACI_SET_ASIDE"}) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(db, (std::string("SELECT count(*) FROM ") + table).c_str(), -1, &st, nullptr);
            sqlite3_step(st);
            const long long inFile = sqlite3_column_int64(st, 0);
            sqlite3_finalize(st);
            QCOMPARE(reg::count(m_dir.filePath("access"), "TRUE", table), inFile);
        }
        sqlite3_close(db);
    }

    void rowsTheServerRefusesAreNeverDroppedSilently_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("persons");  // on the server afterwards; -1 for no register
        QTest::addColumn<int>("setAside");
        QTest::newRow("listed") << "" << 1 << -1 << 0;
        QTest::newRow("left out") << "--skip" << 3 << 1 << 0;
        QTest::newRow("set aside") << "--set-aside" << 0 << 1 << 2;
    }

    void rowsTheServerRefusesAreNeverDroppedSilently()
    {
        QFETCH(QString, option);
        QFETCH(int, exitCode);
        QFETCH(int, persons);
        QFETCH(int, setAside);
        const QString name = "refused-" + QString(QTest::currentDataTag()).left(4);
        reg::create(m_dir.filePath(name));
        reg::exec(m_dir.filePath(name), "DROP SCHEMA public CASCADE; CREATE SCHEMA public");
        const QString file = fileWithRefusedRows(m_dir.filePath(name + ".mdb"));
        QStringList arguments{file, server(name)};
        if (!option.isEmpty())
            arguments.prepend(option);
        const Run copied = run(KOLVARA_COPY_REGISTER, arguments);
        QCOMPARE(copied.exitCode, exitCode);
        QVERIFY2(copied.printed.contains("PODACI ID=2: njegovog grada ID_DRZAVA=1, ID_GRAD=9 nema u GRADOVI"),
                 qPrintable(copied.printed));
        QVERIFY2(copied.printed.contains("PODACI ID=3: Prezime ima 300 znakova"), qPrintable(copied.printed));
        const QString tables = reg::value(m_dir.filePath(name), "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'");
        if (persons < 0) {
            QCOMPARE(tables, QString("0"));
            return;
        }
        QCOMPARE(reg::count(m_dir.filePath(name)), persons);
        QCOMPARE(reg::value(m_dir.filePath(name), "SELECT prezime FROM podaci WHERE id = 1"), QString("O'Brien\\x"));
        if (setAside)
            QCOMPARE(reg::count(m_dir.filePath(name), "TRUE", "podaci_set_aside"), setAside);
    }
};

QTEST_GUILESS_MAIN(CopyRegisterTest)
#include "CopyRegisterTest.moc"
