// The main window as a person uses it to find people: keys typed into the
// search boxes, the button clicked, and what the window then shows (the list,
// the status line, the column widths, message boxes), with the statement
// each search ran.

#include "ImportDialog.h"
#include "WindowTest.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWizard>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace window_test;
namespace reg = test_register;

namespace {

const QString Base =
    "SELECT PODACI.ID, PODACI.ID_DRZAVA, PODACI.ID_GRAD, PODACI.Ime, PODACI.Prezime, DRZAVE.Naziv, GRADOVI.Naziv\n"
    "FROM PODACI, DRZAVE, GRADOVI\n"
    "WHERE DRZAVE.ID = GRADOVI.ID_DRZAVA AND (GRADOVI.ID_DRZAVA = PODACI.ID_DRZAVA AND GRADOVI.ID_GRAD = "
    "PODACI.ID_GRAD)";

QStringList ids(TForm1* form)
{
    QStringList result;
    for (const QString& row : listRows(form))
        result << row.section(' ', 0, 0);
    return result;
}

QList<int> widths(TForm1* form)
{
    QList<int> w;
    for (int c = 0; c < 7; ++c)
        w << form->DBGrid1->columnWidth(c);
    return w;
}

// Counts the searches a window runs: each one closes the list first.
struct SearchCounter {
    int searches = 0;
    explicit SearchCounter(TForm1* form) : m_form(form), m_handler(form->DataSource1->OnDataChange)
    {
        form->DataSource1->OnDataChange = [this, form](QObject* sender, TField* field) {
            m_handler(sender, field);
            if (form->ADOQuery1->State() == dsInactive)
                ++searches;
        };
    }
    ~SearchCounter() { m_form->DataSource1->OnDataChange = m_handler; }

private:
    TForm1* m_form;
    std::function<void(QObject*, TField*)> m_handler;
};

} // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { failOnWarnings(); }

    void statementFollowsTheBoxes_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("statement");
        QTest::newRow("all empty") << QStringList{"", "", "", ""} << Base + "ORDER BY DRZAVE.Naziv";
        QTest::newRow("first name") << QStringList{"Ma", "", "", ""}
                                    << Base + "\n AND PODACI.Ime LIKE 'Ma%'ORDER BY DRZAVE.Naziv";
        QTest::newRow("city alone, no blank before AND")
            << QStringList{"", "", "", "Be"} << Base + "\nAND GRADOVI.Naziv LIKE 'Be%'ORDER BY DRZAVE.Naziv";
        QTest::newRow("first name and country")
            << QStringList{"Ma", "", "Sr", ""}
            << Base + "\n AND PODACI.Ime LIKE 'Ma%'AND DRZAVE.Naziv LIKE 'Sr%'ORDER BY DRZAVE.Naziv";
        QTest::newRow("all four")
            << QStringList{"T", "U", "V", "W"}
            << Base + "\n AND PODACI.Ime LIKE 'T%' AND PODACI.Prezime LIKE 'U%'AND DRZAVE.Naziv LIKE 'V%'"
                      "AND GRADOVI.Naziv LIKE 'W%'ORDER BY DRZAVE.Naziv";
        QTest::newRow("a blank is a filter") << QStringList{" ", "", "", ""}
                                             << Base + "\n AND PODACI.Ime LIKE ' %'ORDER BY DRZAVE.Naziv";
        QTest::newRow("apostrophe written twice")
            << QStringList{"", "O'Br", "", ""} << Base + "\n AND PODACI.Prezime LIKE 'O''Br%'ORDER BY DRZAVE.Naziv";
        QTest::newRow("text that tries to end the pattern")
            << QStringList{"x' OR 1=1 --", "", "", ""}
            << Base + "\n AND PODACI.Ime LIKE 'x'' OR 1=1 --%'ORDER BY DRZAVE.Naziv";
    }

    void statementFollowsTheBoxes()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, statement);
        auto form = openWindow();
        TEdit* boxes[] = {form->Edit1, form->Edit2, form->Edit3, form->Edit4};
        for (int i = 0; i < 4; ++i)
            boxes[i]->setText(texts[i]);
        QCOMPARE(form->ADOQuery1->SQL().Count(), 1);
        QCOMPARE(QString::fromStdString(form->ADOQuery1->SQL()[0]), statement);
        QVERIFY(form->ADOQuery1->Active()); // no text makes the statement fail
    }

    void typedPrefixesNarrowTheList_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("đ finds Đorđe") << 0 << "đ" << QStringList{"1"};
        QTest::newRow("capital Ž") << 0 << "ŽE" << QStringList{"4"};
        QTest::newRow("cyrillic, either case") << 0 << "јЕЛ" << QStringList{"5"};
        QTest::newRow("surname with apostrophe") << 1 << "o'b" << QStringList{"7"};
        QTest::newRow("country") << 2 << "hr" << QStringList{"3", "4"};
        QTest::newRow("city, cyrillic") << 3 << "жаб" << QStringList{"5"};
        QTest::newRow("percent matches any run") << 0 << "%o" << QStringList{"3", "4", "1"};
        QTest::newRow("underscore matches one letter") << 0 << "_arko" << QStringList{"3"};
        QTest::newRow("nobody") << 1 << "Qu" << QStringList{};
    }

    void typedPrefixesNarrowTheList()
    {
        QFETCH(int, box);
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        auto form = openWindow();
        QCOMPARE(ids(form.get()).size(), 6); // everybody but the person without a city
        TEdit* boxes[] = {form->Edit1, form->Edit2, form->Edit3, form->Edit4};
        boxes[box]->setFocus();
        typeText(boxes[box], typed);
        QCOMPARE(ids(form.get()), shown);
        QCOMPARE(form->StatusBar1->SimpleText(),
                 QString("Browse [%1/%2]").arg(shown.isEmpty() ? 0 : 1).arg(shown.size()));
    }

    void statusLineTellsTheStateOfTheList()
    {
        BoxWatcher boxes;
        auto form = openWindow();
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [1/6]"));
        form->DBGrid1->setFocus();
        QTest::keyClick(form->DBGrid1, Qt::Key_Down);
        QTest::keyClick(form->DBGrid1, Qt::Key_Down);
        QTRY_COMPARE(form->StatusBar1->SimpleText(), QString("Browse [3/6]"));
        QCOMPARE(form->ADOQuery1->RecNo(), 3);
        QCOMPARE(form->DBEdit1->Text(), QString::fromStdString(form->ADOQuery1Ime->AsString()));
        form->ADOQuery1->Edit();
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Edit"));
        form->ADOQuery1->Cancel();
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [3/6]"));

        // A search the database cannot run: one message with its words, an
        // empty list, and the boxes as typed.
        reg::exec(registerPath(), "DROP TABLE PODACI");
        typeText(form->Edit2, "P");
        QTRY_COMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts[0].contains(reg::onServer() ? "\"podaci\" does not exist" : "no such table: PODACI"),
                 qPrintable(boxes.texts[0]));
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Inactive"));
        QCOMPARE(form->DBGrid1->model()->rowCount(), 0);
        QCOMPARE(form->Edit2->Text(), QString("P"));
        QTest::qWait(50); // no second message follows
        QCOMPARE(boxes.texts.size(), 1);
    }

    // A list left closed by a read that failed, as a lost connection leaves
    // it, is read again by F5 and by the navigator's button as a search
    // reads it; while the persons still cannot be read, each try says so
    // once and the list stays closed.
    void refreshReadsAClosedListAgain_data()
    {
        QTest::addColumn<bool>("searchFailed"); // else a refresh failed
        QTest::addColumn<bool>("byKey");        // F5, else the button
        QTest::newRow("failed search, F5") << true << true;
        QTest::newRow("failed refresh, the button") << false << false;
    }

    void refreshReadsAClosedListAgain()
    {
        QFETCH(bool, searchFailed);
        QFETCH(bool, byKey);
        BoxWatcher boxes;
        auto form = openWindow();
        typeText(form->Edit3, "H");
        const auto refresh = [&] {
            if (!byKey)
                return click(form.get(), nbRefresh);
            form->activateWindow(); // back from a message, as a window manager gives it back
            QVERIFY(QTest::qWaitForWindowActive(form.get()));
            form->DBGrid1->setFocus();
            QTest::keyClick(form->DBGrid1, Qt::Key_F5);
        };
        // The register changed, and its persons cannot be read.
        reg::exec(registerPath(), "UPDATE DRZAVE SET NAZIV = NAZIV; ALTER TABLE PODACI RENAME TO PODACI_NEKAD");
        if (searchFailed)
            typeText(form->Edit3, "r");
        else
            refresh();
        QTRY_COMPARE(boxes.texts.size(), 1);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Inactive"));
        refresh();
        QTRY_COMPARE(boxes.texts.size(), 2);
        for (const QString& text : boxes.texts)
            QVERIFY2(text.contains(reg::onServer() ? "\"podaci\" does not exist" : "no such table: PODACI"),
                     qPrintable(text));
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Inactive"));

        reg::exec(registerPath(), "ALTER TABLE PODACI_NEKAD RENAME TO PODACI");
        refresh();
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [1/2]"));
        QCOMPARE(ids(form.get()), (QStringList{"3", "4"}));
        QTest::qWait(50); // no message follows
        QCOMPARE(boxes.texts.size(), 2);
    }

    // A register named with its password opens, with the commands' warning
    // in a sign beside the status line; named without one, no sign.
    void passwordInTheNameIsWarnedOf_data()
    {
        QTest::addColumn<QString>("password"); // where the name gives it
        QTest::newRow("none") << QString();
        if (reg::onServer()) {
            QTest::newRow("in the URI") << "uri";
            QTest::newRow("as a setting") << "setting";
        }
    }

    void passwordInTheNameIsWarnedOf()
    {
        QFETCH(QString, password);
        QString name = reg::location(registerPath());
        if (password == "uri")
            name.replace("://postgres@", "://postgres:tajna@"); // the tests' server trusts postgres
        else if (password == "setting")
            name += "?password=tajna";
        auto form = openWindow(reg::Schema::Full, {}, name);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [1/6]"));
        auto* sign = form->StatusBar1->findChild<QLabel*>("PasswordSign");
        QCOMPARE(sign != nullptr, !password.isEmpty());
        if (!sign)
            return;
        QVERIFY(sign->isVisible());
        QCOMPARE(sign->toolTip(), QString("Upozorenje: lozinka u imenu registra vidljiva je svakom korisniku ovog "
                                          "računara (u spisku procesa). Stavite je u ~/.pgpass, ili je izostavite, "
                                          "pa će biti tražena."));
        QCOMPARE(sign->accessibleDescription(), sign->toolTip());
    }

    void columnWidthsAreSetOnlyWhenRowsCame()
    {
        auto form = openWindow();
        QCOMPARE(widths(form.get()), (QList<int>{35, 35, 35, 90, 90, 120, 120}));
        for (int c = 0; c < 7; ++c)
            form->DBGrid1->setColumnWidth(c, 50);
        form->Edit1->setText("Nobody");
        QCOMPARE(widths(form.get()), (QList<int>{50, 50, 50, 50, 50, 50, 50}));
        form->Edit1->setText("M");
        QCOMPARE(widths(form.get()), (QList<int>{35, 35, 35, 90, 90, 120, 120}));
    }

    void searchTellsTheListOnlyWhatChanged()
    {
        auto form = openWindow();
        QAbstractItemModel* model = form->DBGrid1->model();
        form->DBGrid1->setFocus();
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(form->DBGrid1, Qt::Key_Down);
        QTRY_COMPARE(form->ADOQuery1->RecNo(), 5);
        QSignalSpy resets(model, &QAbstractItemModel::modelReset);
        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy marks(model, &QAbstractItemModel::headerDataChanged);

        // Fewer rows than the row the user stood on: the rows go from the
        // end, and the view, which loses its current row, does not move the
        // list on its own (the search puts it on its first row).
        form->Edit3->setFocus();
        QTest::keyClick(form->Edit3, Qt::Key_H);
        QTRY_COMPARE(ids(form.get()), (QStringList{"3", "4"}));
        QCOMPARE(form->ADOQuery1->RecNo(), 1);
        QCOMPARE(form->DBGrid1->currentIndex().row(), 0);
        QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QString("\u25B6"));
        QCOMPARE(model->headerData(1, Qt::Vertical).toString(), QString());
        QCOMPARE(removed.count(), 1);
        QCOMPARE(resets.count(), 0);

        // The same rows again: the list's shape and its mark stay as they are.
        removed.clear();
        marks.clear();
        QTest::keyClick(form->Edit3, Qt::Key_R);
        QTRY_COMPARE(ids(form.get()), (QStringList{"3", "4"}));
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [1/2]"));
        QCOMPARE(removed.count(), 0);
        QCOMPARE(marks.count(), 0);
        QCOMPARE(resets.count(), 0);

        // The mark changes its kind where it stands, and moves with the row.
        form->ADOQuery1->Edit();
        QCOMPARE(marks.count(), 1);
        QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QString("I"));
        form->ADOQuery1->Cancel();
        QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QString("\u25B6"));
        marks.clear();
        form->ADOQuery1->Next();
        QCOMPARE(marks.count(), 2); // where it was, where it is
        QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QString());
        QCOMPARE(model->headerData(1, Qt::Vertical).toString(), QString("\u25B6"));
        QCOMPARE(form->DBGrid1->currentIndex().row(), 1);
    }

    void newSearchEmptiesTheBoxesOneSearchEach()
    {
        auto form = openWindow();
        form->Edit1->setText("Đ");
        form->Edit4->setText("Be");
        QCOMPARE(ids(form.get()), QStringList{"1"});
        SearchCounter counter(form.get());
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(counter.searches, 2); // the first with the city alone, the second with nothing
        QCOMPARE(QString::fromStdString(form->ADOQuery1->SQL()[0]), Base + "ORDER BY DRZAVE.Naziv");
        for (TEdit* box : {form->Edit1, form->Edit2, form->Edit3, form->Edit4})
            QCOMPARE(box->Text(), QString());
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(counter.searches, 2); // nothing to empty: no search
        form->Edit3->setText(""); // the same text again is no change
        QCOMPARE(counter.searches, 2);
        QCOMPARE(ids(form.get()).size(), 6);
    }

    void activationSearchesOnlyWhenTheWindowIsFirstShown()
    {
        reg::create(registerPath());
        TForm1 form(TApplication::instance());
        QSignalSpy activations(&form, &TForm::OnActivate);
        QCOMPARE(form.ADOQuery1->Active(), false); // nothing read before the window shows
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(activations.size(), 1);
        // On a server the first list comes in the background.
        QTRY_COMPARE(form.ADOQuery1->Active() ? form.ADOQuery1->RecordCount() : -1, 6);
        {
            BoxWatcher boxes;
            ShowMessage(QStringLiteral("Poruka"));
            QCOMPARE(boxes.texts, QStringList{"Poruka"});
        }
        QTest::qWait(50); // no second activation follows
        QCOMPARE(activations.size(), 1);
    }

    void exitButtonClosesTheWindow()
    {
        auto form = openWindow();
        QSignalSpy closed(form.get(), &TForm::closed);
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QCOMPARE(closed.size(), 1);
        QVERIFY(!form->isVisible());
        QCOMPARE(reg::count(registerPath()), 7); // closing saves and asks nothing
    }

    void tabWalksTheAreasInOrder()
    {
        auto form = openWindow();
        QStringList chain;
        QWidget* w = form->DBGrid1;
        do {
            // A lookup box's line for typing is the box's own.
            if (w->focusPolicy() & Qt::TabFocus && !qobject_cast<QComboBox*>(w->parentWidget())) {
                const QString name = w->objectName().isEmpty() ? w->parentWidget()->objectName() : w->objectName();
                chain << name;
            }
            w = w->nextInFocusChain();
        } while (w != form->DBGrid1);
        QStringList expected{"DBGrid1", "Button1", "Edit1", "Edit2", "Edit3", "Edit4", "DBEdit1", "DBEdit2",
                             "DBEdit3", "DBEdit4", "DBLookupComboBox1", "Button3", "DBLookupComboBox2", "Button4"};
        for (int i = 0; i < 10; ++i)
            expected << "DBNavigator1";
        expected << "Button2";
        QCOMPARE(chain, expected);
    }

    void screenReadersHearWhatEachControlIs()
    {
        auto form = openWindow();
        auto name = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
        QCOMPARE(name(form->Edit1), QString("Ime"));
        QCOMPARE(name(form->Edit3), QString("Država"));
        QCOMPARE(name(form->DBEdit2), QString("Prezime"));
        QCOMPARE(name(form->DBEdit4), QString("Grad, broj"));
        // A drop-down list speaks its choice; the label beside it names it.
        const auto labels = QAccessible::queryAccessibleInterface(form->DBLookupComboBox2)->relations(QAccessible::Label);
        QVERIFY(!labels.isEmpty());
        QCOMPARE(labels.first().first->text(QAccessible::Name), QString("Grad"));
        QCOMPARE(name(form->DBGrid1), QString("Lista osoba"));
        QCOMPARE(name(form->StatusBar1), QString("Stanje liste"));
        QCOMPARE(name(form->DBNavigator1->button(nbPost)), QString("Sačuvaj izmene"));
        QCOMPARE(form->Label1->buddy(), form->Edit1);
        // The status text and the list's cells are there to be read.
        QAccessibleInterface* status = QAccessible::queryAccessibleInterface(form->StatusBar1);
        bool found = false;
        for (int i = 0; i < status->childCount(); ++i)
            found = found || status->child(i)->text(QAccessible::Name) == "Browse [1/6]";
        QVERIFY(found);
        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(form->DBGrid1);
        QVERIFY(grid->tableInterface());
        QCOMPARE(grid->tableInterface()->cellAt(0, 3)->text(QAccessible::Name),
                 form->DBGrid1->model()->index(0, 3).data().toString());
    }

    // Ctrl+E from a search box takes out the list as it shows now, under
    // the name given in the save dialog; the list's context menu offers
    // the same.
    void exportTakesOutTheListShown()
    {
        auto form = openWindow();
        typeText(form->Edit3, "Hr");
        const QStringList shown = listRows(form.get());
        QCOMPARE(shown.size(), 2);
        QAction* offered = form->DBGrid1->actions().value(0);
        QVERIFY(offered && offered->text() == "&Izvezi listu…" && form->DBGrid1->contextMenuPolicy() == Qt::ActionsContextMenu);
        // A folder of its own: the same test on a server runs beside it.
        const QTemporaryDir folder;
        const QString path = folder.filePath("lista.csv");
        QTimer naming;
        connect(&naming, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                    dialog->selectFile(path);
                    static_cast<QDialog*>(dialog)->accept(); // as its Save button does
                }
        });
        naming.start(10);
        QTest::keyClick(form->Edit3, Qt::Key_E, Qt::ControlModifier);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // titles, two persons, and after the last line's end
        QVERIFY(lines[0].startsWith("\xEF\xBB\xBF\"ID\",\"ID_DRZAVA\""));
        for (int r = 0; r < 2; ++r) // the same persons in the same order
            QVERIFY2(lines[r + 1].startsWith(shown[r].section(' ', 0, 0).toUtf8() + ","), lines[r + 1].constData());
        QVERIFY(QString::fromUtf8(lines[1] + lines[2]).contains("Horvat"));
    }

    // Ctrl+I brings persons in from a list chosen in the open dialog: the
    // columns as the titles say, then the preview, where the unknown city
    // is named with its row and added when the person says so; the list
    // then shows the persons, and the same list again is all there.
    void importBringsPersonsInAfterAPreview()
    {
        BoxWatcher boxes;
        auto form = openWindow();
        const QTemporaryDir folder;
        const QString path = folder.filePath("osobe.csv");
        QFile list(path);
        QVERIFY(list.open(QIODevice::WriteOnly) && list.write("Ime;Prezime;Država;Grad\nUna;Uvezena;Srbija;Niš\nUla;Uvezena;srbija;Sombor\n") > 0);
        list.close();
        QStringList previews;
        bool addPlaces = true;
        QTimer answering;
        connect(&answering, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                    // The path typed into its name box, and Enter, as a person does.
                    if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"); name && name->text() != path) {
                        name->setText(path);
                        QTest::keyClick(name, Qt::Key_Return);
                    }
                } else if (auto* wizard = qobject_cast<TImportDialog*>(w); wizard && wizard->isVisible()) {
                    if (wizard->currentId() == 0) {
                        wizard->next();
                        continue;
                    }
                    auto* preview = wizard->findChild<QPlainTextEdit*>();
                    previews << preview->toPlainText();
                    for (QCheckBox* box : wizard->findChildren<QCheckBox*>())
                        if (box->text().startsWith("Dodaj"))
                            box->setChecked(addPlaces);
                    wizard->button(QWizard::FinishButton)->click();
                }
            }
        });
        answering.start(10);
        const int before = form->ADOQuery1->RecordCount();
        QTest::keyClick(form->Edit1, Qt::Key_I, Qt::ControlModifier);
        QVERIFY2(previews.size() == 1, qPrintable(boxes.texts.join('|')));
        QVERIFY2(previews[0].contains("Nije u registru: grad „Sombor” (Srbija), u redovima 3; ti redovi se ostavljaju po strani."),
                 qPrintable(previews[0]));
        QCOMPARE(boxes.texts, QStringList{"Upisano je novih osoba: 2."});
        QTRY_COMPARE(form->ADOQuery1->RecordCount(), before + 2);
        typeText(form->Edit2, "Uvez");
        QTRY_COMPARE(listRows(form.get()).size(), 2);
        form->activateWindow(); // as it is once the message is answered
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form->Edit2, Qt::Key_I, Qt::ControlModifier);
        QVERIFY2(previews.size() == 2, qPrintable(boxes.texts.join('|')));
        QVERIFY2(previews[1].contains("Nove osobe: 0.\nKao osobe koje već postoje (isto ime, prezime i grad): 2, u "
                                      "redovima 2, 3; preskaču se."),
                 qPrintable(previews[1]));
        // A person being changed is never lost under the list read again.
        retype(form->DBEdit1, "Nedovršena");
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form->DBEdit1, Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(previews.size(), 2);
        QVERIFY2(boxes.texts.last().startsWith("Osoba se upravo menja"), qPrintable(boxes.texts.last()));
        QCOMPARE(form->DBEdit1->text(), QString("Nedovršena"));
    }

    // Ctrl+P shows the list in the print preview; a list of more than a
    // hundred pages asks first, and a no shows nothing.
    void printShowsTheListInThePreview_data()
    {
        QTest::addColumn<int>("added"); // persons beside the sample's
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("pages"); // in the preview; 0: none shown
        QTest::newRow("a page") << 0 << 0 << 1;
        QTest::newRow("many pages, declined") << 7000 << 1 << 0;
    }

    void printShowsTheListInThePreview()
    {
        QFETCH(int, added);
        QFETCH(int, questions);
        QFETCH(int, pages);
        const std::string numbers = test_register::onServer()
                                      ? "generate_series(1, " + std::to_string(added) + ") AS x"
                                      : "(WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < "
                                            + std::to_string(added) + ") SELECT x FROM n)";
        auto form = openWindow(test_register::Schema::Full,
                               added ? "INSERT INTO PODACI (ID_DRZAVA, ID_GRAD, Ime, Prezime) SELECT 1, 1, 'Ana', "
                                       "'X' || x FROM " + numbers
                                     : std::string());
        if (!added)
            typeText(form->Edit3, "Hr");
        QAction* offered = form->DBGrid1->actions().value(1);
        QVERIFY(offered && offered->text() == "Š&tampaj listu…");
        BoxWatcher boxes;
        boxes.keys = {QKeyCombination(Qt::Key_Escape)};
        int shown = 0;
        QTimer looking;
        connect(&looking, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* preview = qobject_cast<QPrintPreviewDialog*>(w); preview && preview->isVisible()) {
                    shown = preview->findChild<QPrintPreviewWidget*>()->pageCount();
                    preview->reject();
                }
        });
        looking.start(10);
        QTest::keyClick(form->DBGrid1, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(boxes.texts.size(), questions);
        QVERIFY(!questions || boxes.texts[0].contains(" strana"));
        QCOMPARE(shown, pages);
    }
};

WINDOW_TEST_MAIN(SearchWindowTest)
#include "SearchWindowTest.moc"
