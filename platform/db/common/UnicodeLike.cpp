#include "UnicodeLike.h"

#include <string>

#include <QChar>
#include <QtGlobal>

namespace unicode_like {
namespace {

enum Result { Match, NoMatch, NoWildcardMatch };

// Decodes one UTF-8 code point at p (p < end) and advances p. An invalid,
// truncated or overlong sequence, a surrogate or a value beyond U+10FFFF
// yields its first byte as a code point of its own, offset into a private
// range so that it never equals a real character: "\xC0\xA5" is not "%".
inline char32_t next(const unsigned char*& p, const unsigned char* end)
{
    Q_ASSERT(p < end);
    const unsigned char b = *p++;
    if (b < 0x80)
        return b;
    int extra;
    char32_t c;
    char32_t least;
    if ((b & 0xE0) == 0xC0) { extra = 1; c = b & 0x1F; least = 0x80; }
    else if ((b & 0xF0) == 0xE0) { extra = 2; c = b & 0x0F; least = 0x800; }
    else if ((b & 0xF8) == 0xF0) { extra = 3; c = b & 0x07; least = 0x10000; }
    else return 0x110000 + b;
    if (end - p < extra)
        return 0x110000 + b;
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0x110000 + b;
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0x110000 + b;
    p += extra;
    Q_ASSERT(p <= end);
    return c;
}

inline char32_t foldFast(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return fold(c);
}

// The byte firstKey gives a text that begins with c.
inline std::uint8_t keyOf(char32_t c)
{
    c = foldFast(c);
    return c < 0x80 ? std::uint8_t(c) : std::uint8_t(0x80 | (c & 0x7F));
}

struct SimpleFolding {
    char32_t operator()(char32_t c) const { return foldFast(c); }
};

// Compares pattern [p, pe) with text [t, te). The NoWildcardMatch result
// tells a caller looping over a "%" that no later start can match either, so
// the search stops early: this keeps patterns such as "%a%a%a%b" polynomial.
template <typename Fold>
Result compare(const unsigned char* p, const unsigned char* pe, const unsigned char* t, const unsigned char* te,
               char32_t escape, const Fold& foldFast)
{
    Q_ASSERT(p <= pe && t <= te);
    while (p < pe) {
        char32_t pc = next(p, pe);
        if (pc == '%' && pc != escape) {
            // Swallow a run of "%" and "_"; every "_" needs one character.
            while (p < pe) {
                const unsigned char* save = p;
                const char32_t c = next(p, pe);
                if (c == '%' && c != escape)
                    continue;
                if (c == '_' && c != escape) {
                    if (t >= te)
                        return NoWildcardMatch;
                    next(t, te);
                    continue;
                }
                p = save;
                break;
            }
            if (p >= pe)
                return Match;
            // Try every place in the text where the rest could begin: after
            // each occurrence of the pattern's next literal character.
            const unsigned char* rest = p;
            char32_t first = next(rest, pe);
            if (escape != 0 && first == escape) {
                if (rest >= pe)
                    return NoMatch; // a pattern may not end in its escape character
                first = next(rest, pe);
            }
            const char32_t want = foldFast(first);
            while (t < te) {
                if (foldFast(next(t, te)) == want) {
                    const Result r = compare(rest, pe, t, te, escape, foldFast);
                    if (r != NoMatch)
                        return r;
                }
            }
            return NoWildcardMatch;
        }
        if (pc == '_' && pc != escape) {
            if (t >= te)
                return NoMatch;
            next(t, te);
            continue;
        }
        if (pc == escape && escape != 0) {
            if (p >= pe)
                return NoMatch; // a pattern may not end in its escape character
            pc = next(p, pe);
        }
        if (t >= te)
            return NoMatch;
        const char32_t tc = next(t, te);
        if (tc != pc && foldFast(tc) != foldFast(pc))
            return NoMatch;
    }
    return t >= te ? Match : NoMatch;
}

} // namespace

char32_t fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c > 0x10FFFF)
        return c;
    return QChar::toCaseFolded(c);
}

std::uint8_t firstKeyBeyondAscii(const char* text, std::size_t length)
{
    auto t = reinterpret_cast<const unsigned char*>(text);
    // A few letters beyond ASCII fold into it (the Kelvin sign into "k").
    return keyOf(next(t, t + length));
}

std::string literal(std::string_view text)
{
    std::string pattern;
    pattern.reserve(text.size());
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

bool wellFormed(std::string_view text)
{
    auto t = reinterpret_cast<const unsigned char*>(text.data());
    const auto end = t + text.size();
    while (t < end)
        if (next(t, end) > 0x10FFFF)
            return false;
    return true;
}

bool match(std::string_view pattern, std::string_view text, char32_t escape)
{
    auto p = reinterpret_cast<const unsigned char*>(pattern.data());
    auto t = reinterpret_cast<const unsigned char*>(text.data());
    return compare(p, p + pattern.size(), t, t + text.size(), escape, SimpleFolding()) == Match;
}

bool match(std::string_view pattern, std::string_view text, const Folding& folding)
{
    auto p = reinterpret_cast<const unsigned char*>(pattern.data());
    auto t = reinterpret_cast<const unsigned char*>(text.data());
    return compare(p, p + pattern.size(), t, t + text.size(), 0, folding) == Match;
}

Folding::Folding(const std::vector<std::pair<char32_t, char32_t>>& changed) : m_lowered(0x20000)
{
    for (char32_t c = 0; c < m_lowered.size(); ++c)
        m_lowered[c] = c;
    for (const auto& [from, to] : changed)
        if (from < m_lowered.size())
            m_lowered[from] = to;
}

std::bitset<256> Folding::keysLike(char32_t c) const
{
    const char32_t lowered = (*this)(c);
    std::bitset<256> keys;
    keys.set(keyOf(c));
    for (char32_t other = 0; other < m_lowered.size(); ++other)
        if (m_lowered[other] == lowered)
            keys.set(keyOf(other));
    return keys;
}

bool oneCharacter(std::string_view text, char32_t& c)
{
    auto t = reinterpret_cast<const unsigned char*>(text.data());
    const auto end = t + text.size();
    if (t == end)
        return false;
    c = next(t, end);
    return t == end;
}

char32_t firstCharacter(std::string_view text)
{
    auto t = reinterpret_cast<const unsigned char*>(text.data());
    return text.empty() ? 0 : next(t, t + text.size());
}

bool equalFolded(std::string_view text, std::string_view other, bool prefixOnly)
{
    auto t = reinterpret_cast<const unsigned char*>(text.data());
    const auto te = t + text.size();
    auto o = reinterpret_cast<const unsigned char*>(other.data());
    const auto oe = o + other.size();
    while (o < oe) {
        if (t >= te)
            return false;
        if (foldFast(next(t, te)) != foldFast(next(o, oe)))
            return false;
    }
    return prefixOnly || t >= te;
}

} // namespace unicode_like
