#pragma once
// The LIKE operator of the program's connections: SQL's pattern match with
// "%" (any run of characters) and "_" (any one character), comparing letters
// without regard to case in every script, not only in ASCII: "š" finds
// "Šabac", "đ" finds "Đorđe", "ж" finds "Жабаљ".
//
// Letters are compared by Unicode simple case folding. Text is UTF-8; a byte
// sequence that is not valid UTF-8 is compared byte by byte. ASCII text, the
// common case, never leaves a byte-wise fast path.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace unicode_like {

// Another way of comparing letters: each code point lowered to one code
// point by a table, as a database server's lower() does under its character
// type (which may know only ASCII, or more letters than Unicode's simple
// case folding does: "İ" lowers to "i"). Code points beyond the table stay
// as they are.
class Folding {
public:
    // changed: each code point up to U+1FFFF that lowers to another.
    explicit Folding(const std::vector<std::pair<char32_t, char32_t>>& changed);
    char32_t operator()(char32_t c) const { return c < m_lowered.size() ? m_lowered[c] : c; }
    // The firstKey() bytes of every character that lowers as c does.
    std::bitset<256> keysLike(char32_t c) const;

private:
    std::vector<char32_t> m_lowered; // for U+0000..U+1FFFF
};

// Longest pattern accepted, in bytes, as SQLite's own LIKE accepts.
constexpr std::size_t MaxPatternLength = 50000;

// True when text matches pattern. escape, when not 0, is the character that
// makes the next pattern character literal (SQL's "LIKE ... ESCAPE").
// Runs in time polynomial in the sizes, whatever the pattern.
bool match(std::string_view pattern, std::string_view text, char32_t escape = 0);
// The same, comparing letters as folding lowers them.
bool match(std::string_view pattern, std::string_view text, const Folding& folding);

// The character that literal() makes the next character literal with.
constexpr char32_t LiteralEscape = U'\\';
// A pattern that matches text itself (letters compared as match compares),
// given to match with LiteralEscape: "%", "_" and the escape taken as they are.
std::string literal(std::string_view text);

// Folds one code point for comparison (simple case folding).
char32_t fold(char32_t c);

// True when text is whole UTF-8: no stray, overlong or cut-off sequence, no
// surrogate, nothing beyond U+10FFFF.
bool wellFormed(std::string_view text);

// One byte that stands for the folded first character of text, 0 for an
// empty text. Texts whose first characters fold alike get the same byte, so
// a text whose byte differs from a pattern's cannot match that pattern when
// it begins with neither "%" nor "_". Inline for ASCII: every row loaded
// into a list has it worked out.
std::uint8_t firstKeyBeyondAscii(const char* text, std::size_t length);
inline std::uint8_t firstKey(const char* text, std::size_t length)
{
    if (length == 0)
        return 0;
    const auto b = static_cast<unsigned char>(text[0]);
    if (b < 0x80)
        return (b >= 'A' && b <= 'Z') ? std::uint8_t(b + 32) : b;
    return firstKeyBeyondAscii(text, length);
}

// Whether text is one character as the matcher reads characters (a stray
// byte is one too), and which.
bool oneCharacter(std::string_view text, char32_t& c);
// The first character of text (0 for an empty text), as oneCharacter reads it.
char32_t firstCharacter(std::string_view text);

// Compares two UTF-8 texts letter by letter after folding case; with
// prefixOnly, whether text begins with prefix.
bool equalFolded(std::string_view text, std::string_view other, bool prefixOnly);

} // namespace unicode_like
