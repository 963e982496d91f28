// Persons brought in from a list: files as people and other programs write
// them, each previewed truthfully and written as previewed; the export's
// lists coming back as the same persons; a cancel or a kill leaving the
// register as it was. On a file, and on a server as PersonsImportTestOnServer.

#include "ADOConnection.h"
#include "ConnectionString.h"
#include "ListFile.h"
#include "PersonsImport.h"
#include "TestRegister.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace reg = test_register;

namespace {

// The persons beyond the sample's seven, as the register holds them.
QString added(const QString& path)
{
    return reg::column(path, "SELECT Ime || '|' || coalesce(Prezime, '') || '|' || ID_DRZAVA || '/' || ID_GRAD "
                             "FROM PODACI WHERE ID > 7 ORDER BY ID")
        .join(QStringLiteral("; "));
}

QString summary(const ImportPlan& plan)
{
    QString text = QStringLiteral("rows %1 new %2 there %3").arg(plan.rows).arg(plan.newPersons).arg(plan.alreadyThere);
    for (const UnknownPlace& place : plan.unknownPlaces)
        text += QStringLiteral(" unknown %1").arg(place.name);
    for (const ImportRefusal& refusal : plan.refused)
        text += QStringLiteral(" refused %1: %2").arg(refusal.line).arg(refusal.reason);
    return text;
}

// Runs a command quietly; its exit code.
int run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

struct Desk {
    TADOConnection connection;
    explicit Desk(const QString& path)
    {
        connection.setConnectionString(ConnectionString::forFile(reg::location(path)));
        connection.Open();
    }
};

} // namespace

class PersonsImportTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

    QString listFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("the list could not be written");
        return file.fileName();
    }

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(".*"));
        m_path = m_dir.filePath(QStringLiteral("proba.mdb"));
        reg::create(m_path);
    }

    // Each list previewed, then written: the preview says what is written,
    // and a name reaches the register letter for letter, whatever it holds.
    void listsAreWrittenAsPreviewed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("addPlaces");
        QTest::addColumn<QString>("preview");
        QTest::addColumn<QString>("written");
        const QByteArray long255(255, 'a'), long256(256, 'a');
        QTest::newRow("a line break in quotes")
            << QByteArray("Ime,Prezime,Grad\r\n\"Ana\",\"Pe\r\ntrović\",\"Niš\"\r\nIvo,Ivić,Zagreb\r\n") << false
            << "rows 2 new 2 there 0" << "Ana|Pe\r\ntrović|1/3; Ivo|Ivić|2/1";
        QTest::newRow("tabs and backslashes, and what reads as NULL")
            << QByteArray("Ime,Prezime,Grad\n\"A\tb\",\"C:\\dir\\N\",Niš\n\\N,\\.,Niš\n") << false
            << "rows 2 new 2 there 0" << "A\tb|C:\\dir\\N|1/3; \\N|\\.|1/3";
        QTest::newRow("semicolons, letters compared as in a search")
            << QByteArray("Ime;Prezime;Država;Grad\nMarko;Marković;SRBIJA;beograd\n") << false
            << "rows 1 new 1 there 0" << "Marko|Marković|1/1";
        QTest::newRow("Windows-1250")
            << QByteArray("Ime;Grad\nPetar;\x8A" "abac\n") << false << "rows 1 new 1 there 0" << "Petar||1/2";
        QTest::newRow("a byte-order mark")
            << QByteArray("\xEF\xBB\xBFIme,Grad\nAna,Beograd\n") << false << "rows 1 new 1 there 0" << "Ana||1/1";
        QTest::newRow("apostrophes and what looks like SQL")
            << QByteArray("Ime,Prezime,Grad\nSeán,O'Brien,Podgorica\n\"x'); DELETE FROM PODACI; --\",\"a\"\"b\",Niš\n")
            << false << "rows 2 new 1 there 1"
            << "x'); DELETE FROM PODACI; --|a\"b|1/3";
        QTest::newRow("255 letters and 256")
            << QByteArray("Ime,Grad\n" + long255 + ",Niš\n" + long256 + ",Niš\n") << false
            << "rows 2 new 1 there 0 refused 3: ime, prezime ili naziv mesta je duži od 255 znakova"
            << QString(long255) + "||1/3";
        QTest::newRow("what the export kept from running as a formula")
            << QByteArray("Ime,Prezime,Grad\n\"'=Ana\",\"'+381\",Niš\n\"'x\",\"=1+1\",Niš\n") << false
            << "rows 2 new 2 there 0" << "=Ana|+381|1/3; 'x|=1+1|1/3";
        QTest::newRow("empty lines and an empty first name")
            << QByteArray("Ime,Grad\n\n,Niš\nAna,Niš\n\n") << false << "rows 2 new 1 there 0 refused 3: ime je prazno"
            << "Ana||1/3";
        QTest::newRow("a title row only") << QByteArray("First name,Surname,City\r\n") << false
                                          << "rows 0 new 0 there 0" << "";
        QTest::newRow("an unknown city, set aside")
            << QByteArray("Ime,Država,Grad\nAna,Srbija,Novi Sad\nIvo,Srbija,novi sad\nMara,,Niš\n") << false
            << "rows 3 new 1 there 0 unknown Novi Sad refused 2: grada „Novi Sad” (Srbija) nema u registru refused 3: "
               "grada „novi sad” (Srbija) nema u registru"
            << "Mara||1/3";
        QTest::newRow("an unknown country and city, added")
            << QByteArray("First name,Country,City\nAna,Slovenija,Ljubljana\nIvo,slovenija,LJUBLJANA\n") << true
            << "rows 2 new 2 there 0 unknown Slovenija unknown Ljubljana" << "Ana||4/4; Ivo||4/4";
        QTest::newRow("the window's titles: numbers under country and city")
            << QByteArray("broj osobe,država,grad,ime,prezime\n1,2,2,Nada,Nadić\n2,2,9,Ivo,Ivić\n") << false
            << "rows 2 new 1 there 0 refused 3: grada broj 9 nema u toj državi" << "Nada|Nadić|2/2";
        // Shared texts in runs, a reading aid, a formula's value, cells
        // without their places, and the first sheet not the first part.
        QFile workbook(KOLVARA_LISTS "/other-tools.xlsx");
        QVERIFY(workbook.open(QIODevice::ReadOnly));
        QTest::newRow("a workbook of another program")
            << workbook.readAll() << false << "rows 2 new 2 there 0" << "Petar |Perić|2/2; Iva||1/3";
        QTest::newRow("a city of no country named, and one of several")
            << QByteArray("Ime,Grad\nAna,Đakovo\nIvo,Atlantida\n") << false
            << "rows 2 new 1 there 0 refused 3: grada „Atlantida” nema u registru, a država nije navedena"
            << "Ana||2/2";
    }

    void listsAreWrittenAsPreviewed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, addPlaces);
        QFETCH(QString, preview);
        QFETCH(QString, written);
        const bool workbook = bytes.startsWith("PK");
        list_import::ListFile list = list_import::readListFile(listFile(workbook ? "list.xlsx" : "list.csv", bytes));
        const ImportColumns columns = PersonsImport::columnsOf(list);
        Desk desk(m_path);
        PersonsImport import(desk.connection, std::move(list), columns);
        const ImportChoices choices{addPlaces, false};
        QCOMPARE(summary(import.plan(choices)), preview);
        QCOMPARE(added(m_path), QString()); // a preview writes nothing
        QCOMPARE(summary(import.write(choices)), preview);
        QCOMPARE(added(m_path), written);
        // The history holds each person as written, all by this one desk.
        QCOMPARE(reg::column(m_path, "SELECT NEW_IME || '|' || coalesce(NEW_PREZIME, '') || '|' || NEW_ID_DRZAVA "
                                     "|| '/' || NEW_ID_GRAD FROM KOLVARA_HISTORY WHERE TBL = 'PODACI' AND KIND = 'I' "
                                     "AND ROW_ID > 7 ORDER BY ROW_ID")
                     .join(QStringLiteral("; ")),
                 written);
        QCOMPARE(reg::value(m_path, "SELECT count(DISTINCT coalesce(WHO, '') || '|' || coalesce(APP, '')) "
                                    "FROM KOLVARA_HISTORY WHERE ROW_ID > 7 OR TBL <> 'PODACI'"),
                 QString(written.isEmpty() ? "0" : "1"));
    }

    // Files that are no list are refused in words, and nothing is written.
    void whatIsNoListIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("a binary file") << "list.csv" << QByteArray("SQLite format 3\0\x10\x00", 19)
                                       << "datoteka nije tekst (CSV) nego binarna";
        QTest::newRow("no first name") << "list.csv" << QByteArray("Name,Town\nAna,Niš\n")
                                       << "naslovi u njoj: „Name”, „Town”";
        QTest::newRow("neither UTF-8 nor Windows-1250") << "list.csv" << QByteArray("Ime\n\x81\x83\n")
                                                        << "nije UTF-8, a ni Windows-1250";
        QTest::newRow("said to be UTF-8, and not") << "list.csv" << QByteArray("Ime\n\x8A" "abac\n")
                                                   << "nije zapisana u UTF-8";
        QTest::newRow("a quote never closed") << "list.csv" << QByteArray("Ime\n\"Ana\n")
                                              << "navodnik otvoren u redu 2 nije zatvoren";
        QTest::newRow("a workbook that is none") << "list.xlsx" << QByteArray("Ime\nAna\n")
                                                 << "to nije Excel radna sveska";
        QTest::newRow("a workbook under another name") << "list.csv" << QByteArray("PK\x03\x04rest")
                                                       << "uvozi pod imenom koje se završava na .xlsx";
    }

    void whatIsNoListIsRefused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const std::optional<list_import::Encoding> told
            = QString(QTest::currentDataTag()).startsWith("said") ? std::optional(list_import::Encoding::Utf8)
                                                                  : std::nullopt;
        const QString said = reg::messageOf([&] {
            PersonsImport::columnsOf(list_import::readListFile(listFile(name, bytes), told));
        });
        QVERIFY2(said.contains(message), qPrintable(said));
    }

    // The export's lists of three searches, as CSV and as a workbook, come
    // back into a register without persons as the same persons; the same
    // list again is all there already.
    void exportedListsComeBackAsTheSamePersons()
    {
        const QString persons = "SELECT p.Ime || '|' || coalesce(p.Prezime, '') || '|' || d.NAZIV || '|' || g.NAZIV "
                                "FROM PODACI p JOIN DRZAVE d ON d.ID = p.ID_DRZAVA JOIN GRADOVI g "
                                "ON g.ID_DRZAVA = p.ID_DRZAVA AND g.ID_GRAD = p.ID_GRAD ORDER BY 1";
        const QStringList before = reg::column(m_path, persons.toStdString());
        for (const QString& format : {QStringLiteral("csv"), QStringLiteral("xlsx")}) {
            QStringList lists;
            for (const QStringList& search : {QStringList{"--drzava", "Srbija"}, QStringList{"--drzava", "Hrvatska"},
                                              QStringList{"--drzava", "Crna"}}) {
                lists << m_dir.filePath(search.last() + "." + format);
                QCOMPARE(run(KOLVARA_EXPORT, search + QStringList{"--force", reg::location(m_path), lists.last()}), 0);
            }
            reg::exec(m_path, "DELETE FROM PODACI");
            for (const QString& list : lists)
                QCOMPARE(run(KOLVARA_IMPORT_LIST, {reg::location(m_path), list}), 0);
            QCOMPARE(reg::column(m_path, persons.toStdString()), before);
            QProcess again;
            again.start(KOLVARA_IMPORT_LIST, {reg::location(m_path), lists.first()});
            QVERIFY(again.waitForFinished());
            QCOMPARE(again.exitCode(), 0);
            QVERIFY2(again.readAllStandardOutput().contains("Upisane nove osobe: 0."), format.toUtf8());
            QCOMPARE(reg::column(m_path, persons.toStdString()), before);
        }
    }

    // A cancel, and a kill of the program halfway through 100,000 persons,
    // leave the register as it was.
    void stoppedHalfwayLeavesNothing()
    {
        QByteArray bytes = "Ime,Prezime,Grad\n";
        for (int i = 0; i < 100000; ++i)
            bytes += "Osoba" + QByteArray::number(i) + ",Prezime,Niš\n";
        const QString path = listFile("many.csv", bytes);
        {
            Desk desk(m_path);
            list_import::ListFile list = list_import::readListFile(path);
            PersonsImport import(desk.connection, list, PersonsImport::columnsOf(list));
            long long told = 0;
            QVERIFY(reg::messageOf([&] {
                        import.write({}, [&](long long done, long long) { return (told = done) < 3000; });
                    }) != QString());
            QCOMPARE(told, 3000LL);
        }
        QCOMPARE(reg::count(m_path), 7LL);
        const pid_t child = ::fork();
        if (child == 0) {
            Desk desk(m_path);
            list_import::ListFile list = list_import::readListFile(path);
            PersonsImport import(desk.connection, list, PersonsImport::columnsOf(list));
            import.write({}, [](long long done, long long) {
                if (done == 5000)
                    ::kill(::getpid(), SIGKILL);
                return true;
            });
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QCOMPARE(reg::count(m_path), 7LL);
    }
};

QTEST_GUILESS_MAIN(PersonsImportTest)
#include "PersonsImportTest.moc"
