// The register's countries and cities kept from the window: each change
// whole or not at all, compared with what the desk read, refused in a
// person's words where it would lose or break something; and in the window,
// the lookup boxes that never choose what was not typed, the dialogs, and
// Escape that closes a list and nothing more.

#include "ADOConnection.h"
#include "ConnectionString.h"
#include "Places.h"
#include "PlacesDialog.h"
#include "WindowTest.h"

#include <QCompleter>
#include <QDeadlineTimer>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>

using namespace window_test;
namespace reg = test_register;

namespace {

// The register's places and where each person lives, for "nothing changed".
QStringList state(const QString& path)
{
    return reg::column(path, "SELECT 'D' || ID || ':' || NAZIV FROM DRZAVE UNION ALL "
                             "SELECT 'G' || ID_DRZAVA || '/' || ID_GRAD || ':' || NAZIV FROM GRADOVI UNION ALL "
                             "SELECT 'P' || ID || '@' || ID_DRZAVA || '/' || ID_GRAD FROM PODACI ORDER BY 1");
}

// A desk of its own on a register.
struct Desk {
    QObject owner;
    TADOConnection* connection = new TADOConnection(&owner);
    Places places{*connection};
    explicit Desk(const QString& path)
    {
        connection->setConnectionString(ConnectionString::forFile(reg::location(path)));
        connection->Open();
    }
    Place city(std::int32_t country, const QString& name)
    {
        for (const Place& place : places.cities(country))
            if (place.shownName() == name)
                return place;
        throw std::runtime_error("no city " + name.toStdString());
    }
    Place country(const QString& name)
    {
        for (const Place& place : places.countries())
            if (place.shownName() == name)
                return place;
        throw std::runtime_error("no country " + name.toStdString());
    }
};

// Runs answer on the next input question, once it shows.
void answerInput(std::function<void(QInputDialog*)> answer)
{
    answerWhenShown<QInputDialog>(std::move(answer));
}

} // namespace

class PlacesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;
    QString fresh(const std::string& setup = {})
    {
        static int made = 0;
        const QString path = m_folder.filePath(QString("places-%1.mdb").arg(++made));
        reg::create(path);
        if (!setup.empty())
            reg::exec(path, setup);
        return path;
    }

private slots:
    void init() { failOnWarnings(); }

    // Each list read with its persons counted by one statement.
    void listsCountTheirPersons()
    {
        Desk desk(fresh());
        QStringList countries, cities;
        for (const Place& place : desk.places.countries())
            countries << QString("%1 %2").arg(place.shownName()).arg(place.persons);
        for (const Place& place : desk.places.cities(1))
            cities << QString("%1 %2").arg(place.shownName()).arg(place.persons);
        countries.sort();
        cities.sort();
        QCOMPARE(countries, (QStringList{"Crna Gora 2", "Hrvatska 2", "Srbija 3"}));
        QCOMPARE(cities, (QStringList{"Beograd 1", "Niš 0", "Šabac 1"}));
    }

    // Every change, and what the register holds after it.
    void changes_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<std::string>("setup");
        QTest::addColumn<std::string>("check"); // a statement whose rows tell
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("city added, next free number") << "add city 1 Novi Sad" << std::string()
            << std::string("SELECT ID_DRZAVA || '/' || ID_GRAD FROM GRADOVI WHERE NAZIV = 'Novi Sad'") << QStringList{"1/4"};
        QTest::newRow("country added") << "add country Bosna" << std::string()
            << std::string("SELECT ID FROM DRZAVE WHERE NAZIV = 'Bosna'") << QStringList{"4"};
        QTest::newRow("country renamed") << "rename country Srbija Republika Srbija" << std::string()
            << std::string("SELECT NAZIV FROM DRZAVE WHERE ID = 1") << QStringList{"Republika Srbija"};
        QTest::newRow("case alone changed") << "rename city 1 Niš NIŠ" << std::string()
            << std::string("SELECT NAZIV FROM GRADOVI WHERE ID_GRAD = 3") << QStringList{"NIŠ"};
        QTest::newRow("unused city removed") << "remove city 1 Niš" << std::string()
            << std::string("SELECT count(*) FROM GRADOVI WHERE ID_DRZAVA = 1") << QStringList{"2"};
        QTest::newRow("unused country goes with its cities") << "remove country Bosna"
            << std::string("INSERT INTO DRZAVE VALUES (4, 'Bosna'); INSERT INTO GRADOVI VALUES (4, 5, 'Tuzla')")
            << std::string("SELECT count(*) FROM GRADOVI WHERE ID_DRZAVA = 4 OR ID_GRAD = 5") << QStringList{"0"};
        QTest::newRow("two cities merged") << "merge city 1 Šabac Beograd" << std::string()
            << std::string("SELECT ID || '@' || ID_GRAD FROM PODACI WHERE ID_DRZAVA = 1 UNION ALL "
                           "SELECT 'left ' || count(*) FROM GRADOVI WHERE NAZIV = 'Šabac' ORDER BY 1")
            << QStringList{"1@1", "2@1", "6@9", "left 0"};
        // Podgorica meets its other spelling; Жабљак's number is taken there.
        QTest::newRow("two countries merged") << "merge country Crna Gora Hrvatska"
            << std::string("INSERT INTO GRADOVI VALUES (2, 7, 'PODGORICA')")
            << std::string("SELECT ID || '@' || ID_DRZAVA || '/' || ID_GRAD FROM PODACI WHERE ID IN (5, 7) UNION ALL "
                           "SELECT ID_DRZAVA || '/' || ID_GRAD || ' ' || NAZIV FROM GRADOVI WHERE ID_GRAD >= 7 "
                           "UNION ALL SELECT 'left ' || count(*) FROM DRZAVE WHERE ID = 3 ORDER BY 1")
            << QStringList{"2/7 PODGORICA", "2/8 Жабљак", "5@2/8", "7@2/7", "left 0"};
    }

    void changes()
    {
        QFETCH(QString, change);
        QFETCH(std::string, setup);
        QFETCH(std::string, check);
        QFETCH(QStringList, rows);
        const QString path = fresh(setup);
        Desk desk(path);
        const QStringList words = change.split(' ');
        const bool city = words[1] == "city";
        const int country = city ? words[2].toInt() : 0;
        const QStringList names = words.mid(city ? 3 : 2);
        // The names of the change: the first word(s) name a place, the rest the new name.
        const auto place = [&](const QString& name) { return city ? desk.city(country, name) : desk.country(name); };
        if (words[0] == "add") {
            desk.places.add(city, country, names.join(' ').toStdString());
        } else if (words[0] == "rename") {
            desk.places.rename(place(names[0]), names.mid(1).join(' ').toStdString());
        } else if (words[0] == "remove") {
            desk.places.remove(place(names.join(' ')));
        } else {
            const QString from = city ? names[0] : names.mid(0, 2).join(' ');
            const QString into = city ? names[1] : names.mid(2).join(' ');
            desk.places.merge(place(from), place(into));
        }
        QCOMPARE(reg::column(path, check), rows);
    }

    // What would lose or break something is refused, saying why, and the
    // register is as it was: also a merge that fails halfway.
    void refusals_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message");
        QTest::newRow("city persons live in") << "remove Beograd"
            << "U gradu \u201E\u2068Beograd\u2069\u201D živi jedna osoba; premestite je ili spojite grad s drugim.";
        QTest::newRow("country persons live in") << "remove Srbija"
            << "U državi \u201E\u2068Srbija\u2069\u201D žive 3 osobe; premestite ih ili spojite državu s drugom.";
        QTest::newRow("empty name") << "add    " << "Naziv ne može biti prazan: upišite ga.";
        QTest::newRow("a name longer than 255") << "add " + QString(256, QChar(0x17E))
                                                << "Naziv je duži od 255 znakova: skratite ga.";
        QTest::newRow("a city's other spelling") << "add beograd"
            << "Ova država već ima grad \u201E\u2068Beograd\u2069\u201D. Ako je to isto mesto, spojite ga s njim.";
        QTest::newRow("renamed into another") << "rename Niš ŠABAC"
            << "Ova država već ima grad \u201E\u2068Šabac\u2069\u201D. Ako je to isto mesto, spojite ga s njim.";
        QTest::newRow("merge failing halfway") << "merge Šabac Beograd" << QString();
    }

    void refusals()
    {
        QFETCH(QString, change);
        QFETCH(QString, message);
        const bool failing = message.isEmpty();
        // The last step of a merge refused by the register itself.
        const std::string refuse = !failing ? std::string()
                                 : reg::onServer()
                                     ? "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                       "$$BEGIN RAISE EXCEPTION 'refused'; END$$; CREATE TRIGGER refuse BEFORE DELETE "
                                       "ON GRADOVI FOR EACH ROW EXECUTE FUNCTION refuse()"
                                     : "CREATE TRIGGER refuse BEFORE DELETE ON GRADOVI BEGIN SELECT RAISE(ABORT, "
                                       "'refused'); END";
        const QString path = fresh(refuse);
        const QStringList before = state(path);
        Desk desk(path);
        const QString verb = change.section(' ', 0, 0);
        const QString rest = change.section(' ', 1);
        try {
            if (verb == "add")
                desk.places.add(true, 1, rest.toStdString());
            else if (verb == "rename")
                desk.places.rename(desk.city(1, rest.section(' ', 0, 0)), rest.section(' ', 1).toStdString());
            else if (verb == "merge")
                desk.places.merge(desk.city(1, rest.section(' ', 0, 0)), desk.city(1, rest.section(' ', 1)));
            else if (rest == "Srbija")
                desk.places.remove(desk.country(rest));
            else
                desk.places.remove(desk.city(1, rest));
            QFAIL("not refused");
        } catch (const Exception& E) {
            if (!failing)
                QCOMPARE(QString::fromStdString(E.Message()), message);
        }
        QCOMPARE(state(path), before);
    }

    // Names as they were typed, whatever they hold.
    void hostileNamesSurvive_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("apostrophes") << "O'Neill's ''Town''";
        QTest::newRow("255 letters") << QString(255, QChar(0x17E));
        QTest::newRow("right to left") << "\u0627\u0644\u0642\u0627\u0647\u0631\u0629";
        QTest::newRow("pattern signs") << "50%_off\\";
        QTest::newRow("blank before") << " Lipik";
    }

    void hostileNamesSurvive()
    {
        QFETCH(QString, name);
        const QString path = fresh();
        Desk desk(path);
        const Place added = desk.places.add(true, 2, name.toStdString());
        QCOMPARE(desk.city(2, name).number, added.number);
        const QString renamed = name.chopped(1) + "x";
        desk.places.rename(added, renamed.toStdString());
        QCOMPARE(reg::value(path, "SELECT NAZIV FROM GRADOVI WHERE ID_GRAD = " + std::to_string(added.number)), renamed);
    }

    // A desk changes only what it read: a place renamed or removed at
    // another desk meanwhile is told, never overwritten; "mine" then
    // renames over what the other desk wrote.
    void anotherDeskMeanwhile()
    {
        const QString path = fresh();
        Desk mine(path), theirs(path);
        const Place nis = mine.city(1, "Niš");
        theirs.places.rename(theirs.city(1, "Niš"), "Nis");
        try {
            mine.places.rename(nis, "Niš grad");
            QFAIL("overwritten");
        } catch (const EPlaceChanged& E) {
            QCOMPARE(E.now().shownName(), QString("Nis"));
            mine.places.rename(nis, "Niš grad", &E.now().name);
        }
        QCOMPARE(reg::value(path, "SELECT NAZIV FROM GRADOVI WHERE ID_GRAD = 3"), QString("Niš grad"));
        const Place sabac = mine.city(1, "Šabac");
        theirs.places.merge(theirs.city(1, "Šabac"), theirs.city(1, "Beograd"));
        QVERIFY_THROWS_EXCEPTION(EPlaceGone, mine.places.remove(sabac));
        QVERIFY_THROWS_EXCEPTION(EPlaceGone, mine.places.merge(sabac, mine.city(1, "Beograd")));
    }

    // A merge killed at any moment leaves every person it was moving in one
    // city, the old or the new, and that city there.
    void killedMidMergeLosesNobody()
    {
        const QString path = fresh("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                                   "INSERT INTO PODACI (ID_DRZAVA, ID_GRAD, Ime, Prezime) SELECT 1, 2, 'K', 'K' FROM n");
        QRandomGenerator random(7);
        for (int kill = 0; kill < 25; ++kill) {
            QProcess merger;
            merger.start(QCoreApplication::applicationFilePath(), {"--merge-forever", path});
            QVERIFY(merger.waitForReadyRead(20000));
            QTest::qWait(int(random.bounded(40)));
            merger.kill();
            merger.waitForFinished();
            // A server ends the desk's work once it sees the desk gone (a
            // COMMIT it had already been sent still commits): the register is
            // read after that.
            // A merge now writes a history row for each person it moves, and
            // other tests share the server: the wait has room for that.
            if (reg::onServer())
                waitForKilledDesk(path);
            QCOMPARE(reg::column(path, "SELECT count(*) || ' in ' || count(DISTINCT P.ID_GRAD) || ' of ' || "
                                       "count(G.ID_GRAD) FROM PODACI P LEFT JOIN GRADOVI G ON G.ID_DRZAVA = "
                                       "P.ID_DRZAVA AND G.ID_GRAD = P.ID_GRAD WHERE P.Ime = 'K'"),
                     QStringList{"3000 in 1 of 3000"});
            // The merge under way is whole or not begun: its persons in the
            // city merged, still there, or in the one kept, the other gone.
            const QStringList under = QString::fromUtf8(merger.readAllStandardOutput()).trimmed().split('\n').last().split(' ');
            QCOMPARE(under.size(), 3);
            const QString from = under[1], into = under[2];
            const QString now = reg::value(path, "SELECT ID_GRAD FROM PODACI WHERE Ime = 'K' LIMIT 1");
            const bool fromThere = reg::count(path, "ID_DRZAVA = 1 AND ID_GRAD = " + from.toStdString(), "GRADOVI") == 1;
            QVERIFY2(now == from ? fromThere : (now == into && !fromThere), qPrintable(under.join(' ') + " " + now));
        }
        QVERIFY(reg::value(path, "SELECT count(*) FROM GRADOVI WHERE NAZIV LIKE 'T%'").toInt() >= 1);
    }

    // Waits, up to 30 s, for the server to end a killed desk's connection
    // (desks only: the server's own autovacuum works on the merged tables
    // too, for as long as it takes). One still there then, on a machine
    // busy with other tests, is said on stderr with what it was doing, and
    // ended: a transaction it had under way is taken back whole, which the
    // test's own check of the register then sees as any other.
    static void waitForKilledDesk(const QString& path)
    {
        const std::string others = "FROM pg_stat_activity WHERE datname = current_database() "
                                   "AND pid <> pg_backend_pid() AND backend_type = 'client backend'";
        QDeadlineTimer limit(30000);
        while (reg::value(path, "SELECT count(*) " + others) != "0" && !limit.hasExpired())
            QTest::qWait(50);
        const QString left = reg::value(path, "SELECT string_agg(state || ' ' || coalesce(wait_event_type, '-') || "
                                              "' ' || coalesce(wait_event, '-') || ': ' || left(query, 80), '; ') "
                                              + others);
        if (left.isEmpty())
            return;
        std::fprintf(stderr, "a killed desk's connection lasted over 30 s: %s\n", qPrintable(left));
        reg::exec(path, "SELECT pg_terminate_backend(pid, 10000) " + others);
    }

    // The dialog's rename, the place renamed at another desk meanwhile:
    // the question, "go on editing", and the name asked again then goes
    // over the other desk's (it was asked again and again before).
    void renameGoesOnAfterTheQuestion()
    {
        const QString path = fresh();
        Desk mine(path), theirs(path);
        BoxWatcher boxes;
        boxes.keys = {QKeyCombination(Qt::AltModifier, Qt::Key_I)}; // "Nastavi izmenu"
        TPlacesDialog dialog(mine.places, true, 1, nullptr);
        auto* list = dialog.findChild<QTreeWidget*>("PlacesList");
        list->setCurrentItem(list->findItems("Niš", Qt::MatchExactly).front());
        theirs.places.rename(theirs.city(1, "Niš"), "Nis");
        answerInput([](QInputDialog* input) {
            input->setTextValue("Niš grad");
            input->accept();
            answerInput([](QInputDialog* again) {
                again->setTextValue("Grad Niš");
                again->accept();
            });
        });
        dialog.show();
        dialog.activateWindow();
        QTRY_COMPARE(QApplication::focusWidget(), list);
        QTest::keyClick(list, Qt::Key_F2);
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY(boxes.texts.front().contains("\u2068Nis\u2069"));
        QCOMPARE(reg::value(path, "SELECT NAZIV FROM GRADOVI WHERE ID_GRAD = 3"), QString("Grad Niš"));
        QVERIFY(dialog.changed());
    }

    // In the window: a city the register lacks, typed into the city box,
    // is offered, added, and saved with the person; a beginning typed
    // in another case picks the one city it begins.
    void typedCityIsAddedOrFound()
    {
        BoxWatcher boxes;
        auto form = openWindow();
        QVERIFY(form->ADOQuery1->Locate("ID", 1, {})); // in Srbija
        click(form.get(), nbEdit);
        form->DBLookupComboBox2->setFocus(Qt::TabFocusReason);
        typeText(form->DBLookupComboBox2, "Novi P");
        QVERIFY(form->DBLookupComboBox2->notice().contains("Novi P"));
        QString asked;
        answerInput([&](QInputDialog* input) {
            asked = input->textValue();
            input->setTextValue("Novi Pazar");
            input->accept();
        });
        QTest::keyClick(form->DBLookupComboBox2, Qt::Key_Return);
        QCOMPARE(asked, QString("Novi P"));
        QCOMPARE(form->DBLookupComboBox2->currentText(), QString("Novi Pazar"));
        click(form.get(), nbPost);
        QCOMPARE(reg::value(registerPath(), "SELECT G.NAZIV FROM PODACI P JOIN GRADOVI G ON G.ID_DRZAVA = P.ID_DRZAVA "
                                            "AND G.ID_GRAD = P.ID_GRAD WHERE P.ID = 1"),
                 QString("Novi Pazar"));
        QCOMPARE(form->ADOQuery1GRADOVINaziv->Text(), QString("Novi Pazar"));
        // Back from the dialogs, as a window manager hands the window back.
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));

        QVERIFY(form->ADOQuery1->Locate("ID", 4, {})); // in Hrvatska
        form->DBLookupComboBox2->setFocus(Qt::TabFocusReason);
        typeText(form->DBLookupComboBox2, "zag");
        QTest::keyClick(form->DBLookupComboBox2, Qt::Key_Return);
        QCOMPARE(form->DBLookupComboBox2->currentText(), QString("Zagreb"));
        QCOMPARE(form->DBEdit4->Text(), QString("1"));
        // A beginning that names nothing refuses the save, and chooses nothing.
        form->DBLookupComboBox2->lineEdit()->selectAll();
        typeText(form->DBLookupComboBox2, "Zg");
        form->DBEdit1->setFocus();
        QCOMPARE(form->DBLookupComboBox2->currentText(), QString("Zg"));
        click(form.get(), nbPost);
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY(boxes.texts.front().startsWith("\u201E\u2068Zg\u2069\u201D nije na spisku"));
        QCOMPARE(form->ADOQuery1->State(), dsEdit);
        QCOMPARE(reg::value(registerPath(), "SELECT ID_GRAD FROM PODACI WHERE ID = 4"), QString("2"));
    }

    // Escape in an open list closes it and keeps everything typed; the
    // next Escape takes back the box's typing; only then does Escape
    // reach the navigator.
    void escapeClosesTheListOnly()
    {
        BoxWatcher boxes;
        auto form = openWindow();
        click(form.get(), nbInsert);
        typeText(form->DBEdit1, "Vera");
        form->DBLookupComboBox1->setFocus(Qt::TabFocusReason);
        typeText(form->DBLookupComboBox1, "Hr");
        QTest::keyClick(form->DBLookupComboBox1, Qt::Key_Return);
        // The box's own list, opened from the keyboard.
        form->DBLookupComboBox2->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form->DBLookupComboBox2, Qt::Key_Down, Qt::AltModifier);
        QTRY_VERIFY(form->DBLookupComboBox2->view()->isVisible());
        QTest::keyClick(form->DBLookupComboBox2->view(), Qt::Key_Escape);
        QTRY_VERIFY(!form->DBLookupComboBox2->view()->isVisible());
        QCOMPARE(form->ADOQuery1->State(), dsInsert);
        // The names found for what is typed.
        typeText(form->DBLookupComboBox2, "Z");
        QCOMPARE(form->DBLookupComboBox2->findChild<QCompleter*>()->completionCount(), 1);
        QTest::keyClick(form->DBLookupComboBox2, Qt::Key_Escape);
        QCOMPARE(form->ADOQuery1->State(), dsInsert);
        QCOMPARE(form->DBLookupComboBox2->currentText(), QString("Z"));
        QTest::keyClick(form->DBLookupComboBox2, Qt::Key_Escape);
        QCOMPARE(form->DBLookupComboBox2->currentText(), QString());
        QCOMPARE(form->ADOQuery1->State(), dsInsert);
        QCOMPARE(form->DBEdit1->Text(), QString("Vera"));
        QCOMPARE(form->DBEdit3->Text(), QString("2"));
        QCOMPARE(boxes.texts, QStringList());
    }

    // "..." opens the cities of the person's country, with their persons;
    // a merge there shows at once in the list, the boxes and the search.
    void dialogChangesShowAtOnce()
    {
        BoxWatcher boxes(QMessageBox::Yes);
        auto form = openWindow();
        QVERIFY(form->ADOQuery1->Locate("ID", 2, {})); // Ana, Šabac
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TPlacesDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            auto* list = dialog->findChild<QTreeWidget*>("PlacesList");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                shown << list->topLevelItem(i)->text(0) + " " + list->topLevelItem(i)->text(1);
            list->setCurrentItem(list->findItems("Šabac", Qt::MatchExactly).front());
            answerInput([](QInputDialog* input) {
                input->setTextValue(input->comboBoxItems().filter("Beograd").front());
                input->accept();
            });
            QTRY_COMPARE(QApplication::focusWidget(), list);
            QTest::keyClick(list, Qt::Key_M, Qt::ControlModifier);
            QTest::keyClick(list, Qt::Key_Escape);
        });
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(shown, (QStringList{"Beograd 1", "Niš 0", "Šabac 1"}));
        QCOMPARE(reg::value(registerPath(), "SELECT ID_GRAD FROM PODACI WHERE ID = 2"), QString("1"));
        QCOMPARE(boxes.texts, QStringList());
        QTRY_COMPARE(form->ADOQuery1->Active() ? form->ADOQuery1GRADOVINaziv->Text() : QString(), QString("Beograd"));
        QCOMPARE(form->ADOQuery1ID->AsInteger(), 2);
        retype(form->Edit4, "Š");
        QTRY_COMPARE(form->ADOQuery1->Active() ? form->ADOQuery1->RecordCount() : -1, 0);
    }
};

// The copy of this program that killedMidMergeLosesNobody kills: merges the
// persons of one city into a new one, again and again, until it dies.
int mergeForever(const QString& path)
{
    Desk desk(path);
    const int number = reg::value(path, "SELECT ID_GRAD FROM PODACI WHERE Ime = 'K' LIMIT 1").toInt();
    Place previous;
    for (const Place& city : desk.places.cities(1))
        if (city.number == number)
            previous = city;
    for (int n = 0;; ++n) {
        const Place next = desk.places.add(true, 1, QString("T%1-%2").arg(QCoreApplication::applicationPid()).arg(n).toStdString());
        std::printf("MERGING %d %d\n", int(previous.number), int(next.number));
        std::fflush(stdout);
        desk.places.merge(previous, next);
        previous = next;
    }
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--merge-forever") == 0) {
        QCoreApplication app(argc, argv);
        return mergeForever(QString::fromLocal8Bit(argv[2]));
    }
    PlacesTest test;
    return window_test::run(&test, argc, argv);
}

#include "PlacesTest.moc"
