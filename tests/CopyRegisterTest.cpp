// The register's tools and a PostgreSQL server, run as a person runs them:
// the sample written onto a server, a register copied from the server into
// a file and back, whole or not at all, and rows the server refuses listed,
// set aside or left out as the Access import does, and an Access register
// brought straight onto a server. Runs on a server only.

#include "TestRegister.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

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
        // New persons are numbered after the copied ones.
        reg::exec(m_dir.filePath("sample"), "INSERT INTO podaci (id_drzava, id_grad, ime) VALUES (1, 1, 'Nova')");
        QCOMPARE(reg::value(m_dir.filePath("sample"), "SELECT id FROM podaci WHERE ime = 'Nova'"), QString("2501"));
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
