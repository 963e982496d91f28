// The main window as a person uses it to keep the register: the navigator's
// buttons clicked, names typed into the detail panel, countries and cities
// chosen in the drop-down lists, deletions confirmed; what reached the file
// is read back through a connection of the test's own.

#include "WindowTest.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>

using namespace window_test;
namespace reg = test_register;

namespace {

// Four more persons of Srbija: the list then shows ten, in this order:
// 5, 7 (Crna Gora), 3, 4 (Hrvatska), 1, 8, 9, 2, 10, 11 (Srbija, by city).
const std::string TenPersons =
    "INSERT INTO PODACI (ID, ID_DRZAVA, ID_GRAD, Ime, Prezime) VALUES"
    " (8, 1, 1, 'Mara', 'Ilić'), (9, 1, 1, 'Maja', 'Lukić'), (10, 1, 3, 'Milan', 'Tomić'), (11, 1, 3, 'Mirko', 'Perić')";

// Chooses a name in a drop-down list from the keyboard: focus, then the
// beginning of the name.
// Types the beginning of a name into a lookup box and takes it with Enter.
void choose(QComboBox* box, const QString& beginning)
{
    box->setFocus(Qt::TabFocusReason);
    typeText(box, beginning);
    QTest::keyClick(box, Qt::Key_Return);
}

int currentId(TForm1* form)
{
    return form->ADOQuery1ID->AsInteger();
}

QStringList comboItems(QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

class EditingWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { failOnWarnings(); }

    void editAndSaveComesBackToThePerson()
    {
        BoxWatcher boxes;
        auto form = openWindow(reg::Schema::Full, TenPersons);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [1/10]"));
        form->ADOQuery1->setRecNo(5);
        const int id = currentId(form.get());
        click(form.get(), nbEdit);
        QCOMPARE(QApplication::focusWidget(), form->DBEdit1);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Edit"));
        retype(form->DBEdit2, "Šćepanović-Đukić");
        click(form.get(), nbPost);
        QCOMPARE(QApplication::focusWidget(), form->DBGrid1);
        QCOMPARE(reg::value(registerPath(), "SELECT Prezime FROM PODACI WHERE ID = " + std::to_string(id)),
                 QString("Šćepanović-Đukić"));
        QCOMPARE(currentId(form.get()), id);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [5/10]"));
        QCOMPARE(boxes.texts, QStringList());
    }

    void editThatLeavesTheSearchLandsOnTheFirstRow()
    {
        BoxWatcher boxes;
        auto form = openWindow(reg::Schema::Full, TenPersons);
        typeText(form->Edit1, "M");
        QCOMPARE(form->ADOQuery1->RecordCount(), 5);
        form->ADOQuery1->setRecNo(3);
        const int id = currentId(form.get());
        retype(form->DBEdit1, "Zoran"); // typing starts the edit
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Edit"));
        click(form.get(), nbPost);
        QCOMPARE(reg::value(registerPath(), "SELECT Ime FROM PODACI WHERE ID = " + std::to_string(id)), QString("Zoran"));
        QCOMPARE(form->ADOQuery1->RecordCount(), 4);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [1/4]"));
        QCOMPARE(boxes.texts, QStringList());
    }

    // After a new person is saved the list stands on that person, found by
    // the key the register gave it, whatever edit was begun or cancelled
    // before.
    void insertComesBackToTheNewPerson()
    {
        auto form = openWindow(reg::Schema::Full, TenPersons);
        form->ADOQuery1->setRecNo(4);
        click(form.get(), nbInsert);
        QCOMPARE(QApplication::focusWidget(), form->DBEdit1);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Insert"));
        typeText(form->DBEdit1, "Vesna");
        retype(form->DBEdit2, "Jokić");
        choose(form->DBLookupComboBox1, "Crna");
        QCOMPARE(form->DBEdit3->Text(), QString("3"));
        retype(form->DBEdit4, "2");
        click(form.get(), nbPost);
        QCOMPARE(reg::value(registerPath(), "SELECT Ime || ' ' || Prezime || ' ' || ID_DRZAVA || ' ' || ID_GRAD "
                                            "FROM PODACI WHERE ID = 12"),
                 QString("Vesna Jokić 3 2"));
        QCOMPARE(currentId(form.get()), 12);
        QCOMPARE(form->ADOQuery1->RecordCount(), 11);

        QVERIFY(form->ADOQuery1->Locate("ID", 10, {}));
        click(form.get(), nbEdit);
        retype(form->DBEdit1, "Nešto");
        click(form.get(), nbCancel);
        QCOMPARE(QApplication::focusWidget(), form->DBGrid1);
        QCOMPARE(form->ADOQuery1Ime->AsString(), std::string("Milan"));
        QCOMPARE(reg::value(registerPath(), "SELECT Ime FROM PODACI WHERE ID = 10"), QString("Milan"));
        form->ADOQuery1->First();
        click(form.get(), nbInsert);
        typeText(form->DBEdit1, "Ivo");
        retype(form->DBEdit3, "2");
        retype(form->DBEdit4, "1");
        click(form.get(), nbPost);
        QCOMPARE(reg::count(registerPath(), "Ime = 'Ivo' AND ID_DRZAVA = 2"), 1);
        QCOMPARE(currentId(form.get()), 13);
    }

    // The same refusals whether the file guards its references or not (a
    // register another tool wrote has no keys): nothing that names no
    // country or city is ever saved, so no person vanishes from the list.
    void refusedSaveShowsOneMessageAndKeepsTheRow_data()
    {
        QTest::addColumn<bool>("converted");
        QTest::addColumn<bool>("inserting");
        QTest::addColumn<QString>("country");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("message");
        for (const bool converted : {false, true}) {
            const char* file = converted ? ", file without keys" : "";
            QTest::addRow("city of another country%s", file)
                << converted << false << "1" << "9" << "Nije sačuvano: grad (država 1, grad 9) ne postoji u registru.";
            QTest::addRow("country not in the list%s", file)
                << converted << false << "42" << "1" << "Nije sačuvano: grad (država 42, grad 1) ne postoji u registru.";
            QTest::addRow("no country chosen%s", file) << converted << true << "" << "1" << "Nije sačuvano: nedostaje država.";
            QTest::addRow("no city chosen%s", file) << converted << true << "2" << "" << "Nije sačuvano: nedostaje grad.";
        }
        QTest::newRow("not a number") << false << false << "-" << "1"
                                      << "država: „-” nije ceo broj.";
    }

    void refusedSaveShowsOneMessageAndKeepsTheRow()
    {
        QFETCH(bool, converted);
        QFETCH(bool, inserting);
        QFETCH(QString, country);
        QFETCH(QString, city);
        QFETCH(QString, message);
        if (converted)
            SKIP_ON_SERVER("a register on a server always has its keys: the tools write it whole");
        BoxWatcher boxes;
        auto form = openWindow(converted ? reg::Schema::Converted : reg::Schema::Full);
        const QByteArray before = reg::digest(registerPath());
        click(form.get(), inserting ? nbInsert : nbEdit);
        retype(form->DBEdit1, "Petra");
        retype(form->DBEdit3, country);
        retype(form->DBEdit4, city);
        click(form.get(), nbPost);
        QTRY_COMPARE(boxes.texts, QStringList{message});
        QCOMPARE(reg::digest(registerPath()), before);
        QCOMPARE(form->ADOQuery1->State(), inserting ? dsInsert : dsEdit);
        QCOMPARE(form->DBEdit1->Text(), QString("Petra")); // nothing typed is lost
        QCOMPARE(form->DBEdit4->Text(), city);
        click(form.get(), nbCancel);
        QCOMPARE(form->ADOQuery1->State(), dsBrowse);
        QCOMPARE(reg::digest(registerPath()), before);
    }

    // The city box names the city that the person's two keys name, at once,
    // whichever key changed and however; a save then stores that city.
    void cityBoxFollowsEitherKey_data()
    {
        QTest::addColumn<int>("person");
        QTest::addColumn<QString>("box"); // the control changed
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("city"); // shown, and saved when not empty
        QTest::newRow("country chosen by name") << 4 << "DBLookupComboBox1" << "Srb" << "Šabac";
        QTest::newRow("country number typed") << 4 << "DBEdit3" << "3" << "Жабљак";
        QTest::newRow("country with no such city") << 1 << "DBEdit3" << "42" << "";
        QTest::newRow("city number with no such city") << 4 << "DBEdit4" << "3" << "";
    }

    void cityBoxFollowsEitherKey()
    {
        QFETCH(int, person);
        QFETCH(QString, box);
        QFETCH(QString, value);
        QFETCH(QString, city);
        BoxWatcher boxes;
        auto form = openWindow();
        QVERIFY(form->ADOQuery1->Locate("ID", person, {}));
        auto* control = form->findChild<QWidget*>(box);
        if (auto* list = qobject_cast<QComboBox*>(control))
            choose(list, value);
        else
            retype(control, value);
        form->DBEdit1->setFocus(); // leaving a number box hands over what was typed
        QCOMPARE(form->DBLookupComboBox2->currentText(), city);
        if (city.isEmpty())
            return; // saving it is refused: refusedSaveShowsOneMessageAndKeepsTheRow
        click(form.get(), nbPost);
        QCOMPARE(currentId(form.get()), person);
        QCOMPARE(form->ADOQuery1GRADOVINaziv->Text(), city);
        QCOMPARE(form->DBLookupComboBox2->currentText(), city);
        QCOMPARE(boxes.texts, QStringList());
    }

    // Closing the window while a person is edited or added asks first when
    // something was changed: save (closing only if the save went through),
    // don't save, or stay; with nothing changed it asks nothing.
    void closeAsksBeforeDroppingAChange_data()
    {
        QTest::addColumn<bool>("inserting");
        QTest::addColumn<QString>("city"); // typed, or empty for no change there
        QTest::addColumn<bool>("typing");  // a first name typed, or nothing changed
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("stored"); // Ime of person 2 afterwards, or the new person's
        QTest::addColumn<int>("boxes");      // the question, and a refusal after it
        using B = QMessageBox;
        QTest::newRow("save") << false << "" << true << int(B::Save) << true << "Zorana" << 1;
        QTest::newRow("don't save") << false << "" << true << int(B::Discard) << true << "Ana" << 1;
        QTest::newRow("stay") << false << "" << true << int(B::Cancel) << false << "Ana" << 1;
        QTest::newRow("save refused") << false << "9" << true << int(B::Save) << false << "Ana" << 2;
        QTest::newRow("nothing changed") << false << "" << false << int(B::Save) << true << "Ana" << 0;
        QTest::newRow("new person, save") << true << "1" << true << int(B::Save) << true << "Zorana" << 1;
        QTest::newRow("new person, don't save") << true << "1" << true << int(B::Discard) << true << "" << 1;
    }

    void closeAsksBeforeDroppingAChange()
    {
        QFETCH(bool, inserting);
        QFETCH(QString, city);
        QFETCH(bool, typing);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(QString, stored);
        QFETCH(int, boxes);
        BoxWatcher watcher{QMessageBox::StandardButton(answer)};
        auto form = openWindow();
        QVERIFY(form->ADOQuery1->Locate("ID", 2, {}));
        click(form.get(), inserting ? nbInsert : nbEdit);
        if (inserting)
            retype(form->DBEdit3, "1");
        if (!city.isEmpty())
            retype(form->DBEdit4, city);
        if (typing)
            retype(form->DBEdit1, "Zorana"); // still in its box, not yet given to the row
        QTest::mouseClick(form->Button2, Qt::LeftButton); // "Izlaz"
        QTRY_COMPARE(watcher.texts.size(), boxes);
        QCOMPARE(!form->isVisible(), closed);
        const std::string who = inserting ? "SELECT Ime FROM PODACI WHERE ID = 8" : "SELECT Ime FROM PODACI WHERE ID = 2";
        QCOMPARE(reg::value(registerPath(), who), stored);
        if (!closed) { // the row stays as typed, to be mended, saved or dropped
            QCOMPARE(form->ADOQuery1->State(), dsEdit);
            QCOMPARE(form->DBEdit1->Text(), QString("Zorana"));
        }
    }

    void deleteRemovesThatPersonAndRebuildsTheList()
    {
        BoxWatcher boxes(QMessageBox::Yes);
        auto form = openWindow(reg::Schema::Full, TenPersons);
        form->ADOQuery1->setRecNo(5);
        const int id = currentId(form.get());
        form->Edit2->setFocus();
        click(form.get(), nbDelete);
        QCOMPARE(boxes.texts.size(), 1); // the question, and nothing after it
        QCOMPARE(form->focusWidget(), form->DBNavigator1->button(nbDelete)); // focus stays where the click put it
        QCOMPARE(reg::count(registerPath(), "ID = " + std::to_string(id)), 0);
        QCOMPARE(reg::count(registerPath()), 10); // one of eleven gone, no other
        QCOMPARE(form->ADOQuery1->RecordCount(), 9);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [1/9]"));
        QCOMPARE(form->ADOQuery1->RecNo(), 1); // the first row, not a neighbour

        // Saying no deletes nothing.
        boxes.answer = QMessageBox::No;
        click(form.get(), nbDelete);
        QCOMPARE(boxes.texts.size(), 2);
        QCOMPARE(reg::count(registerPath()), 10);
    }

    void deletingTheOnlyPersonShownEmptiesTheList()
    {
        BoxWatcher boxes(QMessageBox::Yes);
        auto form = openWindow();
        typeText(form->Edit2, "Čol");
        QCOMPARE(form->ADOQuery1->RecordCount(), 1);
        click(form.get(), nbDelete);
        QCOMPARE(reg::count(registerPath(), "Prezime = 'Čolić'"), 0);
        QCOMPARE(reg::count(registerPath()), 6);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [0/0]"));
        QTRY_VERIFY(!form->DBNavigator1->button(nbDelete)->isEnabled()); // once the deletion is over
    }

    void deletingAPersonAnotherProgramRemovedSaysSo()
    {
        BoxWatcher boxes(QMessageBox::Yes);
        auto form = openWindow(reg::Schema::Full, TenPersons);
        QVERIFY(form->ADOQuery1->Locate("ID", 9, {}));
        reg::exec(registerPath(), "DELETE FROM PODACI WHERE ID = 9");
        click(form.get(), nbDelete);
        QCOMPARE(boxes.texts.size(), 2);
        QCOMPARE(boxes.texts[1], QString("Ne mogu da pronadjem ID:9"));
        QCOMPARE(reg::count(registerPath()), 10);
        QCOMPARE(form->ADOQuery1->RecordCount(), 9);
        QVERIFY(!form->ADOQuery1->Locate("ID", 9, {}));
    }

    void navigatorPutsTheKeyboardWhereWorkGoesOn_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("focus");
        QTest::newRow("first") << int(nbFirst) << "DBGrid1";
        QTest::newRow("prior") << int(nbPrior) << "DBGrid1";
        QTest::newRow("next") << int(nbNext) << "DBGrid1";
        QTest::newRow("last") << int(nbLast) << "DBGrid1";
        QTest::newRow("insert") << int(nbInsert) << "DBEdit1";
        QTest::newRow("edit") << int(nbEdit) << "DBEdit1";
        QTest::newRow("post") << int(nbPost) << "DBGrid1";
        QTest::newRow("cancel") << int(nbCancel) << "DBGrid1";
        QTest::newRow("refresh") << int(nbRefresh) << "DBGrid1";
    }

    void navigatorPutsTheKeyboardWhereWorkGoesOn()
    {
        QFETCH(int, button);
        QFETCH(QString, focus);
        auto form = openWindow();
        form->ADOQuery1->setRecNo(3);
        if (button == nbPost || button == nbCancel) {
            retype(form->DBEdit2, "Ilić");
        } else {
            form->Edit1->setFocus();
        }
        click(form.get(), TNavigateBtn(button));
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        if (button == nbPost)
            QCOMPARE(reg::count(registerPath(), "Prezime = 'Ilić'"), 1); // what was typed was saved
    }

    void cityListOffersTheCitiesOfThePersonsCountry()
    {
        BoxWatcher boxes;
        auto form = openWindow();
        QVERIFY(form->ADOQuery1->Locate("ID", 3, {}));
        // Not focused: the whole list, and the city of the person's own country.
        QCOMPARE(form->DBLookupComboBox2->count(), 7);
        QCOMPARE(form->DBLookupComboBox2->currentText(), QString("Zagreb"));
        QVERIFY(form->ADOQuery1->Locate("ID", 7, {}));
        form->DBEdit4->setFocus();
        QTest::keyClick(form->DBEdit4, Qt::Key_Tab); // on to the country box
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // "..."
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // the city box
        QCOMPARE(QApplication::focusWidget(), form->DBLookupComboBox2);
        QCOMPARE(comboItems(form->DBLookupComboBox2), (QStringList{"Podgorica", "Жабљак"}));
        QCOMPARE(form->DBLookupComboBox2->currentText(), QString("Podgorica"));
        QTest::keyClick(form->DBLookupComboBox2, Qt::Key_Tab);
        QCOMPARE(form->DBLookupComboBox2->count(), 7);

        // Another country chosen: its cities are offered next time.
        choose(form->DBLookupComboBox1, "Hr");
        QCOMPARE(form->DBEdit3->Text(), QString("2"));
        form->DBLookupComboBox2->setFocus(Qt::TabFocusReason);
        QCOMPARE(comboItems(form->DBLookupComboBox2), (QStringList{"Zagreb", "Đakovo"}));
        typeText(form->DBLookupComboBox2, "Đ");
        QTest::keyClick(form->DBLookupComboBox2, Qt::Key_Return);
        QCOMPARE(form->DBEdit4->Text(), QString("2"));
        click(form.get(), nbPost);
        QCOMPARE(reg::value(registerPath(), "SELECT ID_DRZAVA || '/' || ID_GRAD FROM PODACI WHERE ID = 7"), QString("2/2"));

        // A new person without a country: no city to offer, and no error.
        click(form.get(), nbInsert);
        form->DBLookupComboBox2->setFocus(Qt::TabFocusReason);
        QCOMPARE(form->DBLookupComboBox2->count(), 0);
        form->DBEdit1->setFocus();
        QCOMPARE(form->DBLookupComboBox2->count(), 7);
        QCOMPARE(boxes.texts, QStringList());
    }
};

WINDOW_TEST_MAIN(EditingWindowTest)
#include "EditingWindowTest.moc"
