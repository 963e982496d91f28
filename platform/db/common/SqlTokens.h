#pragma once
// SQL text taken apart into its pieces, as both engines read it: words,
// quoted names, texts, numbers, symbols and comments, each with its place,
// so that a statement can be looked into without being fooled by quotes or
// comments. It takes statements apart; it does not check them.

#include <cstddef>
#include <string_view>
#include <vector>

namespace db::sql {

struct Token {
    enum Kind {
        Word,       // a keyword or a plain name: a letter, _ or a byte of UTF-8, then also digits and $
        QuotedName, // "..." (a quote inside doubled)
        Text,       // '...' (a quote inside doubled)
        Number,     // digits only; a point or exponent is a token of its own
        Symbol,     // <> != <= >= == || :: or any other single byte
        Comment,    // -- to the end of the line, or /* ... */
    };
    Kind kind;
    std::string_view text; // as written: a Text's or QuotedName's quotes included
    std::size_t begin;
    std::size_t end;
    // False for a quote or comment that runs to the end of the text unclosed.
    bool closed = true;
};

// The tokens of sql, in order; blanks (space, tab, line breaks, form feed)
// separate them and are dropped.
std::vector<Token> tokens(std::string_view sql);

// Whether token is the word keyword, compared without regard to case (ASCII).
bool isWord(const Token& token, std::string_view keyword);

// Whether token is the symbol given.
inline bool isSymbol(const Token& token, std::string_view symbol)
{
    return token.kind == Token::Symbol && token.text == symbol;
}

} // namespace db::sql
