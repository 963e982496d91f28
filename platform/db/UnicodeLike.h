#pragma once
// The LIKE operator of the program's connections: SQL's pattern match with
// "%" (any run of characters) and "_" (any one character), comparing letters
// without regard to case in every script, not only in ASCII: "š" finds
// "Šabac", "đ" finds "Đorđe", "ж" finds "Жабаљ".
//
// Letters are compared by Unicode simple case folding. Text is UTF-8; a byte
// sequence that is not valid UTF-8 is compared byte by byte. ASCII text, the
// common case, never leaves a byte-wise fast path.

#include <string_view>

struct sqlite3;

namespace unicode_like {

// Longest pattern accepted, in bytes, as SQLite's own LIKE accepts.
constexpr std::size_t MaxPatternLength = 50000;

// True when text matches pattern. escape, when not 0, is the character that
// makes the next pattern character literal (SQL's "LIKE ... ESCAPE").
// Runs in time polynomial in the sizes, whatever the pattern.
bool match(std::string_view pattern, std::string_view text, char32_t escape = 0);

// Folds one code point for comparison (simple case folding).
char32_t fold(char32_t c);

// Replaces LIKE on a connection with this one (two- and three-argument forms).
// Returns an SQLite result code.
int install(sqlite3* db);

} // namespace unicode_like

namespace unicode_like {
// Compares two UTF-8 texts letter by letter after folding case; with
// prefixOnly, whether text begins with prefix.
bool equalFolded(std::string_view text, std::string_view other, bool prefixOnly);
}
