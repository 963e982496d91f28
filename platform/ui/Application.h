#pragma once
// The application object: starts the toolkit, creates the main window, runs
// the event loop until that window closes, and shows what went wrong.
//
// An exception that escapes an event handler ends that handler (and the
// data-set operation that called it); the application shows its message in
// a modal box and the event loop goes on. No exception may unwind through
// Qt's own code (signal dispatch, event delivery): Qt leaves that undefined.
// So the data-set layer's events are plain callbacks, which may throw into
// the operation that called them; a control that calls into the data-set
// layer for the toolkit (a click, a key) does so inside guarded(); and a
// window's slot bound to a control's signal catches inside itself, with
// guarded(), before control returns to Qt. notify() is the last resort for
// whatever escapes anyway.

#include <QApplication>
#include "Language.h"

#include <QPointer>
#include <QWindow>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;
class TForm;

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    static TApplication* instance() { return static_cast<TApplication*>(QCoreApplication::instance()); }

    // Prepares the application before the first window is made.
    void Initialize();

    // Shows the program's texts, and Qt's, in the first language of
    // preferred (tags such as "en-US" or "sr") that the program has,
    // Serbian or English; in Serbian, the program's own, when it has none of
    // them. The application uses the desktop's list from the start. Returns
    // the language chosen ("sr" or "en"). Windows made afterwards show it.
    QString useLanguage(const QStringList& preferred);

    // Constructs a window of class Form, owned by the application, and
    // stores it in reference once constructed. The first one is the main
    // window. An exception from the constructor leaves reference untouched.
    template <typename Form>
    void CreateForm(Form*& reference)
    {
        auto form = std::make_unique<Form>(this);
        reference = form.get();
        adopt(std::move(form));
    }

    // Shows the main window and runs the event loop until it closes.
    void Run();

    // The executable's full path.
    QString ExeName() const;

    // The register the main window opens, set before the window is made: a
    // file's path or a server's URI, as a person named it. Empty: proba.mdb
    // beside the executable.
    void setRegisterName(const QString& name) { m_registerName = name; }
    QString registerName() const { return m_registerName; }

    // Shows an exception's message in a modal box (nothing for EAbort).
    void ShowException(const std::exception& error);
    // Shows the exception being handled (call inside a catch block).
    void showCurrentException();

    bool notify(QObject* receiver, QEvent* event) override;

    // The window that a modal box should stand over: the active window,
    // else the main window, else none.
    QWidget* dialogParent() const;

    // Whether form, being activated now, takes over the focus from another
    // non-modal window of this program (not from a modal box, not from
    // another application, not from itself). Answers once per change.
    bool takeArrivalFromOtherWindow(const QWidget* form);

private:
    void adopt(std::unique_ptr<TForm> form);
    void focusWindowChanged(QWindow* window);
    std::vector<std::unique_ptr<TForm>> m_forms;
    TextLanguage m_language;
    TForm* m_mainForm = nullptr;
    QString m_registerName;
    // The last two windows of this program that had the keyboard focus.
    QPointer<QWindow> m_focusWindow;
    QPointer<QWindow> m_arrivedFrom;
};

// Runs an action that the toolkit asked for (a click, a key, a timer, a
// slot); whatever it throws is shown by the application instead of reaching
// the toolkit.
template <typename Action>
void guarded(Action&& action)
{
    try {
        action();
    } catch (...) {
        TApplication::instance()->showCurrentException();
    }
}

// The part of a path up to and including its last folder separator.
QString ExtractFilePath(const QString& path);
