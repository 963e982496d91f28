// Nothing is lost when the program dies. A copy of this test program runs the
// real program (entry, window and handlers) on a register and keeps saving,
// inserting and deleting persons, telling each write it begins and each write
// the program reported done; it is killed with SIGKILL at random moments,
// again and again on the same file. After every kill the file must pass the
// engine's integrity and foreign-key checks, hold every write reported done
// (or the one write begun and not yet reported, which may or may not have
// landed), and nothing half-written: each write sets a person's first name
// and surname to the same token in one statement, so a person whose two names
// differ would be half a write.
//
// The number of kills is 200, or KOLVARA_STRESS_KILLS.

#include "Application.h"
#include "Exception.h"
#include "KolvaraMain.h"
#include "TestRegister.h"
#include "Unit1.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace reg = test_register;

namespace {

quint32 g_seed = 1;

void say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// The child: once the window has loaded its list, write forever.
void drive()
{
    QTimer::singleShot(0, [] {
        if (!Form1 || !Form1->ADOQuery1->Active()) {
            drive(); // not shown yet
            return;
        }
        say("READY");
        QRandomGenerator random(g_seed);
        TDataSet* list = Form1->ADOQuery1;
        for (int n = 0;; ++n) {
            const std::string token = "T" + std::to_string(g_seed) + "x" + std::to_string(n);
            const int count = list->RecordCount();
            const int choice = int(random.bounded(10));
            try {
                if (choice < 3 || count < 5) {
                    say("BEGIN INSERT " + token);
                    list->Insert();
                    Form1->ADOQuery1Ime->setAsString(token);
                    Form1->ADOQuery1Prezime->setAsString(token);
                    Form1->ADOQuery1ID_DRZAVA->setAsInteger(1);
                    Form1->ADOQuery1ID_GRAD->setAsInteger(1 + int(random.bounded(3)));
                    list->Post();
                    // The saved person's key, from the rebuilt list.
                    list->Locate("Ime", QString::fromStdString(token), {});
                    say("DONE INSERT " + Form1->ADOQuery1ID->AsString() + " " + token);
                } else if (choice < 8) {
                    list->setRecNo(1 + int(random.bounded(count)));
                    const std::string id = Form1->ADOQuery1ID->AsString();
                    say("BEGIN EDIT " + id + " " + token);
                    list->Edit();
                    Form1->ADOQuery1Ime->setAsString(token);
                    Form1->ADOQuery1Prezime->setAsString(token);
                    list->Post();
                    say("DONE EDIT " + id + " " + token);
                } else {
                    list->setRecNo(1 + int(random.bounded(count)));
                    const std::string id = Form1->ADOQuery1ID->AsString();
                    say("BEGIN DELETE " + id);
                    try {
                        list->Delete();
                    } catch (const EAbort&) {
                        // the list's own step after the window's deletion
                    }
                    say("DONE DELETE " + id);
                }
            } catch (const std::exception& error) {
                say(std::string("FAILED ") + error.what());
                list->Cancel();
            }
        }
    });
}

// What the file must hold, from what the children reported.
struct Expected {
    QMap<QString, QString> names; // person ID -> the token last written to it
    QSet<QString> deleted;        // IDs reported deleted
};

} // namespace

class CrashTest : public QObject {
    Q_OBJECT

private slots:
    void killedAtAnyMomentLosesNothing()
    {
        QTemporaryDir dir;
        const QString program = dir.filePath("kolvara");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString path = dir.filePath("proba.mdb");
        reg::create(path);

        const int kills = qEnvironmentVariableIntValue("KOLVARA_STRESS_KILLS") > 0
                              ? qEnvironmentVariableIntValue("KOLVARA_STRESS_KILLS")
                              : 200;
        // The sample's person without a city breaks a reference from the start.
        const std::string references = "SELECT (SELECT count(*) FROM PODACI WHERE NOT EXISTS (SELECT 1 FROM GRADOVI "
                                       "WHERE GRADOVI.ID_DRZAVA = PODACI.ID_DRZAVA AND GRADOVI.ID_GRAD = PODACI.ID_GRAD))"
                                       " + (SELECT count(*) FROM GRADOVI WHERE NOT EXISTS (SELECT 1 FROM DRZAVE "
                                       "WHERE DRZAVE.ID = GRADOVI.ID_DRZAVA))";
        const QString orphans = reg::value(path, references);
        QRandomGenerator random(20261207);
        Expected expected;
        int writesChecked = 0, killed = 0, failures = 0;
        for (int round = 0; round < kills; ++round) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            child.setProcessEnvironment(env);
            child.start(program, {"--drive", QString::number(round + 1), path});
            QVERIFY(child.waitForStarted());
            QByteArray out;
            while (!out.contains("READY\n") && child.state() == QProcess::Running)
                if (child.waitForReadyRead(5000))
                    out += child.readAllStandardOutput();
                else
                    break;
            QVERIFY2(out.contains("READY\n"), out.constData());
            QThread::msleep(random.bounded(5, 120));
            child.kill();
            child.waitForFinished();
            killed += child.exitStatus() == QProcess::CrashExit;
            out += child.readAllStandardOutput();

            // Replay what this child said.
            QString begun; // the write begun and not reported done
            for (const QString& line : QString::fromUtf8(out).split('\n')) {
                const QStringList w = line.split(' ');
                if (w.value(0) == "BEGIN") {
                    begun = line;
                } else if (w.value(0) == "DONE") {
                    begun.clear();
                    ++writesChecked;
                    if (w.value(1) == "INSERT" || w.value(1) == "EDIT")
                        expected.names[w.value(2)] = w.value(3);
                    else if (w.value(1) == "DELETE")
                        expected.deleted.insert(w.value(2));
                } else if (w.value(0) == "FAILED") {
                    ++failures;
                }
            }

            if (!reg::onServer())
                QCOMPARE(reg::value(path, "PRAGMA integrity_check"), QString("ok"));
            QCOMPARE(reg::value(path, references), orphans);
            QCOMPARE(reg::count(path, "Ime LIKE 'T%' AND (Prezime IS DISTINCT FROM Ime)"), 0); // no half-written row

            // The write caught by the kill may have landed or not: take the
            // file's word for it, and only for it.
            const QStringList b = begun.split(' ');
            if (b.value(1) == "INSERT") {
                const QString id = reg::value(path, "SELECT ID FROM PODACI WHERE Ime = '" + b.value(2).toStdString() + "'");
                if (!id.isEmpty())
                    expected.names[id] = b.value(2);
            }
            if (b.value(1) == "EDIT" && reg::value(path, "SELECT Ime FROM PODACI WHERE ID = " + b.value(2).toStdString()) == b.value(3))
                expected.names[b.value(2)] = b.value(3);
            if (b.value(1) == "DELETE" && reg::count(path, "ID = " + b.value(2).toStdString()) == 0)
                expected.deleted.insert(b.value(2));

            QMap<QString, QString> held; // person ID -> first name, as the register holds them
            for (const QString& row : reg::column(path, "SELECT ID || ' ' || coalesce(Ime, '') FROM PODACI"))
                held[row.section(' ', 0, 0)] = row.section(' ', 1);
            for (auto it = expected.names.cbegin(); it != expected.names.cend(); ++it)
                if (!expected.deleted.contains(it.key()))
                    QCOMPARE(held.value(it.key()), it.value());
            for (const QString& id : std::as_const(expected.deleted))
                QVERIFY2(!held.contains(id), qPrintable(id));
        }
        QCOMPARE(failures, 0);
        qInfo("crash safety: %d kills (%d during work), %d reported writes checked", kills, killed, writesChecked);
        QVERIFY(writesChecked >= kills);
    }
};

int main(int argc, char* argv[])
{
    if (argc > 2 && std::strcmp(argv[1], "--drive") == 0) {
        g_seed = quint32(std::atoi(argv[2]));
        qAddPreRoutine(drive);
        // The program itself is started without arguments: it opens the
        // register beside it; on a server, the one named by the register's URI.
        const QByteArray named = argc > 3 ? reg::location(QString::fromUtf8(argv[3])).toUtf8() : QByteArray();
        int programArgc = reg::onServer() ? 2 : 1;
        char* programArgv[] = {argv[0], const_cast<char*>(named.constData()), nullptr};
        return kolvaraMain(programArgc, programArgv);
    }
    QCoreApplication app(argc, argv);
    CrashTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CrashTest.moc"
