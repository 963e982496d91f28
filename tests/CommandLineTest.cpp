// The command lines of the program and of its commands, run as a person runs
// them: each answers --help and --version with 0, refuses a wrong use with 2
// and one line that names what was wrong, in the desktop's language, and
// writes nothing then. The window program answers them without a display.

#include "TestRegister.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace reg = test_register;

class CommandLineTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void answersAndRefusals_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says"); // a piece of what it prints, on either stream

        const QString window = KOLVARA_PROGRAM, make = KOLVARA_MAKE_REGISTER, import = KOLVARA_IMPORT_JET;
        const QString jet = QStringLiteral(KOLVARA_JET_SAMPLES "/fixture_jet4.mdb");
        QTest::newRow("program --version") << window << QStringList{"--version"} << "sr" << 0 << "kolvara 0.1\n";
        QTest::newRow("program --help") << window << QStringList{"--help"} << "en" << 0 << "[REGISTER]";
        QTest::newRow("program, unknown option") << window << QStringList{"--bogus"} << "sr" << 2
                                                 << "kolvara: nepoznata opcija „bogus”.\nZa uputstvo: kolvara --help\n";
        QTest::newRow("program, two registers") << window << QStringList{"a.mdb", "b.mdb"} << "sr" << 2
                                                << "previše imena: „b.mdb” je suvišno";
        QTest::newRow("program, empty name") << window << QStringList{""} << "sr" << 2 << "prazno";
        QTest::newRow("make --version") << make << QStringList{"--version"} << "sr" << 0
                                        << "kolvara-make-register 0.1\n";
        QTest::newRow("make, unknown option") << make << QStringList{"--frobnicate", "x.mdb"} << "en" << 2
                                              << "Unknown option 'frobnicate'";
        QTest::newRow("make, empty value") << make << QStringList{"--persons", "", "x.mdb"} << "sr" << 2
                                           << "uz --persons ide vrednost, a data je prazna";
        QTest::newRow("make, not a number") << make << QStringList{"--persons=12a", "x.mdb"} << "en" << 2
                                            << "--persons takes a number from 0 to 100000000";
        QTest::newRow("make, no file") << make << QStringList{"--persons=3"} << "sr" << 2 << "nedostaje ime";
        QTest::newRow("make, missing folder") << make << QStringList{"--persons=3", "nowhere/x.mdb"} << "sr" << 1
                                              << "fascikla „nowhere/” ne postoji";
        QTest::newRow("make, -- before a name") << make << QStringList{"--persons=3", "--", "-x.mdb"} << "en" << 0
                                                << "Wrote -x.mdb";
        QTest::newRow("import, contradicting") << import << QStringList{"--skip", "--set-aside", jet} << "sr" << 2
                                               << "--set-aside i --skip ne mogu zajedno";
        QTest::newRow("import, value where none") << import << QStringList{"--force=yes", jet} << "en" << 2
                                                  << "Unexpected value after '--force'";
        QTest::newRow("import, missing value") << import << QStringList{jet, "--codepage"} << "sr" << 2
                                               << "posle „--codepage” nedostaje vrednost";
        QTest::newRow("import, --replace and a target") << import << QStringList{"--replace", jet, "n.mdb"} << "sr"
                                                        << 2 << "ne navodi se NOVI";
        QTest::newRow("import, missing folder") << import << QStringList{jet, "nowhere/n.mdb"} << "en" << 1
                                                << "the folder “nowhere/” does not exist";
        // The desktop's language, English or Serbian; Serbian for one the
        // program does not have.
        for (const QString language : {"sr", "en", "de"})
            QTest::newRow(qPrintable("import speaks " + language))
                << import << QStringList{"--codepage", "x", "old.mdb"} << language << 2
                << (language == "en" ? "kolvara-import-jet: --codepage takes the number of a Windows code page"
                                     : "kolvara-import-jet: uz --codepage ide broj Windows kodne strane");
    }

    void answersAndRefusals()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, arguments);
        QFETCH(QString, language);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const QString folder = m_dir.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        QProcess process;
        process.setWorkingDirectory(folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LANGUAGE", language);
        // No display at all: the window program must not need one for these.
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(env);
        process.start(command, arguments);
        QVERIFY(process.waitForFinished(60000));
        const QString printed
            = QString::fromUtf8(process.readAllStandardOutput()) + QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(printed.contains(says), qPrintable(printed));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        // A refused use writes nothing; only the one that names "-x.mdb" after -- writes it.
        const QStringList written = QDir(folder).entryList(QDir::Files);
        QCOMPARE(written, arguments.contains("-x.mdb") ? QStringList{"-x.mdb"} : QStringList());
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
