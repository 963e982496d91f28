#include "SearchStatement.h"

#include "SqlTokens.h"
#include "UnicodeLike.h"

#include <algorithm>
#include <array>

namespace {

using db::sql::Token;
using db::sql::isSymbol;
using db::sql::isWord;

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
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return isWord(token, w); });
}

// The tokens of sql; nothing when it holds what a search never does (a
// comment, a statement separator, a number with a point or exponent, a
// symbol other than the few operators below, an unclosed quote, a NUL).
std::optional<std::vector<Token>> tokens(std::string_view sql)
{
    if (sql.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::vector<Token> out = db::sql::tokens(sql);
    static constexpr std::array<std::string_view, 13> symbols{"<>", "!=", "<=", ">=", "==", "=", "<",
                                                              ">",  "(",  ")",  ",",  ".",  "-"};
    for (std::size_t i = 0; i < out.size(); ++i) {
        const Token& token = out[i];
        if (!token.closed || token.kind == Token::Comment
            || (token.kind == Token::Symbol && std::find(symbols.begin(), symbols.end(), token.text) == symbols.end()))
            return std::nullopt;
        const bool joined = i + 1 < out.size() && out[i + 1].begin == token.end;
        if (token.kind == Token::Number && joined && (out[i + 1].kind == Token::Word || isSymbol(out[i + 1], ".")))
            return std::nullopt;
    }
    return out;
}

// The words an expression of comparisons joined by AND is made of.
bool operatorWord(const Token& token)
{
    return isWord(token, "AND") || isWord(token, "NOT") || isWord(token, "IS") || isWord(token, "NULL") || isWord(token, "LIKE");
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
        if (i + 1 < end && isSymbol(t[i], ".")) {
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

using Tokens = std::vector<Token>;

// The first token from from on that is the keyword, or the end.
std::size_t findWord(const Tokens& t, std::size_t from, std::string_view keyword)
{
    std::size_t i = from;
    while (i < t.size() && !isWord(t[i], keyword))
        ++i;
    return i;
}

// SELECT name, name ... FROM: the columns listed (tokens 1 to from), or
// nothing when the list is not of plain names.
std::optional<std::vector<std::string>> listedColumns(const Tokens& t, std::size_t from)
{
    std::vector<std::string> listed;
    for (std::size_t i = 1; i < from;) {
        std::string column;
        const std::size_t next = qualifiedName(t, i, from, &column);
        if (next == i || (next < from && !isSymbol(t[next], ",")) || (next + 1 == from))
            return std::nullopt;
        listed.push_back(column);
        i = next + 1;
    }
    if (listed.empty())
        return std::nullopt;
    return listed;
}

// FROM table [alias], ... WHERE: names, commas and dots only.
bool plainTables(const Tokens& t, std::size_t from, std::size_t where)
{
    if (from >= t.size() || where >= t.size() || where == from + 1)
        return false;
    for (std::size_t i = from + 1; i < where; ++i)
        if (!name(t[i]) && !isSymbol(t[i], ",") && !isSymbol(t[i], "."))
            return false;
    return true;
}

// WHERE ... ORDER: balanced parentheses, no word that may join or vary, no
// function called.
bool plainConditions(const Tokens& t, std::size_t where, std::size_t order)
{
    int depth = 0;
    for (std::size_t i = where + 1; i < order; ++i) {
        const Token& token = t[i];
        if (isSymbol(token, "("))
            ++depth;
        else if (isSymbol(token, ")") && --depth < 0)
            return false;
        if (token.kind == Token::Word && forbidden(token))
            return false;
        // A function's result may vary, and its meaning is not this parser's to know.
        if (name(token) && i + 1 < order && isSymbol(t[i + 1], "("))
            return false;
    }
    return depth == 0 && order != where + 1;
}

// ORDER BY name [ASC|DESC], ... and nothing after (or no ORDER at all).
bool plainOrder(const Tokens& t, std::size_t order)
{
    const std::size_t n = t.size();
    if (order >= n)
        return true;
    if (order + 1 >= n || !isWord(t[order + 1], "BY"))
        return false;
    for (std::size_t i = order + 2;;) {
        const std::size_t next = qualifiedName(t, i, n, nullptr);
        if (next == i)
            return false;
        i = next;
        if (i < n && (isWord(t[i], "ASC") || isWord(t[i], "DESC")))
            ++i;
        if (i == n)
            return true;
        if (!isSymbol(t[i], ","))
            return false;
        ++i;
    }
}

// The trailing "AND column LIKE 'text'" conditions on listed columns,
// peeled from the end of the conditions (tokens where to order) into
// conditions; returns where the base's conditions end. With no OR, BETWEEN
// or CASE about, an AND outside parentheses joins everything before it with
// what follows.
std::size_t peelPrefixConditions(const Tokens& t, std::size_t where, std::size_t order,
                                 const std::vector<std::string>& listed,
                                 std::vector<SearchStatement::Condition>& conditions)
{
    std::size_t end = order;
    while (end > where + 1) {
        if (t[end - 1].kind != Token::Text || end < where + 5 || !isWord(t[end - 2], "LIKE"))
            break;
        std::size_t start = end - 3;
        while (start > where && (name(t[start]) || isSymbol(t[start], ".")))
            --start;
        if (!isWord(t[start], "AND") || start == where + 1)
            break;
        std::string column;
        if (qualifiedName(t, start + 1, end - 2, &column) != end - 2)
            break;
        const auto listedAt = std::find(listed.begin(), listed.end(), column);
        const std::optional<std::string> pattern = literal(t[end - 1]);
        if (listedAt == listed.end() || !pattern)
            break;
        conditions.insert(conditions.begin(),
                          SearchStatement::Condition{static_cast<int>(listedAt - listed.begin()), *pattern});
        end = start;
    }
    return end;
}

} // namespace

std::optional<SearchStatement> SearchStatement::parse(std::string_view sql)
{
    const std::optional<Tokens> scanned = tokens(sql);
    if (!scanned || scanned->empty() || !isWord(scanned->front(), "SELECT"))
        return std::nullopt;
    const Tokens& t = *scanned;
    const std::size_t from = findWord(t, 1, "FROM");
    const std::optional<std::vector<std::string>> listed = listedColumns(t, from);
    if (!listed)
        return std::nullopt;
    const std::size_t where = findWord(t, from, "WHERE");
    if (!plainTables(t, from, where))
        return std::nullopt;
    const std::size_t order = findWord(t, where, "ORDER");
    if (!plainConditions(t, where, order) || !plainOrder(t, order))
        return std::nullopt;

    SearchStatement search;
    const std::size_t end = peelPrefixConditions(t, where, order, *listed, search.conditions);
    search.base = std::string(sql.substr(0, t[end - 1].end));
    if (order < t.size())
        search.base += ' ' + std::string(sql.substr(t[order].begin));
    return search;
}
