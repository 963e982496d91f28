#pragma once
// The two parts of the benchmark; each prints a Markdown table and notes.

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

} // namespace bench

namespace bench {

// Saving an edited person (and finding the person again in the rebuilt
// list) and deleting a person, through the real window, beside the bare
// statements: the write and the search.
void editingPart(const QString& registers, const std::vector<long>& sizes, int runs);

} // namespace bench

namespace bench {

// Bringing the Access samples that are registers in: the import command
// beside mdb-export reading the same tables.
void importPart(const QString& samples, int runs);

} // namespace bench
