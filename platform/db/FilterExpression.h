#pragma once
// The filter language of data sets: comparisons of a field with a constant,
// joined by AND, for example "ID_DRZAVA=3" or "ID_DRZAVA = 3 AND NAZIV <> 'Niš'".
//
//   filter     := condition { "AND" condition }
//   condition  := field operator [ value ]
//   operator   := "=" | "<>" | "<" | "<=" | ">" | ">="
//   value      := whole number | 'text' (a quote inside written twice)
//
// Field names are matched without regard to case, and may stand in [ ].
// A condition without a value ("ID_DRZAVA=", a row with no country yet)
// holds for no row: the data set then shows nothing instead of failing.

#include <QList>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class RowStore;
class TField;

class FilterExpression {
public:
    enum class Operator { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
    struct Condition {
        std::string field;
        Operator op = Operator::Equal;
        enum class Value { None, Integer, Text } valueKind = Value::None;
        std::int64_t integer = 0;
        std::string text;
        int column = -1; // set by bind()
    };

    // Throws Exception, naming the place, when text is not a filter. An
    // empty or blank text is the filter that keeps every row.
    static FilterExpression parse(std::string_view text);

    // Resolves field names against a data set's fields; throws Exception
    // naming a field that is not there.
    void bind(const QList<TField*>& fields);

    bool keepsEverything() const { return m_conditions.empty(); }
    // Whether a physical row of store passes every condition (after bind).
    bool matches(const RowStore& store, std::size_t row) const;

    const std::vector<Condition>& conditions() const { return m_conditions; }

private:
    std::vector<Condition> m_conditions;
};
