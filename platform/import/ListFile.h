#pragma once
// A list brought in: the cells of a CSV file or of an Excel workbook's first
// sheet, as texts, row by row, the first row the titles. It knows nothing of
// the register; what the cells mean is PersonsImport's.
//
// CSV: RFC 4180 (fields in double quotes may hold the separator, line
// breaks and doubled quotes), lines ending in CR LF or LF; the separator is
// a comma or a semicolon, whichever the title row holds more of outside
// quotes. UTF-8, with or without a byte-order mark; a file that is not
// UTF-8 is read as Windows-1250 when every byte beyond ASCII is a letter
// there (the letters of the region's languages), and otherwise the caller
// is told the encoding is unknown and asks. Lines with no text in any cell
// are left out.
//
// Workbook (.xlsx): the first sheet's values: shared texts, inline texts,
// and numbers as written. Formulas count by the value last computed.
//
// A file that holds a NUL byte, or is no workbook although named one, is
// refused as no list: a person's words say what was read instead.

#include "Exception.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace list_import {

enum class Encoding { Utf8, Windows1250 };

// The encoding is neither UTF-8 nor Windows-1250 by the look of it: the
// person says which it is, and the file is read again.
class EUnknownEncoding : public Exception {
public:
    using Exception::Exception;
};

struct ListFile {
    std::vector<std::vector<std::string>> rows; // UTF-8; rows[0] the titles
    std::vector<int> lines;                     // where each row begins in the file (1: the first line)
    Encoding encoding = Encoding::Utf8;         // CSV: as it was read
    char separator = ',';                       // CSV
    bool workbook = false;
};

// Reads path: a workbook when it ends in .xlsx, CSV otherwise (encoding:
// as told, or found out). Throws Exception in a person's words when the file
// cannot be read or holds no list, EUnknownEncoding when told to ask.
ListFile readListFile(const QString& path, std::optional<Encoding> encoding = std::nullopt);

// The same for a CSV already in memory (name: for messages).
ListFile readCsv(const std::string& bytes, const QString& name, std::optional<Encoding> encoding = std::nullopt);

} // namespace list_import
