// The main window for a person without a mouse or without sight: keys sent
// to the window as a keyboard sends them (so that shortcuts and mnemonics
// take part) reach every control in order both ways, the list lets Tab go
// after one row, and a person's whole job is done without a mouse; a screen
// reader finds a window with its title; the navigator's marks can be told
// from their buttons in a light theme and a dark one.

#include "WindowTest.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QTest>

using namespace window_test;
namespace reg = test_register;

namespace {

void press(TForm1* form, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(form->windowHandle(), Qt::Key(key), modifiers);
}

void type(TForm1* form, const QString& text)
{
    for (QChar c : text)
        QTest::keyClick(form->windowHandle(), c.toLatin1());
}

// What has the keyboard focus, by the control's name.
QString focused(TForm1* form)
{
    QWidget* w = QApplication::focusWidget();
    for (int b = nbFirst; b <= nbRefresh; ++b)
        if (w == form->DBNavigator1->button(TNavigateBtn(b)))
            return "navigator " + QString::number(b);
    return w ? w->objectName() : QString("nothing");
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void init() { failOnWarnings(); }

    // Tab goes round the whole window in the order of its areas, and
    // Shift+Tab the other way; in the list Tab moves along the current
    // row's columns and then leaves it, without moving to another person.
    void tabReachesEveryControlBothWays()
    {
        auto form = openWindow();
        form->ADOQuery1->setRecNo(2);
        form->DBGrid1->setFocus();
        const QStringList order = {"DBGrid1", "Button1", "Edit1", "Edit2", "Edit3", "Edit4", "DBEdit1", "DBEdit2",
                                   "DBEdit3", "DBEdit4", "DBLookupComboBox1", "Button3", "DBLookupComboBox2", "Button4",
                                   "navigator 0", "navigator 1", "navigator 2", "navigator 3", "navigator 4",
                                   "navigator 5", "navigator 6", "navigator 9", "Button2", "DBGrid1"};
        for (const bool forward : {true, false}) {
            QStringList visited{focused(form.get())};
            int tabsInList = 0;
            while (visited.size() < order.size() && tabsInList < 20) {
                press(form.get(), forward ? Qt::Key_Tab : Qt::Key_Backtab);
                if (focused(form.get()) == visited.last())
                    ++tabsInList;
                else
                    visited << focused(form.get());
            }
            QStringList expected = order;
            if (!forward)
                std::reverse(expected.begin(), expected.end());
            QCOMPARE(visited, expected);
            QCOMPARE(tabsInList, 6); // seven columns: six Tabs within the row
            QCOMPARE(form->ADOQuery1->RecNo(), 2);
        }

        // Ctrl+Tab leaves the list from any column, both ways.
        form->DBGrid1->setCurrentIndex(form->DBGrid1->model()->index(1, 3));
        press(form.get(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(focused(form.get()), QString("Button1"));
        form->DBGrid1->setFocus();
        press(form.get(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(focused(form.get()), QString("Button2"));
        QCOMPARE(form->ADOQuery1->RecNo(), 2);
    }

    // Search, move, edit, add with a country and a city chosen by name,
    // save, cancel, delete and leave, by keys alone.
    void wholeJobByKeys()
    {
        BoxWatcher boxes(QMessageBox::Yes);
        auto form = openWindow();
        form->DBGrid1->setFocus();

        press(form.get(), Qt::Key_I, Qt::AltModifier); // the first-name search box
        QCOMPARE(focused(form.get()), QString("Edit1"));
        type(form.get(), "an");
        QCOMPARE(form->ADOQuery1->RecordCount(), 1);
        press(form.get(), Qt::Key_N, Qt::AltModifier); // "Nova pretraga": at once, not after a pressed moment
        QCOMPARE(form->Edit1->Text(), QString());
        QVERIFY(form->Button1->isDown());
        QTRY_VERIFY(!form->Button1->isDown());
        QCOMPARE(form->ADOQuery1->RecordCount(), 6);

        press(form.get(), Qt::Key_End, Qt::AltModifier); // from the search box
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [6/6]"));
        press(form.get(), Qt::Key_PageUp, Qt::AltModifier);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Browse [5/6]"));
        const int id = form->ADOQuery1ID->AsInteger();

        // Edit: F2, type, save.
        press(form.get(), Qt::Key_F2);
        QCOMPARE(focused(form.get()), QString("DBEdit1"));
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Edit"));
        press(form.get(), Qt::Key_End);
        type(form.get(), "x");
        press(form.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(form->ADOQuery1->State(), dsBrowse);
        QCOMPARE(form->ADOQuery1ID->AsInteger(), id);
        QVERIFY(form->ADOQuery1Ime->Text().endsWith('x'));

        // Escape takes back what was typed into a box, then drops the edit.
        press(form.get(), Qt::Key_F2);
        type(form.get(), "y");
        press(form.get(), Qt::Key_Escape);
        QCOMPARE(form->ADOQuery1->State(), dsEdit);
        press(form.get(), Qt::Key_Escape);
        QCOMPARE(form->ADOQuery1->State(), dsBrowse);

        // A new person, country and city chosen by name from their boxes.
        press(form.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(form->StatusBar1->SimpleText(), QString("Insert"));
        type(form.get(), "Vera");
        press(form.get(), Qt::Key_E, Qt::AltModifier); // surname
        type(form.get(), "Vuk");
        press(form.get(), Qt::Key_R, Qt::AltModifier); // country box
        QCOMPARE(focused(form.get()), QString("DBLookupComboBox1"));
        type(form.get(), "Hr");
        press(form.get(), Qt::Key_A, Qt::AltModifier); // city box
        QCOMPARE(focused(form.get()), QString("DBLookupComboBox2"));
        type(form.get(), "Z");
        press(form.get(), Qt::Key_Return);
        QCOMPARE(form->DBLookupComboBox2->currentText(), QString("Zagreb"));
        press(form.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(boxes.texts, QStringList());
        QCOMPARE(reg::count(registerPath(), "Ime = 'Vera' AND Prezime = 'Vuk' AND ID_DRZAVA = 2 AND ID_GRAD = 1"), 1);
        QCOMPARE(form->ADOQuery1Ime->Text(), QString("Vera"));

        // Delete the person on the list, after the question.
        form->DBGrid1->setFocus();
        press(form.get(), Qt::Key_Delete, Qt::ControlModifier);
        QTRY_COMPARE(boxes.texts.size(), 1);
        QCOMPARE(reg::count(registerPath(), "Ime = 'Vera'"), 0);

        form->activateWindow(); // back from the question, as a window manager gives it back
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        press(form.get(), Qt::Key_L, Qt::AltModifier);    // "Izlaz"
        QTRY_VERIFY(!form->isVisible());
    }

    void windowIsAFrameWithItsTitle()
    {
        auto form = openWindow();
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form.get());
        QVERIFY(window);
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name), QString("Kolvara"));
    }

    // After each search a screen reader hears the list's settled state and
    // count as the description of the box being typed into (not the
    // "Inactive" a search passes through: Qt tells a screen reader of every
    // change of the focused control's description), and the box left says
    // nothing more.
    void statusReachesAScreenReaderAfterEachSearch()
    {
        auto form = openWindow();
        form->Edit1->setFocus();
        typeText(form->Edit1, "A");
        QTRY_COMPARE(form->Edit1->accessibleDescription(), QString("Browse [1/1]"));
        typeText(form->Edit1, "x");
        QTRY_COMPARE(form->Edit1->accessibleDescription(), QString("Browse [0/0]"));
        form->Edit2->setFocus();
        typeText(form->Edit2, "P");
        QTRY_COMPARE(form->Edit2->accessibleDescription(), QString("Browse [0/0]"));
        QCOMPARE(form->Edit1->accessibleDescription(), QString());
    }

    void marksStandOutFromTheirButtons_data()
    {
        QTest::addColumn<QColor>("button");
        QTest::newRow("light theme") << QColor("#efefef");
        QTest::newRow("dark theme") << QColor("#353535");
        QTest::newRow("black") << QColor(Qt::black);
        QTest::newRow("white") << QColor(Qt::white);
    }

    void marksStandOutFromTheirButtons()
    {
        QFETCH(QColor, button);
        const QPalette palette(button);
        for (int b = nbFirst; b <= nbRefresh; ++b) {
            const QColor mark = markColor(TNavigateBtn(b), palette);
            QVERIFY2(contrastRatio(mark, button) >= 4.5,
                     qPrintable(QString("button %1: %2 on %3").arg(b).arg(mark.name(), button.name())));
        }
        // Save stays green and cancel red, whatever the theme.
        QCOMPARE(markColor(nbPost, palette).hslHue(), 120);
        QCOMPARE(markColor(nbCancel, palette).hslHue(), 0);
    }
};

WINDOW_TEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
