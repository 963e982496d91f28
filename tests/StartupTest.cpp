// Start-up as a person meets it: the program copied into a folder of its own,
// started from somewhere else, with a good register beside it or with none,
// an empty, damaged, foreign or read-only one. Each failing start shows
// exactly one message, never shows the main window, and ends with exit code 0.
//
// The test program is its own subject: started with --run-program it runs the
// program's real entry routine, with a watcher that reports every message box
// and window on standard output and then closes it, as a person would.

#include "Application.h"
#include "Exception.h"
#include "KolvaraMain.h"
#include "TestRegister.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

namespace reg = test_register;

namespace {

bool g_throwFromHandler = false;

// An object whose event handler fails, as a window's handler might.
class FailingHandler : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw Exception("A handler failed: the loop must go on.");
        return QObject::event(e);
    }
};

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// Runs in the child as soon as the application object exists.
void startWatching()
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                say("BOX: " + box->text().replace('\n', ' '));
                box->done(QMessageBox::Ok);
            } else if (w->inherits("TForm1") && !w->property("seen").toBool()) {
                w->setProperty("seen", true);
                say("WINDOW: " + w->windowTitle());
                if (g_throwFromHandler) {
                    static FailingHandler handler;
                    QCoreApplication::postEvent(&handler, new QEvent(QEvent::User));
                    QTimer::singleShot(300, w, [w] {
                        say("ALIVE");
                        w->close();
                    });
                } else {
                    QTimer::singleShot(0, w, [w] { w->close(); });
                }
            }
        }
    });
    timer->start(20);
    QTimer::singleShot(20000, [] {
        say("TIMEOUT");
        std::_Exit(3);
    });
}

struct Outcome {
    int exitCode = -1;
    QStringList boxes;
    QStringList windows;
    bool alive = false;
};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_goodFiles = 0;
    int m_badFiles = 0;

    // Copies this test program into folder and runs it there as the program,
    // from another working folder that holds a proba.mdb of its own.
    // As the administrator, whom folder permissions do not stop, asNobody
    // runs the program as the unprivileged user "nobody".
    Outcome start(const QString& folder, const QStringList& extra = {}, bool asNobody = false)
    {
        install(folder);
        return run(folder, extra, asNobody);
    }

    static void install(const QString& folder)
    {
        const QString program = folder + "/kolvara";
        QFile::remove(program);
        if (!QFile::copy(QCoreApplication::applicationFilePath(), program))
            qFatal("cannot copy the program");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                           | QFile::ExeOther);
    }

    Outcome run(const QString& folder, const QStringList& extra, bool asNobody)
    {
        const QString program = folder + "/kolvara";
        const QString elsewhere = m_dir.filePath("elsewhere");
        QDir().mkpath(elsewhere);
        reg::create(elsewhere + "/proba.mdb");
        reg::exec(elsewhere + "/proba.mdb", "DROP TABLE PODACI; DROP TABLE GRADOVI; DROP TABLE DRZAVE");

        QProcess process;
        process.setWorkingDirectory(elsewhere);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        if (asNobody && ::geteuid() == 0)
            process.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", program,
                                                 "--run-program"} + extra);
        else
            process.start(program, QStringList{"--run-program"} + extra);
        if (!process.waitForFinished(30000))
            process.kill();
        Outcome outcome;
        outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
            if (line.startsWith("BOX: "))
                outcome.boxes << line.mid(5);
            else if (line.startsWith("WINDOW: "))
                outcome.windows << line.mid(8);
            else if (line == "ALIVE")
                outcome.alive = true;
        }
        return outcome;
    }

private slots:
    void initTestCase()
    {
        // Other users may pass through (for the start as "nobody").
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                                | QFile::ExeOther);
    }

    void startsOnTheRegisterBesideIt_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << "plain";
        QTest::newRow("odd folder name") << "Moji podaci; x=1 Đorđe";
    }

    void startsOnTheRegisterBesideIt()
    {
        QFETCH(QString, folder);
        const QString path = m_dir.filePath(folder);
        QDir().mkpath(path);
        reg::create(path + "/proba.mdb");
        const Outcome outcome = start(path);
        QCOMPARE(outcome.boxes, QStringList());
        QCOMPARE(outcome.windows, QStringList{"Kolvara"});
        QCOMPARE(outcome.exitCode, 0);
        ++m_goodFiles;
    }

    void failedStartShowsOneMessageAndNoWindow_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("missing") << "missing" << "ne postoji";
        QTest::newRow("empty") << "empty" << "je prazna";
        QTest::newRow("not a database") << "text" << "nije datoteka registra";
        QTest::newRow("access file") << "jet" << "kolvara-import-jet --replace";
        QTest::newRow("truncated") << "truncated" << "malformed";
        QTest::newRow("random bytes") << "random" << "nije datoteka registra";
        QTest::newRow("locked by another program") << "locked" << "zaključao drugi program";
        QTest::newRow("read-only folder") << "read-only folder" << "fascikl";
        QTest::newRow("read-only") << "read-only" << "samo za čitanje";
        QTest::newRow("missing table") << "no cities" << "no such table: GRADOVI";
        QTest::newRow("missing column") << "no country name" << "NAZIV";
    }

    void failedStartShowsOneMessageAndNoWindow()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        const QString folder = m_dir.filePath("fail-" + kind);
        QDir().mkpath(folder);
        const QString path = folder + "/proba.mdb";
        QFile::remove(path);
        if (kind == "empty" || kind == "text" || kind == "jet" || kind == "random") {
            QByteArray content;
            if (kind == "random") {
                std::mt19937 random(7);
                for (int i = 0; i < 8192; ++i)
                    content.append(char(random()));
            }
            if (kind == "text")
                content = QByteArray("not a register\n").repeated(50);
            if (kind == "jet") {
                content = QByteArray(4096, '\0');
                content.replace(4, 16, QByteArray("Standard Jet DB\0", 16));
            }
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        } else if (kind == "truncated") {
            reg::create(path);
            QFile file(path);
            QVERIFY(file.resize(4096 * 2));
        } else if (kind == "read-only") {
            reg::create(path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
        } else if (kind == "locked" || kind == "read-only folder") {
            reg::create(path);
        } else if (kind == "no cities") {
            reg::create(path);
            reg::exec(path, "DROP TABLE PODACI; DROP TABLE GRADOVI");
        } else if (kind == "no country name") {
            reg::create(path);
            reg::exec(path, "ALTER TABLE DRZAVE RENAME COLUMN NAZIV TO IME");
        }
        const QByteArray before = reg::digest(path);
        std::unique_ptr<sqlite3, decltype(&sqlite3_close)> other(nullptr, &sqlite3_close);
        if (kind == "locked") {
            // Another program in the middle of a save: it holds the file for itself.
            sqlite3* db = nullptr;
            sqlite3_open(path.toUtf8().constData(), &db);
            other.reset(db);
            QCOMPARE(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        if (kind == "read-only folder") {
            install(folder);
            // The file itself may be written by anyone; its folder by no one.
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        }
        const Outcome outcome = kind == "read-only folder" ? run(folder, {}, true) : start(folder);
        if (other)
            sqlite3_exec(other.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        other.reset();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(outcome.boxes.size(), 1);
        QVERIFY2(outcome.boxes[0].contains(says), qPrintable(outcome.boxes[0]));
        QCOMPARE(outcome.windows, QStringList());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(reg::digest(path), before); // a failed start changes nothing
        QCOMPARE(QFile::exists(path), kind != "missing");
        ++m_badFiles;
    }

    void failingHandlerIsShownAndTheProgramGoesOn()
    {
        const QString folder = m_dir.filePath("handler");
        QDir().mkpath(folder);
        reg::create(folder + "/proba.mdb");
        const Outcome outcome = start(folder, {"--throw-from-handler"});
        QCOMPARE(outcome.boxes, QStringList{"A handler failed: the loop must go on."});
        QVERIFY(outcome.alive);
        QCOMPARE(outcome.exitCode, 0);
    }

    void cleanupTestCase()
    {
        qInfo("%d register files tried at start: %d opened, %d refused with one message, each unchanged",
              m_goodFiles + m_badFiles, m_goodFiles, m_badFiles);
    }

    void folderOfThePathKeepsItsSeparator()
    {
        QCOMPARE(ExtractFilePath("/opt/kolvara/bin/kolvara"), QString("/opt/kolvara/bin/"));
        QCOMPARE(ExtractFilePath("/kolvara"), QString("/"));
        QCOMPARE(ExtractFilePath("kolvara"), QString());
        QCOMPARE(ExtractFilePath("/a;b=c/d e/k"), QString("/a;b=c/d e/"));
    }
};

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--run-program") == 0) {
        g_throwFromHandler = argc > 2 && std::strcmp(argv[2], "--throw-from-handler") == 0;
        qAddPreRoutine(startWatching);
        return kolvaraMain(argc, argv);
    }
    QCoreApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartupTest.moc"
