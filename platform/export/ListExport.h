#pragma once
// A list taken out of the program: the rows a data set shows, in the order
// it shows them, with its columns' titles, written to a CSV file or an Excel
// workbook. The window's "Izvezi listu…" and the kolvara-export command both
// write through here.
//
// CSV: RFC 4180 (every text in double quotes, a quote doubled, lines ending
// in CR LF), UTF-8 with a byte-order mark so that spreadsheet programs read
// it as UTF-8; a text that begins with "=", "+", "-", "@", a tab or a
// carriage return is written with an apostrophe before it, so that no
// spreadsheet runs it as a formula. Workbook (.xlsx, Workbook.h): numbers as
// numbers, names as text, the titles' row bold and frozen.
//
// The file appears whole or not at all: it is written beside, under a name
// of its own, and renamed over the name given only once complete. Stopped
// (the progress answered false) or failed (a full disk), nothing is left.

#include <QString>
#include <QStringList>

#include <functional>

class TDataSet;

namespace list_export {

enum class Format { Csv, Xlsx };

// The format a file name asks for: .xlsx a workbook, anything else CSV.
Format formatOf(const QString& path);

// Told every few thousand rows, at the end and often while the disk takes
// the written file (rows written, rows in all); false stops the export
// until the file takes its name.
using Progress = std::function<bool(long long done, long long total)>;

// Writes the rows list shows (every field, titled as titles says, one a
// field) to path, replacing what is there. Returns false when progress
// stopped it; throws Exception with a person's words when it failed.
// Nothing is left at path, or beside it, unless it returns true.
bool writeList(TDataSet& list, const QStringList& titles, const QString& path, const Progress& progress = {});

} // namespace list_export
