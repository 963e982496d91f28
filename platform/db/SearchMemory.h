#pragma once
// What a query keeps of the last statement it read in full, so that a
// narrower search over the same base is answered from memory.
//
// The rows themselves stay in the data set's RowStore; the memory says what
// they are (the base statement, the engine's walk for it, the register's
// change stamp before it was read, the fields' layout) and keeps the
// results of recent searches as lists of row numbers, each with the
// conditions it was found by. A new search starts from the smallest kept
// result that its conditions imply (adding a letter to a box narrows the
// previous result; Backspace finds an earlier one kept) and tests each row
// with the very matcher the engine's LIKE uses, so that it finds exactly
// the rows the statement would, in the base's order.

#include "Engine.h"
#include "Values.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

class RowStore;

class SearchMemory {
public:
    // A prefix condition, as SearchStatement found it, on a text field.
    struct Condition {
        int field = 0;
        std::string pattern;
        bool operator==(const Condition&) const = default;
    };
    using Rows = std::shared_ptr<const std::vector<std::uint32_t>>;

    // What the rows held are: the full result of base, read as walk says,
    // with the register as stamp says, into fields laid out so.
    struct Source {
        std::string base;
        std::string walk;
        db::ChangeStamp stamp;
        std::vector<int> columnOf;
        std::vector<FieldKind> kinds;
        bool operator==(const Source&) const = default;
    };

    // Whether the store holds source's rows, untouched since they were read.
    bool holds(const Source& source) const { return m_holding && m_source == source; }
    bool holding() const { return m_holding; }
    // The store has just been filled with source's rows.
    void hold(Source source);
    // Forgets everything: the store no longer holds a known result.
    void forget();

    // The held rows (numbers into store, in the held order) for which every
    // condition holds; null for all of them (no condition). Kept for the
    // searches that follow.
    Rows find(const RowStore& store, std::vector<Condition> conditions);

    // Bytes held besides the rows themselves, for the benchmark.
    std::size_t bytesUsed() const;

private:
    struct Result {
        std::vector<Condition> conditions; // sorted by field, then pattern
        Rows rows;
    };
    bool m_holding = false;
    Source m_source;
    std::list<Result> m_results; // most recently used first
    std::size_t m_keptRows = 0;
};
