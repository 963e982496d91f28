#pragma once
// The modal boxes the program asks and tells in: a message, whether to save
// before leaving, what to keep when another desk changed the same person,
// and a server's password. Each stands over the window that is active (see
// TApplication::dialogParent) and speaks the window's language.

#include <QString>

#include <functional>

class QPrinter;

#include <optional>
#include <string>

// What a person answers when asked whether to save a change before leaving.
enum class TSaveAnswer { Save, Discard, Stay };
// Asks text in a modal box with three answers: save, don't save, stay
// (Escape and the close box stay).
TSaveAnswer AskToSave(const QString& text);

// What a person answers when a save finds the row changed elsewhere.
enum class TConflictAnswer { TakeRegisters, KeepMine, GoOnEditing };
// Asks text (plain, shown exactly as it is) in a modal box with those three
// answers; Escape and the close box go on editing, which is also the default.
TConflictAnswer AskAboutConflict(const QString& text);

// Asks text in a modal box whose answers name what is done: go (goOn, the
// default) or not (Escape and the close box); whether the person went on.
bool AskToGoOn(const QString& text, const QString& goOn);

// Shows the desktop's print preview of what paint draws on a printer, over
// the active window, until the person prints or closes it; paint is asked
// again for each printer and page setup picked (a printer of the desktop, a
// PDF file). Its buttons have keys too: Ctrl+P prints, Page Up and Page
// Down turn the pages, Ctrl++ and Ctrl+- zoom.
void ShowPrintPreview(QPrinter& printer, const QString& title, const std::function<void(QPrinter&)>& paint);

// The desktop's print dialog: which printer (or a PDF file), which of the
// pages (1 to pages); whether the person chose to print.
bool ChoosePrinter(QPrinter& printer, const QString& title, int pages);

// Asks for the password of a register on a server, in a box that hides what
// is typed; nothing when the person cancels. The answer is never stored.
std::optional<std::string> AskPassword(const QString& register_, const QString& refusal);

// Shows text in a modal box with one button; returns when it is closed.
void ShowMessage(const QString& text);
void ShowMessage(const std::string& text);
