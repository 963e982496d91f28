// One language at a time: the window in Serbian, its own, or in English
// when the desktop asks for it, Qt's own texts included; any other language
// gets the Serbian window.

#include "WindowTest.h"

#include <QMenu>
#include <QTest>

using namespace window_test;

class LanguageTest : public QObject {
    Q_OBJECT

private slots:
    void init() { failOnWarnings(); }
    void cleanup() { TApplication::instance()->useLanguage({"sr"}); }

    void desktopLanguageChoosesTheWindowsLanguage_data()
    {
        QTest::addColumn<QStringList>("desktop");
        QTest::addColumn<QString>("language");
        QTest::newRow("Serbian") << QStringList{"sr-RS", "sr"} << "sr";
        QTest::newRow("Serbian, Cyrillic locale") << QStringList{"sr-Cyrl-RS"} << "sr";
        QTest::newRow("English") << QStringList{"en-US", "en"} << "en";
        QTest::newRow("British English") << QStringList{"en-GB"} << "en";
        QTest::newRow("German") << QStringList{"de-DE", "de"} << "sr";
        QTest::newRow("German, then English") << QStringList{"de-DE", "en-GB"} << "en";
        QTest::newRow("none (C locale)") << QStringList{"C"} << "sr";
    }

    void desktopLanguageChoosesTheWindowsLanguage()
    {
        QFETCH(QStringList, desktop);
        QFETCH(QString, language);
        QCOMPARE(TApplication::instance()->useLanguage(desktop), language);
    }

    // What a person reads in each language: captions, a button's tooltip,
    // the questions, a box's own context menu; the status line's words are
    // the same in both.
    void windowSpeaksOneLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("sr") << "sr"
                            << QStringList{"&Ime", "&Nova pretraga", "Iz&laz", "Sačuvaj izmene (Ctrl+S)",
                                           "Obrisati osobu \u2068Јелена\u2069 \u2068Ђурић\u2069 (\u2068Жабљак\u2069, "
                                           "\u2068Crna Gora\u2069)?",
                                           "&Ne",
                                           "Izmene ove osobe nisu sačuvane. Da li da ih sačuvam pre izlaska?",
                                           "&Ostani", "Nije sačuvano: grad (država 3, grad 9) ne postoji u registru.",
                                           "Izaberi sve", "Browse [1/6]"};
        QTest::newRow("en") << "en"
                            << QStringList{"&Name", "New sea&rch", "E&xit", "Save the changes (Ctrl+S)",
                                           "Delete \u2068Јелена\u2069 \u2068Ђурић\u2069 (\u2068Жабљак\u2069, "
                                           "\u2068Crna Gora\u2069)?",
                                           "&No",
                                           "The changes to this person are not saved. Save them before leaving?",
                                           "S&tay", "Not saved: the city (country 3, city 9) is not in the register.",
                                           "Select All", "Browse [1/6]"};
    }

    void windowSpeaksOneLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, texts);
        TApplication::instance()->useLanguage({language});
        BoxWatcher boxes(QMessageBox::No);
        auto form = openWindow();
        QStringList seen{form->Label1->text(), form->Button1->text(), form->Button2->text(),
                         form->DBNavigator1->button(nbPost)->toolTip()};
        // Each caption beside the box it names ends a few pixels before it.
        for (QLabel* label : form->findChildren<QLabel*>())
            if (const QWidget* box = label->buddy(); box && box->x() > label->x() && box->y() <= label->y())
                QVERIFY2(label->x() + label->width() + 4 <= box->x(), qPrintable(label->text()));

        click(form.get(), nbDelete); // answered "no"
        QTRY_COMPARE(boxes.texts.size(), 1);
        seen << boxes.texts[0] << boxes.pressed[0];

        boxes.answer = QMessageBox::Cancel; // stay
        click(form.get(), nbEdit);
        typeText(form->DBEdit1, "a");
        form->close();
        QTRY_COMPARE(boxes.texts.size(), 2);
        seen << boxes.texts[1] << boxes.pressed[1];

        // A save refused: the message names the city and the country as a person does.
        boxes.answer = QMessageBox::Ok;
        retype(form->DBEdit4, "9");
        click(form.get(), nbPost);
        QTRY_COMPARE(boxes.texts.size(), 3);
        seen << boxes.texts[2];

        std::unique_ptr<QMenu> menu(form->Edit1->createStandardContextMenu());
        seen << menu->actions().last()->text().section(QLatin1Char('\t'), 0, 0); // without its keys
        click(form.get(), nbCancel);
        seen << form->StatusBar1->SimpleText();
        QCOMPARE(seen, texts);
    }

};

WINDOW_TEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
