#include "FilterExpression.h"

#include "Exception.h"
#include "Field.h"
#include "RowStore.h"

#include <QCoreApplication>

#include <charconv>

namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    FilterExpression::Condition condition()
    {
        FilterExpression::Condition c;
        c.field = fieldName();
        c.op = op();
        skipBlanks();
        if (atEnd() || atAnd())
            return c; // no value: matches nothing
        if (peek() == '\'') {
            c.valueKind = FilterExpression::Condition::Value::Text;
            c.text = quoted();
        } else {
            c.valueKind = FilterExpression::Condition::Value::Integer;
            c.integer = number();
        }
        return c;
    }

    bool atEnd()
    {
        skipBlanks();
        return m_pos >= m_text.size();
    }

    // Consumes "AND" (any letter case) followed by a blank, a bracket or a quote.
    bool takeAnd()
    {
        skipBlanks();
        if (!atAnd())
            return false;
        m_pos += 3;
        return true;
    }

    // what: a text marked for translation (context "Register").
    [[noreturn]] void fail(const char* what) const
    {
        throw Exception(QCoreApplication::translate("Register", "Filter „%1”: %2 na mestu %3.")
                            .arg(QString::fromUtf8(m_text.data(), qsizetype(m_text.size())),
                                 QCoreApplication::translate("Register", what))
                            .arg(m_pos + 1));
    }

private:
    char peek() const { return m_text[m_pos]; }

    void skipBlanks()
    {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t'
                                         || m_text[m_pos] == '\r' || m_text[m_pos] == '\n'))
            ++m_pos;
    }

    bool atAnd() const
    {
        if (m_text.size() - m_pos < 4)
            return false;
        const std::string_view word = m_text.substr(m_pos, 3);
        const bool isAnd = (word[0] | 0x20) == 'a' && (word[1] | 0x20) == 'n' && (word[2] | 0x20) == 'd';
        const char after = m_text[m_pos + 3];
        return isAnd && (after == ' ' || after == '\t' || after == '[');
    }

    static bool isNameChar(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'
               || c == '.' || (static_cast<unsigned char>(c) >= 0x80);
    }

    std::string fieldName()
    {
        skipBlanks();
        if (m_pos < m_text.size() && peek() == '[') {
            const std::size_t close = m_text.find(']', m_pos + 1);
            if (close == std::string_view::npos)
                fail(QT_TRANSLATE_NOOP("Register", "ime polja u [ ] nije zatvoreno"));
            std::string name(m_text.substr(m_pos + 1, close - m_pos - 1));
            m_pos = close + 1;
            if (name.empty())
                fail(QT_TRANSLATE_NOOP("Register", "ime polja je prazno"));
            return name;
        }
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && isNameChar(peek()))
            ++m_pos;
        if (m_pos == start)
            fail(QT_TRANSLATE_NOOP("Register", "očekuje se ime polja"));
        return std::string(m_text.substr(start, m_pos - start));
    }

    FilterExpression::Operator op()
    {
        using Op = FilterExpression::Operator;
        skipBlanks();
        const std::string_view rest = m_text.substr(m_pos);
        struct { std::string_view text; Op op; } const table[] = {
            {"<>", Op::NotEqual}, {"<=", Op::LessOrEqual}, {">=", Op::GreaterOrEqual},
            {"=", Op::Equal}, {"<", Op::Less}, {">", Op::Greater},
        };
        for (const auto& entry : table)
            if (rest.substr(0, entry.text.size()) == entry.text) {
                m_pos += entry.text.size();
                return entry.op;
            }
        fail(QT_TRANSLATE_NOOP("Register", "očekuje se poređenje (=, <>, <, <=, >, >=)"));
    }

    std::string quoted()
    {
        std::string value;
        ++m_pos; // opening quote
        while (m_pos < m_text.size()) {
            if (peek() == '\'') {
                if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '\'') {
                    value += '\'';
                    m_pos += 2;
                    continue;
                }
                ++m_pos;
                return value;
            }
            value += m_text[m_pos++];
        }
        fail(QT_TRANSLATE_NOOP("Register", "tekst pod navodnicima nije zatvoren"));
    }

    std::int64_t number()
    {
        const std::size_t start = m_pos;
        if (m_pos < m_text.size() && (peek() == '-' || peek() == '+'))
            ++m_pos;
        while (m_pos < m_text.size() && peek() >= '0' && peek() <= '9')
            ++m_pos;
        std::string_view digits = m_text.substr(start, m_pos - start);
        if (!digits.empty() && digits.front() == '+')
            digits.remove_prefix(1);
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
            m_pos = start;
            fail(QT_TRANSLATE_NOOP("Register", "očekuje se ceo broj ili tekst pod navodnicima"));
        }
        return value;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

template <typename T>
bool compare(FilterExpression::Operator op, const T& a, const T& b)
{
    using Op = FilterExpression::Operator;
    switch (op) {
    case Op::Equal: return a == b;
    case Op::NotEqual: return a != b;
    case Op::Less: return a < b;
    case Op::LessOrEqual: return a <= b;
    case Op::Greater: return a > b;
    case Op::GreaterOrEqual: return a >= b;
    }
    return false;
}

} // namespace

FilterExpression FilterExpression::parse(std::string_view text)
{
    FilterExpression result;
    Parser parser(text);
    if (parser.atEnd())
        return result;
    for (;;) {
        result.m_conditions.push_back(parser.condition());
        if (parser.atEnd())
            break;
        if (!parser.takeAnd())
            parser.fail(QT_TRANSLATE_NOOP("Register", "očekuje se AND ili kraj filtera"));
    }
    return result;
}

void FilterExpression::bind(const QList<TField*>& fields)
{
    for (Condition& c : m_conditions) {
        c.column = -1;
        const QString name = QString::fromStdString(c.field);
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i]->FieldName().compare(name, Qt::CaseInsensitive) == 0) {
                c.column = i;
                break;
            }
        if (c.column < 0)
            throw Exception(QCoreApplication::translate("Register", "Filter: polje „%1” ne postoji.")
                                .arg(QString::fromStdString(c.field)));
        // Bring the constant to the field's kind once, not at every row.
        if (fields[c.column]->kind() == FieldKind::Integer && c.valueKind == Condition::Value::Text) {
            std::int32_t number = 0;
            if (db::parseInteger(c.text, number)) {
                c.valueKind = Condition::Value::Integer;
                c.integer = number;
            } else {
                c.valueKind = Condition::Value::None; // a text never equals a number field
            }
        } else if (fields[c.column]->kind() == FieldKind::Text && c.valueKind == Condition::Value::Integer) {
            c.valueKind = Condition::Value::Text;
            c.text = std::to_string(c.integer);
        }
    }
}

bool FilterExpression::matches(const RowStore& store, std::size_t row) const
{
    for (const Condition& c : m_conditions) {
        if (c.valueKind == Condition::Value::None || store.isNull(row, c.column))
            return false;
        const bool holds = c.valueKind == Condition::Value::Integer
            ? compare<std::int64_t>(c.op, store.integer(row, c.column), c.integer)
            : compare<std::string_view>(c.op, store.text(row, c.column), c.text);
        if (!holds)
            return false;
    }
    return true;
}
