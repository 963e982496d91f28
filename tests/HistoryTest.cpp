// Nothing lost to a mistake: every change of a person, a country or a city
// leaves one row of history, written by the register itself, whoever made
// it; Ctrl+Z takes this desk's last save or deletion back as long as nobody
// changed the person since (else the question a save asks); an earlier
// version, and a deleted person, come back from the history as saves.

#include "HistoryDialog.h"
#include "WindowTest.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

using namespace window_test;
namespace reg = test_register;

namespace {

// The history as "KIND TABLE ROW before>after", in the order recorded.
QStringList history(const QString& path)
{
    return reg::column(path, "SELECT KIND || ' ' || TBL || ' ' || ROW_ID || ' ' || "
                             "coalesce(OLD_IME, OLD_NAZIV, '-') || '/' || coalesce(OLD_ID_GRAD || '', '-') || '>' || "
                             "coalesce(NEW_IME, NEW_NAZIV, '-') || '/' || coalesce(NEW_ID_GRAD || '', '-') "
                             "FROM KOLVARA_HISTORY ORDER BY ID");
}

// The persons as "ID first last country/city", for "as they were".
QStringList persons(const QString& path)
{
    return reg::column(path, "SELECT ID || ' ' || Ime || ' ' || Prezime || ' ' || ID_DRZAVA || '/' || ID_GRAD "
                             "FROM PODACI ORDER BY ID");
}

// Chooses row of the dialog's list, and takes it back with Enter.
void takeBackRow(int row)
{
    answerWhenShown<THistoryDialog>([row](THistoryDialog* dialog) {
        auto* list = dialog->findChild<QTreeWidget*>("HistoryList");
        list->setCurrentItem(list->topLevelItem(row));
        QTest::keyClick(list, Qt::Key_Return);
    });
}

// Presses a key of the window in its list, as a person back from a box does.
void press(TForm1* form, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->DBGrid1->setFocus();
    QTest::keyClick(form->DBGrid1, key, modifiers);
}

void pressUndo(TForm1* form)
{
    press(form, Qt::Key_Z, Qt::ControlModifier);
}

void saveSurname(TForm1* form, int id, const QString& surname)
{
    QVERIFY(form->ADOQuery1->Locate("ID", id, {}));
    click(form, nbEdit);
    retype(form->DBEdit2, surname);
    click(form, nbPost);
}

} // namespace

class HistoryTest : public QObject {
    Q_OBJECT

private slots:
    void init() { failOnWarnings(); }

    // Whatever program makes a change, the register records it once, with
    // what it was before and after; a change to the same values is none.
    void everyChangeLeavesOneRow_data()
    {
        QTest::addColumn<std::string>("sql");
        QTest::addColumn<QString>("recorded"); // "" for nothing
        QTest::newRow("person added") << std::string("INSERT INTO PODACI (ID, ID_DRZAVA, ID_GRAD, Ime, Prezime) "
                                                     "VALUES (20, 1, 3, 'Iva', 'Novak')")
                                      << "I PODACI 20 -/->Iva/3";
        QTest::newRow("person changed") << std::string("UPDATE PODACI SET Ime = 'Anka', ID_GRAD = 3 WHERE ID = 2")
                                        << "U PODACI 2 Ana/2>Anka/3";
        QTest::newRow("same values") << std::string("UPDATE PODACI SET Ime = Ime WHERE ID = 2") << "";
        QTest::newRow("person deleted") << std::string("DELETE FROM PODACI WHERE ID = 7") << "D PODACI 7 Seán/1>-/-";
        QTest::newRow("country renamed") << std::string("UPDATE DRZAVE SET NAZIV = 'Republika Srbija' WHERE ID = 1")
                                         << "U DRZAVE 1 Srbija/->Republika Srbija/-";
        QTest::newRow("city added") << std::string("INSERT INTO GRADOVI (ID_DRZAVA, ID_GRAD, NAZIV) VALUES (2, 9, 'Split')")
                                    << "I GRADOVI 9 -/->Split/9";
        QTest::newRow("city removed") << std::string("DELETE FROM GRADOVI WHERE ID_DRZAVA = 1 AND ID_GRAD = 3")
                                      << "D GRADOVI 3 Niš/3>-/-";
    }

    void everyChangeLeavesOneRow()
    {
        QFETCH(std::string, sql);
        QFETCH(QString, recorded);
        const QString path = registerPath();
        reg::create(path);
        QCOMPARE(history(path), QStringList()); // making a register is no change of it
        reg::exec(path, sql);
        QCOMPARE(history(path), recorded.isEmpty() ? QStringList() : QStringList{recorded});
        // Another program is named where the register can tell: a server's role.
        QCOMPARE(reg::value(path, "SELECT coalesce(WHO, 'NULL') FROM KOLVARA_HISTORY"),
                 recorded.isEmpty() ? QString() : reg::onServer() ? QString("postgres") : QString("NULL"));
    }

    // This desk's save, its undo, and its deletion and undo, each recorded
    // as this desk's: a file's by the desktop user, a server's by the role.
    void undoTakesBackSavesAndDeletions()
    {
        BoxWatcher boxes(QMessageBox::Yes);
        auto form = openWindow();
        const QStringList before = persons(registerPath());
        saveSurname(form.get(), 2, "Petrovići");
        QVERIFY(form->ADOQuery1->Locate("ID", 3, {}));
        click(form.get(), nbDelete);
        QCOMPARE(reg::count(registerPath(), "ID = 3"), 0);
        pressUndo(form.get());
        QCOMPARE(reg::count(registerPath(), "ID = 3"), 1); // back under their number
        QCOMPARE(form->DBEdit1->Text(), QString("Marko"));  // and the list stands on them
        pressUndo(form.get());
        QCOMPARE(persons(registerPath()), before);
        QCOMPARE(boxes.texts.size(), 1); // the delete question, nothing else
        pressUndo(form.get());           // nothing left: said so
        QCOMPARE(boxes.texts.size(), 2);
        QVERIFY(boxes.texts.last().startsWith("Nema ničega da se poništi"));

        QCOMPARE(history(registerPath()), (QStringList{"U PODACI 2 Ana/2>Ana/2", "D PODACI 3 Marko/1>-/-",
                                                       "I PODACI 3 -/->Marko/1", "U PODACI 2 Ana/2>Ana/2"}));
        const QString desk = reg::onServer() ? QString("postgres") : QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        QCOMPARE(reg::column(registerPath(), "SELECT DISTINCT WHO || '/' || APP FROM KOLVARA_HISTORY"),
                 QStringList{desk + "/kolvara"});
    }

    // Undo of a person changed elsewhere since asks, as a save does.
    void undoOfAPersonChangedSinceAsks_data()
    {
        QTest::addColumn<QKeyCombination>("answer");
        QTest::addColumn<QString>("surname"); // the register's after the answer
        QTest::addColumn<int>("stepsLeft");
        QTest::newRow("take the register's") << QKeyCombination(Qt::ALT | Qt::Key_U) << "Kovač" << 0;
        QTest::newRow("keep mine") << QKeyCombination(Qt::ALT | Qt::Key_Z) << "Petrović" << 0;
        QTest::newRow("not now") << QKeyCombination(Qt::Key_Escape) << "Kovač" << 1;
    }

    void undoOfAPersonChangedSinceAsks()
    {
        QFETCH(QKeyCombination, answer);
        QFETCH(QString, surname);
        QFETCH(int, stepsLeft);
        BoxWatcher boxes;
        boxes.keys = {answer};
        auto form = openWindow();
        saveSurname(form.get(), 2, "Babić");
        reg::exec(registerPath(), "UPDATE PODACI SET Prezime = 'Kovač' WHERE ID = 2");
        pressUndo(form.get());
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts[0].contains("Kovač") && boxes.texts[0].contains("Petrović"), qPrintable(boxes.texts[0]));
        QCOMPARE(reg::value(registerPath(), "SELECT Prezime FROM PODACI WHERE ID = 2"), surname);
        // The step stays only when the person went on: Ctrl+Z asks again.
        pressUndo(form.get());
        QCOMPARE(boxes.texts.size(), 2);
        QCOMPARE(boxes.texts[1].startsWith("Nema ničega"), stepsLeft == 0);
    }

    // A surname's earlier spelling is found in the history and taken back;
    // a deleted person comes back with their number, unless their city went.
    void earlierVersionsAndDeletedPersonsComeBack()
    {
        BoxWatcher boxes;
        auto form = openWindow();
        saveSurname(form.get(), 2, "Petrovic");
        saveSurname(form.get(), 2, "Petrovich");
        QVERIFY(form->ADOQuery1->Locate("ID", 2, {}));
        takeBackRow(1); // the version "Petrovic", below the newest
        press(form.get(), Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(reg::value(registerPath(), "SELECT Prezime FROM PODACI WHERE ID = 2"), QString("Petrovic"));
        pressUndo(form.get()); // taking a version back is a step of its own
        QCOMPARE(reg::value(registerPath(), "SELECT Prezime FROM PODACI WHERE ID = 2"), QString("Petrovich"));

        reg::exec(registerPath(), "DELETE FROM PODACI WHERE ID = 5; DELETE FROM PODACI WHERE ID = 4; "
                                  "DELETE FROM GRADOVI WHERE ID_DRZAVA = 2 AND ID_GRAD = 2");
        takeBackRow(1); // Јелена Ђурић, deleted before Željko
        press(form.get(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(persons(registerPath()).filter(QRegularExpression("^5 ")), QStringList{"5 Јелена Ђурић 3/2"});
        QCOMPARE(boxes.texts.size(), 0);
        takeBackRow(0); // Željko, whose city is gone
        press(form.get(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts[0].contains("„Đakovo”"), qPrintable(boxes.texts[0]));
        QCOMPARE(reg::count(registerPath(), "ID = 4"), 0);
    }

    // A register made before the history says how to give it one, and
    // Ctrl+Z still takes a save back.
    void aRegisterWithoutHistorySaysHowToGiveItOne()
    {
        BoxWatcher boxes;
        // A server's register needs its keys: the history is taken away instead.
        auto form = reg::onServer() ? openWindow(reg::Schema::Full, "DROP TABLE kolvara_history; "
                                                                    "DROP FUNCTION kolvara_record_change() CASCADE")
                                    : openWindow(reg::Schema::Converted);
        press(form.get(), Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts[0].contains("kolvara-make-register --add-history"), qPrintable(boxes.texts[0]));
        saveSurname(form.get(), 2, "Babić");
        pressUndo(form.get());
        QCOMPARE(reg::value(registerPath(), "SELECT Prezime FROM PODACI WHERE ID = 2"), QString("Petrović"));
    }

    // A file's copy that cannot be made (the data folder is a file here)
    // is a quiet sign beside the status line: no question, and the window
    // works on.
    void aCopyThatCannotBeMadeIsAQuietSign()
    {
        if (reg::onServer())
            QSKIP("a server's register is copied by pg_dump");
        QTemporaryDir home;
        QFile notAFolder(home.filePath("data"));
        QVERIFY(notAFolder.open(QIODevice::WriteOnly));
        notAFolder.close();
        const QByteArray before = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", notAFolder.fileName().toUtf8());
        const auto back = qScopeGuard([&] { qputenv("XDG_DATA_HOME", before); });
        BoxWatcher boxes;
        auto form = openWindow();
        auto* sign = form->StatusBar1->findChild<QLabel*>("BackupSign");
        QVERIFY(sign);
        QTRY_VERIFY(sign->isVisible());
        QVERIFY2(sign->toolTip().contains(notAFolder.fileName()), qPrintable(sign->toolTip()));
        QCOMPARE(boxes.texts.size(), 0);
        saveSurname(form.get(), 2, "Babić");
        QCOMPARE(reg::value(registerPath(), "SELECT Prezime FROM PODACI WHERE ID = 2"), QString("Babić"));
    }

    // On a server, a desk reads the history and can neither write nor
    // erase it: only the register's own triggers do.
    void aDeskCannotForgeTheHistory()
    {
        if (!reg::onServer())
            QSKIP("a server's roles");
        reg::create(registerPath());
        reg::exec(registerPath(), "GRANT SELECT, INSERT, UPDATE, DELETE ON podaci TO clerk; "
                                  "GRANT SELECT ON kolvara_history, drzave, gradovi, kolvara_stamp TO clerk");
        QUrl uri(reg::location(registerPath()));
        uri.setUserName("clerk");
        uri.setPassword("clerk secret");
        PGconn* clerk = PQconnectdb(uri.toString().toUtf8().constData());
        QCOMPARE(PQstatus(clerk), CONNECTION_OK);
        const auto runs = [clerk](const char* sql) {
            PGresult* result = PQexec(clerk, sql);
            const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
            PQclear(result);
            return ok;
        };
        QVERIFY(runs("UPDATE podaci SET ime = 'Anka' WHERE id = 2"));
        QVERIFY(runs("SELECT * FROM kolvara_history"));
        QVERIFY(!runs("INSERT INTO kolvara_history (at, tbl, kind) VALUES ('x', 'PODACI', 'U')"));
        QVERIFY(!runs("DELETE FROM kolvara_history"));
        QVERIFY(!runs("UPDATE kolvara_history SET who = 'postgres'"));
        PQfinish(clerk);
        QCOMPARE(reg::column(registerPath(), "SELECT WHO || ' ' || KIND FROM KOLVARA_HISTORY"), QStringList{"clerk U"});
    }
};

WINDOW_TEST_MAIN(HistoryTest)
#include "HistoryTest.moc"
