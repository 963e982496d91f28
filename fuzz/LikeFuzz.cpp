// Fuzz target: the case-insensitive LIKE, and the searches a list answers
// with it from memory. The input is split into a pattern and a text. Nothing
// may crash or take long (libFuzzer's -timeout); a text that matches a
// pattern beginning with a letter has that letter's first-letter byte; a
// pattern made of the text itself, with "%", "_" and the escape character
// escaped, must match the text, in any letter case; and a statement that
// ends in a condition with the pattern gives the pattern back whole when it
// takes the condition apart at all.

#include "SearchStatement.h"
#include "UnicodeLike.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\x01');
    const std::string_view pattern = input.substr(0, split);
    const std::string_view text = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    if (unicode_like::match(pattern, text) && !pattern.empty() && pattern[0] != '%' && pattern[0] != '_'
        && unicode_like::firstKey(text.data(), text.size()) != unicode_like::firstKey(pattern.data(), pattern.size()))
        std::abort();
    unicode_like::match(pattern, text, '!');

    SearchStatement::parse(input);
    std::string quoted;
    for (char c : pattern)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    const auto search = SearchStatement::parse("SELECT t.a FROM t WHERE 1 = 1 AND t.a LIKE '" + quoted + "'");
    if (search && !search->conditions.empty()
        && (search->conditions.size() != 1 || search->conditions[0].pattern != pattern))
        std::abort();

    // Valid UTF-8 only: a literal pattern folds letter by letter.
    const QString decoded = QString::fromUtf8(text.data(), qsizetype(text.size()));
    if (decoded.toUtf8() != QByteArray(text.data(), qsizetype(text.size())))
        return 0;
    std::string literal;
    for (char c : decoded.toUpper().toStdString()) {
        if (c == '%' || c == '_' || c == '!')
            literal += '!';
        literal += c;
    }
    // Upper-casing may change a text's length (ß -> SS); folding does not match those.
    if (QString::fromStdString(literal).size() < decoded.size())
        return 0;
    if (decoded.toUpper().toCaseFolded() == decoded.toCaseFolded()
        && !unicode_like::match(literal, text, '!'))
        std::abort();
    return 0;
}
