#include "SqlTokens.h"

#include "Engine.h"

#include <array>

namespace db::sql {

namespace {

bool wordCharacter(unsigned char c, bool first)
{
    return c == '_' || c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
        || (!first && ((c >= '0' && c <= '9') || c == '$'));
}

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

} // namespace

std::vector<Token> tokens(std::string_view sql)
{
    std::vector<Token> out;
    const std::size_t n = sql.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = sql[i];
        const std::size_t begin = i;
        if (blank(char(c))) {
            ++i;
            continue;
        }
        Token::Kind kind = Token::Symbol;
        bool closed = true;
        if (wordCharacter(c, true)) {
            while (i < n && wordCharacter(sql[i], false))
                ++i;
            kind = Token::Word;
        } else if (c >= '0' && c <= '9') {
            while (i < n && sql[i] >= '0' && sql[i] <= '9')
                ++i;
            kind = Token::Number;
        } else if (c == '\'' || c == '"') {
            kind = c == '\'' ? Token::Text : Token::QuotedName;
            closed = false;
            ++i;
            while (i < n && !closed) {
                if (sql[i] == char(c) && i + 1 < n && sql[i + 1] == char(c))
                    i += 2; // a quote inside, written twice
                else
                    closed = sql[i++] == char(c);
            }
        } else if (sql.substr(i, 2) == "--") {
            const std::size_t close = sql.find('\n', i);
            i = close == std::string_view::npos ? n : close;
            kind = Token::Comment;
        } else if (sql.substr(i, 2) == "/*") {
            const std::size_t close = sql.find("*/", i + 2);
            closed = close != std::string_view::npos;
            i = closed ? close + 2 : n;
            kind = Token::Comment;
        } else {
            static constexpr std::array<std::string_view, 7> pairs{"<>", "!=", "<=", ">=", "==", "||", "::"};
            bool pair = false;
            for (std::string_view p : pairs)
                pair = pair || sql.substr(i, 2) == p;
            i += pair ? 2 : 1;
        }
        out.push_back(Token{kind, sql.substr(begin, i - begin), begin, i, closed});
    }
    return out;
}

bool isWord(const Token& token, std::string_view keyword)
{
    return token.kind == Token::Word && sameName(token.text, keyword);
}

} // namespace db::sql
