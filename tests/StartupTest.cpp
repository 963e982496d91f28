// Start-up as a person meets it: the program copied into a folder of its own,
// started from somewhere else, with a good register beside it or with none,
// an empty, damaged, foreign or read-only one. Each failing start shows
// exactly one message, never shows the main window, and ends with exit code 0.
// The program installed under a prefix keeps the person's register in their
// data folder and makes it on the first start, when asked.
//
// The test program is its own subject: started with --run-program it runs the
// program's real entry routine, with a watcher that reports every message box
// and window on standard output and then closes it, as a person would.

#include "Application.h"
#include "Exception.h"
#include "KolvaraMain.h"
#include "Sqlite.h"
#include "TestRegister.h"
#include "Unit1.h"

#include <QCoreApplication>
#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace reg = test_register;

namespace {

bool g_throwFromHandler = false;
// The button that answers a question, by a piece of its caption.
QString g_answer;

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
                if (box->buttons().size() > 1) {
                    say("ASK: " + box->text().replace('\n', ' '));
                    for (QAbstractButton* button : box->buttons()) {
                        if (button->text().remove('&').contains(g_answer)) {
                            button->click();
                            return;
                        }
                    }
                    box->reject();
                    return;
                }
                say("BOX: " + box->text().replace('\n', ' '));
                box->done(QMessageBox::Ok);
            } else if (w->inherits("TForm1") && !w->property("seen").toBool()) {
                w->setProperty("seen", true);
                say("WINDOW: " + w->windowTitle());
                say("REGISTER: " + Form1->ADOConnection1->ConnectionString());
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
    QStringList questions;
    QStringList boxes;
    QStringList windows;
    QString connection;
    bool alive = false;
};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

    // The build installed under a temporary prefix, with this test program
    // in place of the window program; made once.
    QString installedPrefix()
    {
        const QString prefix = m_dir.filePath("prefix");
        if (!QFile::exists(prefix + "/bin/kolvara")) {
            QProcess install;
            install.start(KOLVARA_CMAKE, {"--install", KOLVARA_BUILD_DIR, "--prefix", prefix});
            if (!install.waitForFinished(120000) || install.exitCode() != 0)
                qFatal("cmake --install failed: %s", install.readAllStandardError().constData());
            StartupTest::install(prefix + "/bin");
        }
        return prefix;
    }

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

    Outcome run(const QString& folder, const QStringList& extra, bool asNobody,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        const QString program = folder + "/kolvara";
        const QString elsewhere = m_dir.filePath("elsewhere");
        QDir().mkpath(elsewhere);
        reg::create(elsewhere + "/proba.mdb");
        reg::exec(elsewhere + "/proba.mdb", "DROP TABLE PODACI; DROP TABLE GRADOVI; DROP TABLE DRZAVE");

        QProcess process;
        process.setWorkingDirectory(elsewhere);
        QProcessEnvironment env = environment;
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
            if (line.startsWith("ASK: "))
                outcome.questions << line.mid(5);
            else if (line.startsWith("BOX: "))
                outcome.boxes << line.mid(5);
            else if (line.startsWith("REGISTER: "))
                outcome.connection = line.mid(10);
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

    // The program installed under a prefix, as the package installs it
    // under /usr, started by a person whose data folder holds no register
    // yet: one question, and the register is made whole where the
    // base-directory rules put it; the next start opens it at once.
    void installedProgramMakesThePersonsRegisterOnce_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("dataHomeSet");
        QTest::addColumn<int>("persons"); // -1: no register made
        QTest::newRow("sample") << "primerom" << false << 1000;
        QTest::newRow("empty, in XDG_DATA_HOME") << "Prazan" << true << 0;
        QTest::newRow("not now") << "Ne sada" << false << -1;
    }

    void installedProgramMakesThePersonsRegisterOnce()
    {
        QFETCH(QString, answer);
        QFETCH(bool, dataHomeSet);
        QFETCH(int, persons);
        const QString bin = installedPrefix() + "/bin";
        const QString home = m_dir.filePath("home-" + QString(QTest::currentDataTag()).left(5));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.remove("XDG_DATA_HOME");
        if (dataHomeSet)
            env.insert("XDG_DATA_HOME", home + "/data");
        const QString own = (dataHomeSet ? home + "/data" : home + "/.local/share") + "/kolvara/proba.mdb";

        Outcome first = run(bin, {"--answer=" + answer}, false, env);
        QCOMPARE(first.questions.size(), 1);
        QVERIFY2(first.questions[0].contains(own), qPrintable(first.questions[0]));
        QCOMPARE(first.boxes, QStringList());
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(QFile::exists(own), persons >= 0);
        QCOMPARE(QDir(QFileInfo(own).path()).entryList(QDir::Files), persons >= 0 ? QStringList{"proba.mdb"} : QStringList());
        if (persons < 0) {
            QCOMPARE(first.windows, QStringList());
            return;
        }
        QCOMPARE(first.windows, QStringList{"Kolvara"});
        QVERIFY2(first.connection.contains("Data Source=" + own + ";"), qPrintable(first.connection));
        QCOMPARE(reg::count(own), persons);
        QVERIFY(reg::count(own, "TRUE", "GRADOVI") > 0);

        const Outcome second = run(bin, {"--answer=" + answer}, false, env);
        QCOMPARE(second.questions, QStringList());
        QCOMPARE(second.windows, QStringList{"Kolvara"});
        QCOMPARE(second.connection, first.connection);

        // A register named on the command line is the one opened, by the
        // path as given, relative to where the program was started.
        reg::create(m_dir.filePath("elsewhere/named.mdb"));
        const Outcome named = run(bin, {"named.mdb"}, false, env);
        QCOMPARE(named.questions, QStringList());
        QVERIFY2(named.connection.contains("Data Source=" + m_dir.filePath("elsewhere/named.mdb") + ";"),
                 qPrintable(named.connection));
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
        // The test's own options out, the program's arguments on.
        std::vector<char*> program{argv[0]};
        for (int i = 2; i < argc; ++i) {
            if (std::strcmp(argv[i], "--throw-from-handler") == 0)
                g_throwFromHandler = true;
            else if (std::strncmp(argv[i], "--answer=", 9) == 0)
                g_answer = QString::fromUtf8(argv[i] + 9);
            else
                program.push_back(argv[i]);
        }
        int count = int(program.size());
        program.push_back(nullptr);
        qAddPreRoutine(startWatching);
        return kolvaraMain(count, program.data());
    }
    QCoreApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartupTest.moc"
