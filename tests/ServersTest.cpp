// A register on servers as offices run them: behind a connection pooler
// that hands one server session to every client in turn (pgbouncer in
// transaction pooling), with a standby, and across a standby's promotion.
// Only on a server; the test makes a primary, its standby and a pooler of
// its own, apart from the tests' shared cluster.

#include "ADOConnection.h"
#include "ADOQuery.h"
#include "ConnectionString.h"
#include "Engine.h"
#include "Exception.h"
#include "Field.h"
#include "ServerConnection.h"
#include "TestRegister.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QUrl>

#include <memory>

namespace reg = test_register;
using test_register::messageOf;

namespace {

// A desk's list of persons on the register named uri.
struct Desk {
    QObject owner;
    TADOConnection* connection = new TADOConnection(&owner);
    TADOQuery* query = new TADOQuery(&owner);

    explicit Desk(const QString& uri, const std::string& sql = reg::PersonsStatement)
    {
        connection->setConnectionString(ConnectionString::forRegister(uri));
        query->setConnection(connection);
        query->SQL().Add(sql);
    }
    QString value(const char* field) const { return QString::fromStdString(query->FieldByName(field)->AsString()); }
    void rename(int id, const char* surname)
    {
        QVERIFY(query->Locate("ID", id, {}));
        query->Edit();
        query->FieldByName("Prezime")->setAsString(surname);
        query->Post();
    }
};

} // namespace

class ServersTest : public QObject {
    Q_OBJECT

    QString m_cluster; // the clusters' script
    int m_port = 0;    // the primary's; the standby's and the pooler's follow it
    QString m_primary, m_standby, m_pooler; // their folders, by port: one build's apart from another's
    const QString m_path = QStringLiteral("servers.mdb");

    void cluster(const QStringList& arguments)
    {
        QCOMPARE(QProcess::execute(m_cluster, arguments), 0);
    }
    // The register's URI on the server at port, and the same with more after "?".
    QString at(int port, const QString& more = {}) const
    {
        QUrl uri(reg::location(m_path));
        uri.setPort(port);
        if (!more.isEmpty())
            uri.setQuery(more);
        return uri.toString();
    }
    // postgresql://postgres@127.0.0.1:FIRST,127.0.0.1:SECOND/register?more
    QString either(int first, int second, const QString& more = {}) const
    {
        return at(second, more).replace(QStringLiteral("127.0.0.1:"), QStringLiteral("127.0.0.1:%1,127.0.0.1:").arg(first));
    }
    QString value(int port, const std::string& sql) const
    {
        db::ServerConnection bare(at(port).toStdString());
        const db::ServerResult result = bare.exec(sql);
        return result.rows() > 0 ? QString::fromUtf8(result.value(0, 0)) : QStringLiteral("(%1)").arg(bare.reason().c_str());
    }

private slots:
    void initTestCase()
    {
        if (!reg::onServer())
            QSKIP("a server's own");
        m_cluster = qEnvironmentVariable("KOLVARA_TEST_CLUSTER").section(' ', 0, 0);
        QUrl shared(qEnvironmentVariable("KOLVARA_TEST_SERVER"));
        m_port = shared.port() + 2400; // apart from the ports of the tests' other clusters
        m_primary = QStringLiteral("/tmp/kolvara-servers-%1").arg(m_port);
        m_standby = QStringLiteral("/tmp/kolvara-servers-%1").arg(m_port + 1);
        m_pooler = QStringLiteral("/tmp/kolvara-servers-%1").arg(m_port + 2);
        cluster({"start", m_primary, QString::number(m_port)});
        shared.setPort(m_port);
        qputenv("KOLVARA_TEST_SERVER", shared.toString().toUtf8());
        reg::create(m_path);
        cluster({"standby", m_standby, QString::number(m_port + 1), m_primary});
        cluster({"pooler", m_pooler, QString::number(m_port + 2), QString::number(m_port), "transaction"});
    }
    void cleanupTestCase()
    {
        if (m_cluster.isEmpty())
            return;
        for (const QString& folder : {m_pooler, m_standby, m_primary})
            QProcess::execute(m_cluster, {"stop", folder});
    }

    // Through a pooler that gives every client the one server session in
    // turn, a desk searches, saves and waits for a lock as on a server of
    // its own, its statements only reading and timed; and a program after
    // it on that session finds the server's own settings, and may write.
    void poolerPassesNoSettingOn()
    {
        const QString pooled = at(m_port + 2);
        Desk desk(pooled,
                  "SELECT current_setting('transaction_read_only') AS R, current_setting('lock_timeout') AS L, "
                  "current_setting('statement_timeout') AS S, current_setting('enable_memoize') AS M");
        desk.query->Open();
        QCOMPARE(desk.value("R") + " " + desk.value("L") + " " + desk.value("S") + " " + desk.value("M"),
                 QString("on 5s 15s off"));
        Desk persons(pooled);
        persons.query->Open();
        persons.rename(2, "Petrović-Ilić");
        QCOMPARE(reg::value(m_path, "SELECT Prezime FROM PODACI WHERE ID = 2"), QString("Petrović-Ilić"));
        {
            reg::Hold other(m_path, false, false); // person 1, not committed
            persons.connection->setBusyTimeout(1000);
            QElapsedTimer waited;
            waited.start();
            const QString message = messageOf([&] { persons.rename(1, "Jovanović"); });
            QVERIFY2(!message.isEmpty() && waited.elapsed() < 4000, qPrintable(message));
            persons.query->Cancel();
        }
        db::ServerConnection after(pooled.toStdString());
        const db::ServerResult shown = after.exec(
            "SELECT current_setting('default_transaction_read_only') || ' ' || current_setting('lock_timeout') || ' ' "
            "|| current_setting('statement_timeout') || ' ' || current_setting('enable_memoize')");
        QCOMPARE(QString(shown.value(0, 0)), QString("off 0 0 on"));
        QVERIFY(!after.exec("UPDATE PODACI SET Ime = Ime WHERE ID = 3").failed());
        // A statement the desk sends on its own is refused a write.
        Desk writer(pooled, "SELECT nextval(pg_get_serial_sequence('podaci', 'id')) AS N");
        QVERIFY(!messageOf([&] { writer.query->Open(); }).isEmpty());
    }

    // A search given up through the pooler is stopped on the server: the
    // next statement does not wait for it.
    void searchGivenUpIsStopped()
    {
        Desk desk(at(m_port + 2));
        desk.query->Open();
        db::Engine& engine = desk.connection->engine();
        QVERIFY(engine.startRead("SELECT pg_sleep(10), PODACI.ID FROM PODACI", {}) >= 0);
        QTest::qWait(200); // under way on the server
        QElapsedTimer took;
        took.start();
        engine.dropRead();
        desk.query->Refresh();
        QVERIFY2(took.elapsed() < 3000, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(value(m_port, "SELECT count(*) FROM pg_stat_activity WHERE query LIKE 'SELECT pg_sleep(10)%'"),
                 QString("0"));
    }

    // A timeout the database sets for itself is the one the desk keeps,
    // through the pooler too (which takes no startup options).
    void databaseTimeoutIsKept()
    {
        const QString timed = QStringLiteral("timed.mdb");
        reg::create(timed);
        QUrl uri(reg::location(timed));
        reg::exec(timed, "ALTER DATABASE \"" + uri.path().mid(1).toStdString() + "\" SET statement_timeout = 300");
        uri.setPort(m_port + 2);
        Desk desk(uri.toString(), "SELECT pg_sleep(1) AS Z");
        QElapsedTimer took;
        took.start();
        const QString message = messageOf([&] { desk.query->Open(); });
        QVERIFY2(message.contains("1 s") && took.elapsed() < 900, qPrintable(message));
        // Set in the name instead, the pooler refuses it: said so.
        uri.setQuery(QStringLiteral("options=-c%20statement_timeout%3D300"));
        Desk named(uri.toString());
        const QString refused = messageOf([&] { named.query->Open(); });
        QVERIFY2(refused.contains("options=...") && refused.contains("ALTER ROLE"), qPrintable(refused));
    }

    // What libpq says over several indented lines reaches a person as one.
    void serverTextIsOneLine()
    {
        QUrl nowhere(at(m_port));
        nowhere.setPort(1);
        Desk desk(nowhere.toString());
        const QString message = messageOf([&] { desk.query->Open(); });
        QVERIFY2(message.contains("Is the server running") && !message.contains('\t') && !message.contains('\n'),
                 qPrintable(message));
    }

    // A standby named first is a register this desk reads: no write is
    // offered; named with target_session_attrs=read-write, the primary
    // takes the saves.
    void standbyFirstOnlyReads()
    {
        QTRY_COMPARE_WITH_TIMEOUT(value(m_port + 1, "SELECT Prezime FROM PODACI WHERE ID = 2"),
                                  reg::value(m_path, "SELECT Prezime FROM PODACI WHERE ID = 2"), 10000);
        Desk reading(either(m_port + 1, m_port));
        reading.query->Open();
        QVERIFY(!reading.query->CanModify());
        const QString message = messageOf([&] { reading.query->Edit(); });
        QVERIFY2(message.contains("samo za čitanje"), qPrintable(message));
        Desk writing(either(m_port + 1, m_port, "target_session_attrs=read-write"));
        writing.query->Open();
        writing.rename(4, "Čolić-Kos");
        QCOMPARE(reg::value(m_path, "SELECT Prezime FROM PODACI WHERE ID = 4"), QString("Čolić-Kos"));
    }

    // The primary goes with a save its standby never received; the standby
    // is promoted and the pooler sends the desk there, keeping its
    // connection; another desk changes a person there once. The desk's list
    // is read again: it shows that change, and not the save the server lost.
    // (Last: the primary is gone after it.)
    void listIsReadAgainAfterAFailover()
    {
        Desk desk(at(m_port + 2));
        desk.query->Open();
        QVERIFY(!desk.query->mayHaveChanged(true));
        // A desk that names both servers types a surname meanwhile.
        Desk typing(either(m_port, m_port + 1, "target_session_attrs=read-write"));
        typing.query->Open();
        QVERIFY(typing.query->Locate("ID", 3, {}));
        typing.query->Edit();
        typing.query->FieldByName("Prezime")->setAsString("Horvat-Babić");
        QTRY_COMPARE_WITH_TIMEOUT(value(m_port + 1, "SELECT Prezime FROM PODACI WHERE ID = 4"), QString("Čolić-Kos"),
                                  10000);
        cluster({"pause", m_standby});
        desk.rename(7, "Izgubljeni");
        desk.query->Refresh(); // the list as the server has it, the save in it
        QVERIFY(!desk.query->mayHaveChanged(false));
        cluster({"crash", m_primary});
        cluster({"resume", m_standby});
        cluster({"promote", m_standby});
        cluster({"repoint", m_pooler, QString::number(m_port + 1)});
        QCOMPARE(value(m_port + 1, "UPDATE PODACI SET Prezime = 'Drugi' WHERE ID = 5 RETURNING Prezime"), QString("Drugi"));
        // The new primary hands out the lost save's transaction number
        // again: its stamp is the one the desk holds, but for the server.
        for (int tries = 0; tries < 2 && !messageOf([&] { desk.query->Refresh(); }).isEmpty(); ++tries) {
        }
        QVERIFY(desk.query->Locate("ID", 5, {}));
        QCOMPARE(desk.value("Prezime"), QString("Drugi"));
        QVERIFY(desk.query->Locate("ID", 7, {}));
        QCOMPARE(desk.value("Prezime"), QString("O'Brien"));
        // Its save finds the new primary, at once or after one message
        // that leaves the typing as it was.
        if (const QString lost = messageOf([&] { typing.query->Post(); }); !lost.isEmpty()) {
            QCOMPARE(typing.query->State(), dsEdit);
            QCOMPARE(typing.value("Prezime"), QString("Horvat-Babić"));
            QCOMPARE(messageOf([&] { typing.query->Post(); }), QString());
        }
        QCOMPARE(value(m_port + 1, "SELECT Prezime FROM PODACI WHERE ID = 3"), QString("Horvat-Babić"));
    }
};

QTEST_GUILESS_MAIN(ServersTest)
#include "ServersTest.moc"
