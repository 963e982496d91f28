#include "SearchStatement.h"
#include "UnicodeLike.h"

#include <algorithm>
#include <array>

namespace {

struct Token {
    enum Kind { Word, QuotedName, Text, Number, Symbol };
    Kind kind;
    std::string_view text; // as written; a Text's or QuotedName's quotes included
    std::size_t start;
    std::size_t end;
};

bool wordCharacter(unsigned char c, bool first)
{
    return c == '_' || c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
           || (!first && ((c >= '0' && c <= '9') || c == '$'));
}

bool is(const Token& token, std::string_view keyword)
{
    return token.kind == Token::Word
           && std::equal(token.text.begin(), token.text.end(), keyword.begin(), keyword.end(),
                         [](char a, char b) { return (a >= 'a' && a <= 'z' ? char(a - 32) : a) == b; });
}

// Words that would give a statement a meaning the parts below do not
// follow, or a result that varies from one run to the next. A word among
// them anywhere outside a quoted text makes the statement no search.
bool forbidden(const Token& token)
{
    static constexpr std::array words{
        "OR",       "BETWEEN",  "IN",        "CASE",      "WHEN",         "THEN",         "ELSE",
        "END",      "SELECT",   "EXISTS",    "COLLATE",   "GLOB",         "REGEXP",       "MATCH",
        "ESCAPE",   "GROUP",    "HAVING",    "LIMIT",     "OFFSET",       "UNION",        "EXCEPT",
        "INTERSECT", "WINDOW",  "JOIN",      "ON",        "USING",        "AS",           "DISTINCT",
        "ALL",      "CAST",     "ISNULL",    "NOTNULL",   "NULLS",        "RAISE",        "CURRENT_TIME",
        "CURRENT_DATE", "CURRENT_TIMESTAMP", "NATURAL", "INDEXED", "WITH", "VALUES", "FILTER", "OVER"};
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return is(token, w); });
}

// Splits sql into tokens; nothing when it holds what a search never does
// (a comment, a statement separator, a number with a point or exponent, a
// character outside the few operators below, an unclosed quote, a NUL).
std::optional<std::vector<Token>> tokens(std::string_view sql)
{
    std::vector<Token> out;
    std::size_t i = 0;
    const std::size_t n = sql.size();
    while (i < n) {
        const unsigned char c = sql[i];
        const std::size_t start = i;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            ++i;
            continue;
        }
        Token::Kind kind;
        if (wordCharacter(c, true)) {
            while (i < n && wordCharacter(sql[i], false))
                ++i;
            kind = Token::Word;
        } else if (c >= '0' && c <= '9') {
            while (i < n && sql[i] >= '0' && sql[i] <= '9')
                ++i;
            if (i < n && (wordCharacter(sql[i], false) || sql[i] == '.'))
                return std::nullopt;
            kind = Token::Number;
        } else if (c == '\'' || c == '"') {
            // A quote inside is written twice.
            ++i;
            for (;;) {
                if (i >= n)
                    return std::nullopt;
                if (sql[i] == char(c)) {
                    if (i + 1 < n && sql[i + 1] == char(c)) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (sql[i] == '\0')
                    return std::nullopt;
                ++i;
            }
            kind = c == '\'' ? Token::Text : Token::QuotedName;
        } else {
            static constexpr std::array<std::string_view, 13> symbols{"<>", "!=", "<=", ">=", "==", "=", "<",
                                                                      ">",  "(",  ")",  ",",  ".",  "-"};
            const auto found = std::find_if(symbols.begin(), symbols.end(),
                                            [&](std::string_view s) { return sql.substr(i, s.size()) == s; });
            if (found == symbols.end() || sql.substr(i, 2) == "--")
                return std::nullopt;
            i += found->size();
            kind = Token::Symbol;
        }
        out.push_back(Token{kind, sql.substr(start, i - start), start, i});
    }
    return out;
}

bool symbol(const Token& token, std::string_view text)
{
    return token.kind == Token::Symbol && token.text == text;
}

// The words an expression of comparisons joined by AND is made of.
bool operatorWord(const Token& token)
{
    return is(token, "AND") || is(token, "NOT") || is(token, "IS") || is(token, "NULL") || is(token, "LIKE");
}

// A quoted name with a dot in it is one name to the database, not a table's
// column: it is left alone rather than told apart from t.a.
bool name(const Token& token)
{
    if (token.kind == Token::QuotedName)
        return token.text.find('.') == std::string_view::npos;
    return token.kind == Token::Word && !forbidden(token) && !operatorWord(token);
}

// A column name as the database compares it: unquoted, ASCII letters in
// one case.
std::string plainName(const Token& token)
{
    std::string text;
    if (token.kind == Token::QuotedName) {
        const std::string_view inner = token.text.substr(1, token.text.size() - 2);
        for (std::size_t i = 0; i < inner.size(); ++i) {
            text += inner[i];
            if (inner[i] == '"')
                ++i;
        }
    } else {
        text = std::string(token.text);
    }
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

// Reads a name such as a, t.a or s.t.a from tokens [at, end); returns the
// token after it, or at when there is none.
std::size_t qualifiedName(const std::vector<Token>& t, std::size_t at, std::size_t end, std::string* plain)
{
    std::size_t i = at;
    std::string text;
    for (int part = 0; part < 3; ++part) {
        if (i >= end || !name(t[i]))
            return at;
        text += plainName(t[i]);
        ++i;
        if (i + 1 < end && symbol(t[i], ".")) {
            text += '.';
            ++i;
        } else {
            break;
        }
    }
    if (plain)
        *plain = text;
    return i;
}

// The literal's text as the database reads it: quotes dropped, a doubled
// quote one. Nothing when it is not whole UTF-8: a literal that is not
// could not be narrowed letter by letter.
std::optional<std::string> literal(const Token& token)
{
    std::string text;
    const std::string_view inner = token.text.substr(1, token.text.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        text += inner[i];
        if (inner[i] == '\'')
            ++i;
    }
    if (!unicode_like::wellFormed(text))
        return std::nullopt;
    return text;
}

} // namespace

std::optional<SearchStatement> SearchStatement::parse(std::string_view sql)
{
    const std::optional<std::vector<Token>> scanned = tokens(sql);
    if (!scanned)
        return std::nullopt;
    const std::vector<Token>& t = *scanned;
    const std::size_t n = t.size();
    auto find = [&](std::size_t from, std::string_view keyword) {
        std::size_t i = from;
        while (i < n && !is(t[i], keyword))
            ++i;
        return i;
    };

    // SELECT name, name ... FROM
    if (n == 0 || !is(t[0], "SELECT"))
        return std::nullopt;
    const std::size_t from = find(1, "FROM");
    std::vector<std::string> listed;
    for (std::size_t i = 1; i < from;) {
        std::string column;
        const std::size_t next = qualifiedName(t, i, from, &column);
        if (next == i || (next < from && !symbol(t[next], ",")) || (next + 1 == from))
            return std::nullopt;
        listed.push_back(column);
        i = next + 1;
    }
    if (listed.empty())
        return std::nullopt;

    // FROM table [alias], ... WHERE
    const std::size_t where = find(from, "WHERE");
    if (from >= n || where >= n || where == from + 1)
        return std::nullopt;
    for (std::size_t i = from + 1; i < where; ++i)
        if (!name(t[i]) && !symbol(t[i], ",") && !symbol(t[i], "."))
            return std::nullopt;

    // WHERE comparisons joined by AND ... ORDER BY
    const std::size_t order = find(where, "ORDER");
    int depth = 0;
    for (std::size_t i = where + 1; i < order; ++i) {
        const Token& token = t[i];
        if (symbol(token, "("))
            ++depth;
        else if (symbol(token, ")") && --depth < 0)
            return std::nullopt;
        if (token.kind == Token::Word && forbidden(token))
            return std::nullopt;
        // A function's result may vary, and its meaning is not this parser's to know.
        if (name(token) && i + 1 < order && symbol(t[i + 1], "("))
            return std::nullopt;
    }
    if (depth != 0 || order == where + 1)
        return std::nullopt;

    // ORDER BY name [ASC|DESC], ... and nothing after.
    if (order < n) {
        if (order + 1 >= n || !is(t[order + 1], "BY"))
            return std::nullopt;
        for (std::size_t i = order + 2;;) {
            const std::size_t next = qualifiedName(t, i, n, nullptr);
            if (next == i)
                return std::nullopt;
            i = next;
            if (i < n && (is(t[i], "ASC") || is(t[i], "DESC")))
                ++i;
            if (i == n)
                break;
            if (!symbol(t[i], ","))
                return std::nullopt;
            ++i;
        }
    }

    // The trailing "AND column LIKE 'text'" conditions on listed columns,
    // peeled from the end. With no OR, BETWEEN or CASE about, an AND outside
    // parentheses joins everything before it with what follows.
    SearchStatement search;
    std::size_t end = order;
    while (end > where + 1) {
        if (t[end - 1].kind != Token::Text || end < where + 5 || !is(t[end - 2], "LIKE"))
            break;
        std::size_t start = end - 3;
        while (start > where && (name(t[start]) || symbol(t[start], ".")))
            --start;
        if (!is(t[start], "AND") || start == where + 1)
            break;
        std::string column;
        if (qualifiedName(t, start + 1, end - 2, &column) != end - 2)
            break;
        const auto listedAt = std::find(listed.begin(), listed.end(), column);
        const std::optional<std::string> pattern = literal(t[end - 1]);
        if (listedAt == listed.end() || !pattern)
            break;
        search.conditions.insert(search.conditions.begin(),
                                 Condition{static_cast<int>(listedAt - listed.begin()), *pattern});
        end = start;
    }

    search.base = std::string(sql.substr(0, t[end - 1].end));
    if (order < n)
        search.base += ' ' + std::string(sql.substr(t[order].start));
    return search;
}
