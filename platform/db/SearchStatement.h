#pragma once
// A reading statement seen as a search: a base statement that lists some
// columns, narrowed by prefix conditions on listed columns,
//
//   SELECT a, b, c FROM ... WHERE <base condition> AND a LIKE 'p%' AND c LIKE 'q%' ORDER BY ...
//
// so that a data set holding the base statement's rows can find the rows of
// the narrower one itself. Only a statement whose meaning is certain from
// its words is recognised: plain column names in the list, tables in the
// FROM list, a WHERE condition of comparisons joined by AND (no OR, no
// function, no subquery, nothing that varies from run to run) and an ORDER
// BY of column names. Anything else is not a search, and is simply run.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SearchStatement {
    struct Condition {
        int column = 0;      // the listed column (result column) it tests, from 0
        std::string pattern; // the LIKE pattern, as the database reads the literal
    };

    // The statement without the trailing conditions; two statements over the
    // same base have equal texts here.
    std::string base;
    // The trailing conditions, in the statement's order; every one must hold.
    std::vector<Condition> conditions;

    // The search that sql is, or nothing when it is not one as described above.
    static std::optional<SearchStatement> parse(std::string_view sql);
};
