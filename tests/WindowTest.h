#pragma once
// Support for tests that drive the real main window: the register beside the
// test program (where the window looks for it), the window made as the
// program makes it, and a watcher that answers modal boxes as a person would,
// counting them.

#include "Application.h"
#include "Dialogs.h"
#include "TestRegister.h"
#include "Unit1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

namespace window_test {

// The register the window opens: proba.mdb beside the test program.
QString registerPath();

// Answers every modal box that appears: with the next of keys, typed as a
// person types (a mnemonic, Escape), while there are any; else the button
// answer (Ok, Yes, No ...) if the box has it, else its first button. Keeps
// the texts, and those of the buttons it pressed. beforeAnswer, if set,
// runs with the box's number (from 0) before it is answered.
class BoxWatcher : public QObject {
public:
    explicit BoxWatcher(QMessageBox::StandardButton answer = QMessageBox::Ok);
    QStringList texts;
    QStringList pressed;
    QMessageBox::StandardButton answer;
    QList<QKeyCombination> keys;
    std::function<void(int)> beforeAnswer;

private:
    QTimer m_timer;
};

// A fresh sample register (with extraSql run on it) and the window on it,
// shown and activated; opened by the name as, when given (another role's
// URI for the same database, say).
std::unique_ptr<TForm1> openWindow(test_register::Schema schema = test_register::Schema::Full,
                                   const std::string& extraSql = {}, const QString& as = {});

// Types text into widget key by key, as a keyboard would, letters of any
// script included.
void typeText(QWidget* widget, const QString& text);

// Clicks a navigator button, which must be enabled.
void click(TForm1* form, TNavigateBtn button);

// Replaces the text of a box as a person would: select all, then type (or
// delete, for an empty text).
void retype(QWidget* box, const QString& text);

// The rows the list shows, as "ID first last", in order.
QStringList listRows(TForm1* form);

// Makes every warning of the running test fail it, but the offscreen
// platform's own: the window's layout binds handlers by name, and one that
// is misspelt is only a warning when the window is made. For init().
void failOnWarnings();

// Runs answer on the first window of type T that shows (a dialog the window
// opens modally), once: at the tick after it is first seen, when its own
// event loop waits for the answer.
template <typename T>
void answerWhenShown(std::function<void(T*)> answer)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* shown = qobject_cast<T*>(window); shown && shown->isVisible()) {
                if (!shown->property("seen").toBool()) {
                    shown->setProperty("seen", true);
                    return;
                }
                timer->stop();
                timer->deleteLater();
                answer(shown);
                return;
            }
    });
    timer->start();
}

// Starts the test program's TApplication, in the window's own language
// (Serbian), and runs the test object.
int run(QObject* test, int argc, char** argv);

} // namespace window_test

#define WINDOW_TEST_MAIN(TestClass)                                                                                    \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        TestClass test;                                                                                                \
        return window_test::run(&test, argc, argv);                                                                    \
    }
