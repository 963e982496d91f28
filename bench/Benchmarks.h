#pragma once
// The parts of the benchmark (kolvara-bench --parts names them); each prints
// a Markdown table and notes.

#include <QString>

#include <vector>

namespace bench {

// The persons list's open, unfiltered and with first-name prefixes, beside
// the bare statement.
void dataSetPart(const QString& registers, const std::vector<long>& sizes, int runs);

// Keystrokes typed into the real window, each from the key event to the
// status line rewritten and the list repainted, beside the bare statements
// the keystroke ran; and scrolling the list.
void windowPart(const QString& registers, const std::vector<long>& sizes, int runs);


// Saving an edited person (and finding the person again in the rebuilt
// list) and deleting a person, through the real window, beside the bare
// statements: the write and the search.
void editingPart(const QString& registers, const std::vector<long>& sizes, int runs);
// The countries' and cities' dialogs opened, a city renamed and two merged.
void placesPart(const QString& registers, const std::vector<long>& sizes, int runs);
// A person's history and the deleted persons read at a million recorded changes.
void historyPart(const QString& registers, const std::vector<long>& sizes, int runs);


// The typing of windowPart again, in the real window on a real X server:
// each key sent through XTEST, timed to the last pixels the X server got
// for the window (DAMAGE), beside the bare statements the key ran. Without
// a usable X server it prints its heading and one line saying why.
void pixelsPart(const QString& registers, const std::vector<long>& sizes, int runs);

// Why the pixels part cannot run here (QT_QPA_PLATFORM not xcb, no X server
// at DISPLAY, no XTEST or DAMAGE), or empty when it can. Needs no
// application object; the first call's answer stands, so that it is asked
// before the program falls back to offscreen.
QString displayProblem();


// Typing into the window offscreen while the register keeps it waiting
// (another desk's commit, its lock, a server that answers nothing): the
// longest the event loop did not answer, the slowest key, and the list's
// arrival once the wait is over beside the bare statement.
void waitingPart(const QString& registers, const std::vector<long>& sizes, int runs);


// Bringing the Access samples that are registers in: the import command
// beside mdb-export reading the same tables.
void importPart(const QString& samples, int runs);


// Every person taken out to a CSV file and a workbook: the export command
// beside the engine's shell writing the statement's rows as CSV, and the
// window's export of the list it holds with its longest wait.
void exportPart(const QString& registers, const std::vector<long>& sizes, int runs);
void personsInPart(const QString& registers, const std::vector<long>& sizes, int runs);

} // namespace bench
