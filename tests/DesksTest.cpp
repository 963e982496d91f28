// Desks with rights of their own, over a line the window names: each kind
// of desk (reader, clerk, owner) is offered what its role may do and
// nothing else, a clerk changes persons with no right beyond reading the
// countries and cities, the line to the server is named as it is (a server
// that is not the one named is refused before any password is asked), and
// no password shows in any message or output. On a server only: the tests'
// cluster has the roles, their passwords and TLS.

#include "ADOConnection.h"
#include "ADOQuery.h"
#include "ConnectionString.h"
#include "WindowTest.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QPushButton>

using namespace window_test;
namespace reg = test_register;

namespace {

// The register's URI for role, at host (the tests' own URI: postgres at
// 127.0.0.1), with query after "?" if any.
QString as(const QString& role, const QString& host = QStringLiteral("127.0.0.1"), const QString& query = {})
{
    QString uri = reg::location(registerPath());
    uri.replace("://postgres@127.0.0.1", "://" + role + "@" + host);
    return query.isEmpty() ? uri : uri + "?" + query;
}

// The certificates the tests' cluster made: its own, and one that is not.
QString certificate(const QString& name)
{
    return qEnvironmentVariable("KOLVARA_TEST_CLUSTER").section(' ', 1) + "/" + name + ".crt";
}

QString printedBy(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAll());
}

// A sign beside the status line, by its name.
QLabel* sign(TForm1* form, const char* name)
{
    QLabel* label = form->StatusBar1->findChild<QLabel*>(name);
    Q_ASSERT(label);
    return label;
}

// What each kind of desk is granted, as README's "Several desks" says.
const char* grantsOf(const QString& role)
{
    if (role == "reader")
        return "GRANT SELECT ON drzave, gradovi, podaci, kolvara_stamp, kolvara_history TO reader";
    if (role == "clerk")
        return "GRANT SELECT ON drzave, gradovi, kolvara_stamp, kolvara_history TO clerk; "
               "GRANT SELECT, INSERT, UPDATE, DELETE ON podaci TO clerk";
    return "ALTER TABLE drzave OWNER TO owner; ALTER TABLE gradovi OWNER TO owner; ALTER TABLE podaci OWNER TO owner; "
           "ALTER TABLE kolvara_stamp OWNER TO owner; ALTER FUNCTION kolvara_count_change() OWNER TO owner; "
           "ALTER TABLE kolvara_writes OWNER TO owner; ALTER FUNCTION kolvara_changes() OWNER TO owner; "
           "ALTER TABLE kolvara_history OWNER TO owner; ALTER FUNCTION kolvara_record_change() OWNER TO owner";
}

} // namespace

class DesksTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        if (!reg::onServer())
            QSKIP("a server's roles and line");
        // The roles' passwords where libpq looks for them; no root
        // certificate of the desk's own unless a test names one.
        QFile passwords(m_home.filePath("pgpass"));
        QVERIFY(passwords.open(QIODevice::WriteOnly));
        for (const char* role : {"reader", "clerk", "owner"})
            passwords.write(QByteArray("*:*:*:") + role + ":" + role + " secret\n");
        passwords.close();
        passwords.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        qputenv("PGPASSFILE", passwords.fileName().toUtf8());
        qputenv("HOME", m_home.path().toUtf8());
        qunsetenv("PGSSLROOTCERT");
        qunsetenv("PGSSLMODE");
    }

    void init() { failOnWarnings(); }

    // A desk sees what its role may do before doing anything: a reader's
    // window offers no change and says so; a clerk and an owner save,
    // insert and delete persons.
    void eachDeskIsOfferedWhatItsRoleMay_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<bool>("changes");
        QTest::addColumn<std::string>("more"); // granted besides
        QTest::addColumn<bool>("keepsPlaces");
        QTest::newRow("reader") << "reader" << false << std::string() << false;
        QTest::newRow("clerk") << "clerk" << true << std::string() << false;
        QTest::newRow("clerk keeping places") << "clerk" << true
                                              << std::string("; GRANT INSERT, UPDATE, DELETE ON drzave, gradovi TO clerk")
                                              << true;
        QTest::newRow("owner") << "owner" << true << std::string() << true;
    }

    void eachDeskIsOfferedWhatItsRoleMay()
    {
        QFETCH(QString, role);
        QFETCH(bool, changes);
        QFETCH(std::string, more);
        QFETCH(bool, keepsPlaces);
        BoxWatcher boxes;
        auto form = openWindow(reg::Schema::Full, grantsOf(role) + more, as(role));
        // The countries' dialog: the counts for every desk, changes only for
        // one that may make them, and why not for the others.
        QStringList seen;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* list = dialog->findChild<QTreeWidget*>("PlacesList");
            seen << list->topLevelItem(0)->text(0) + " " + list->topLevelItem(0)->text(1);
            const auto* add = dialog->findChild<QPushButton*>("AddPlace");
            seen << QString::number(add->isEnabled()) << QString::number(dialog->findChild<QLabel*>("ReadOnlyNotice")->isVisible());
            QTest::keyClick(list, Qt::Key_Escape);
        });
        QTest::mouseClick(form->Button3, Qt::LeftButton);
        QCOMPARE(seen, (QStringList{"Crna Gora 2", QString::number(keepsPlaces), QString::number(!keepsPlaces)}));
        QCOMPARE(form->ADOQuery1->RecordCount(), 6);
        QCOMPARE(sign(form.get(), "RightsSign")->isVisible(), !changes);
        QCOMPARE(sign(form.get(), "RightsSign")->accessibleName(), QString("Samo čitanje"));
        for (TNavigateBtn button : {nbInsert, nbEdit, nbDelete})
            QCOMPARE(form->DBNavigator1->button(button)->isEnabled(), changes);
        QCOMPARE(form->DBEdit1->isReadOnly(), !changes);
        QCOMPARE(form->DBLookupComboBox1->isEnabled(), changes);
        if (!changes) {
            QCOMPARE(boxes.texts, QStringList());
            return;
        }
        QVERIFY(form->ADOQuery1->Locate("ID", 3, {}));
        click(form.get(), nbEdit);
        retype(form->DBEdit1, role);
        click(form.get(), nbPost);
        QCOMPARE(reg::value(registerPath(), "SELECT Ime FROM PODACI WHERE ID = 3"), role);
        click(form.get(), nbInsert);
        retype(form->DBEdit1, "Nova");
        retype(form->DBEdit2, role);
        retype(form->DBEdit3, "1");
        retype(form->DBEdit4, "1");
        click(form.get(), nbPost);
        QCOMPARE(reg::count(registerPath(), "Prezime = '" + role.toStdString() + "'"), 1);
        QVERIFY(form->ADOQuery1->Locate("ID", 5, {}));
        click(form.get(), nbDelete);
        QCOMPARE(reg::count(registerPath(), "ID = 5"), 0);
        QCOMPARE(boxes.texts, QStringList{"Obrisati osobu \u2068Јелена\u2069 \u2068Ђурић\u2069 (\u2068Жабљак\u2069, "
                                          "\u2068Crna Gora\u2069)?"});
    }

    // A right taken away while the window was open: the save says so in a
    // person's words, and nothing is written.
    void aRefusalForRightsIsSaidPlainly()
    {
        BoxWatcher boxes;
        auto form = openWindow(reg::Schema::Full, grantsOf("clerk"), as("clerk"));
        reg::exec(registerPath(), "REVOKE UPDATE ON podaci FROM clerk");
        QVERIFY(form->ADOQuery1->Locate("ID", 3, {}));
        click(form.get(), nbEdit);
        retype(form->DBEdit1, "Zabranjeno");
        click(form.get(), nbPost);
        QTRY_COMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts[0].contains("nema pravo da menja registar"), qPrintable(boxes.texts[0]));
        QCOMPARE(reg::value(registerPath(), "SELECT Ime FROM PODACI WHERE ID = 3"), QString("Marko"));
    }

    // The sign beside the status line names the line as it is; a server
    // whose certificate is not the one trusted is refused before any
    // password is asked.
    void theLineIsNamedAsItIs_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("rootCertificate");
        QTest::addColumn<QString>("shown"); // the sign, or a part of the refusal
        const QString elsewhere = "kolvara.test";
        QTest::newRow("this computer") << "this" << "" << "Server na ovom računaru";
        QTest::newRow("this computer, encrypted as the server offers") << "this, prefer" << "" << "Šifrovana veza";
        QTest::newRow("another computer, encrypted by default") << "elsewhere" << "" << "Šifrovana veza";
        QTest::newRow("another computer, its certificate checked") << "elsewhere" << "server" << "Šifrovana veza";
        QTest::newRow("another computer, in clear as the name asks")
            << "elsewhere&sslmode=disable" << "" << "Nešifrovana veza";
        QTest::newRow("another computer, not the server named") << "elsewhere" << "other" << "certificate verify failed";
    }

    void theLineIsNamedAsItIs()
    {
        QFETCH(QString, uri);
        QFETCH(QString, rootCertificate);
        QFETCH(QString, shown);
        const QString name = uri == "this"         ? as("clerk", "127.0.0.1", "sslmode=disable")
                           : uri == "this, prefer" ? as("clerk")
                                                   : as("clerk", "kolvara.test", "hostaddr=127.0.0.1" + uri.mid(9));
        if (!rootCertificate.isEmpty())
            qputenv("PGSSLROOTCERT", certificate(rootCertificate).toUtf8());
        const auto certificateGoes = qScopeGuard([] { qunsetenv("PGSSLROOTCERT"); });
        if (shown.contains("certificate")) {
            // The password would come from the question: none is asked.
            reg::create(registerPath());
            reg::exec(registerPath(), grantsOf("clerk"));
            TADOConnection connection(nullptr);
            connection.setConnectionString(ConnectionString::forRegister(name));
            int asked = 0;
            connection.askPassword = [&](const QString&, const QString&) -> std::optional<std::string> {
                ++asked;
                return std::string("clerk secret");
            };
            qputenv("PGPASSFILE", m_home.filePath("none").toUtf8());
            const auto passwordsBack = qScopeGuard([this] { qputenv("PGPASSFILE", m_home.filePath("pgpass").toUtf8()); });
            QString message;
            try {
                connection.Open();
            } catch (const Exception& refused) {
                message = QString::fromStdString(refused.Message());
            }
            QVERIFY2(message.contains(shown), qPrintable(message));
            QCOMPARE(asked, 0);
            return;
        }
        BoxWatcher boxes;
        auto form = openWindow(reg::Schema::Full, grantsOf("clerk"), name);
        QCOMPARE(sign(form.get(), "LineSign")->text(), shown);
        QCOMPARE(sign(form.get(), "LineSign")->accessibleName(), shown);
        QVERIFY(sign(form.get(), "LineSign")->isVisible());
        QCOMPARE(boxes.texts, QStringList());
    }

    // A command asks on its terminal for the password the server wants,
    // without showing it, and again when the server refuses it; a copy
    // between two servers asks each for its own.
    void commandsAskForAPasswordOnTheirTerminal_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("answers"); // one a question, in order
        QTest::newRow("a register made, the second password taken")
            << QString(KOLVARA_MAKE_REGISTER) + " --force --persons 3 " + as("desk")
            << QStringList{"guess", "desk secret"};
        QString other = reg::location(registerPath() + ".copy");
        other.replace("://postgres@", "://desk@");
        QTest::newRow("a copy between two servers, a password each")
            << QString(KOLVARA_COPY_REGISTER) + " --force " + as("reader") + " " + other
            << QStringList{"reader secret", "desk secret"};
    }

    void commandsAskForAPasswordOnTheirTerminal()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, answers);
        reg::create(registerPath());
        reg::exec(registerPath(), grantsOf("reader"));
        reg::exec(registerPath(), "DELETE FROM podaci WHERE id = 6"); // the sample's person without a city
        reg::create(registerPath() + ".copy");
        // Only the terminal gives passwords.
        qputenv("PGPASSFILE", m_home.filePath("none").toUtf8());
        const auto passwordsBack = qScopeGuard([this] { qputenv("PGPASSFILE", m_home.filePath("pgpass").toUtf8()); });
        QProcess terminal; // script(1) gives the command a terminal of its own
        terminal.setProcessChannelMode(QProcess::MergedChannels);
        terminal.start("script", {"-qec", command, "/dev/null"});
        QString printed;
        for (qsizetype asked = 1; asked <= answers.size(); ++asked) {
            while (printed.count("Lozinka za registar") < asked && terminal.waitForReadyRead(20000))
                printed += QString::fromUtf8(terminal.readAll());
            QCOMPARE(printed.count("Lozinka za registar"), asked);
            terminal.write(answers[asked - 1].toUtf8() + "\n");
        }
        terminal.closeWriteChannel();
        QVERIFY(terminal.waitForFinished(60000));
        printed += QString::fromUtf8(terminal.readAll());
        QVERIFY2(terminal.exitCode() == 0, qPrintable(printed));
        QCOMPARE(printed.count("Lozinka za registar"), answers.size());
        QCOMPARE(printed.contains("nije prihvatio lozinku"), answers.contains("guess"));
        for (const QString& answer : answers)
            QVERIFY2(!printed.contains(answer), qPrintable(printed));
        if (command.startsWith(KOLVARA_COPY_REGISTER)) {
            QCOMPARE(reg::count(registerPath() + ".copy"), reg::count(registerPath()));
            QVERIFY2(printed.contains("„" + as("reader") + "”"), qPrintable(printed)); // the name as given
        }
        else
            QCOMPARE(reg::count(registerPath()), 3);
    }

    // A password given in the register's name, however odd, shows in no
    // message, output or help: the window's, the commands' and their
    // errors. The name works, with a warning to keep it elsewhere.
    void passwordsShowNowhere_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("password"); // what must not show
        const QString server = reg::location(registerPath()).section('/', 0, 2).replace("postgres@", "");
        QTest::newRow("a broken escape") << server.section("//", 0, 0) + "//desk:pa%zzword@"
                                                + server.section("//", 1) + "/nowhere"
                                         << QStringList{"pa%zzword"};
        QTest::newRow("quotes and a slash") << server.section("//", 0, 0) + "//desk:it's\"/quoted@"
                                                   + server.section("//", 1) + "/nowhere"
                                            << QStringList{"it's\"", "quoted"};
        QTest::newRow("very long") << server.section("//", 0, 0) + "//desk:" + QString(3000, 'w') + "@"
                                          + server.section("//", 1) + "/nowhere"
                                   << QStringList{QString(40, 'w')};
        QTest::newRow("a setting") << server + "/nowhere?user=desk&password=hunter2&sslmode=bogus"
                                   << QStringList{"hunter2"};
    }

    void passwordsShowNowhere()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, password);
        QStringList printed;
        TADOConnection connection(nullptr);
        connection.setConnectionString(ConnectionString::forRegister(name));
        try {
            connection.Open();
            printed << "opened";
        } catch (const Exception& refused) {
            printed << QString::fromStdString(refused.Message());
        }
        const QString file = QDir(m_home.path()).filePath("copy.mdb");
        reg::create(file);
        printed << printedBy(KOLVARA_MAKE_REGISTER, {"--persons", "3", name})
                << printedBy(KOLVARA_COPY_REGISTER, {file, name}) << printedBy(KOLVARA_COPY_REGISTER, {name, file + "2"})
                << printedBy(KOLVARA_PROGRAM, {name, "--help"});
        for (const QString& text : printed) {
            QVERIFY2(!text.isEmpty() && !text.contains("opened"), qPrintable(text));
            for (const QString& part : password)
                QVERIFY2(!text.contains(part), qPrintable(text));
            QVERIFY2(!text.contains("?password") || text.contains("password=..."), qPrintable(text));
        }
        // The commands warn of the password on their command line.
        QVERIFY2(printed[1].contains("upozorenje: lozinka u imenu registra"), qPrintable(printed[1]));
    }
};

WINDOW_TEST_MAIN(DesksTest)
#include "DesksTest.moc"
