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
// with the very matcher the engine's LIKE uses (on a server, comparing
// letters as the server lowers them), so that it finds exactly the rows the
// statement would, in the base's order.
//
// The data set answers from memory only when the answer cannot differ from
// the statement's (else it runs the statement): the statement is a
// SearchStatement over the held base; the engine's change stamp is the one
// the rows were read under (nobody committed, this connection wrote
// nothing, the same opening); the statement reads stored values only (no
// view or trigger, which may read the clock or chance); and the engine
// walks the tables the same way for it as for the base (EXPLAIN QUERY PLAN
// on a file), so that its rows would come in the held order: SQLite's
// sorter keeps rows with equal keys in the order the walk gave them, in
// memory and spilled to disk alike. A register without indexes gets a walk
// of its own for some searches, and those run their statement. A server
// sorts as ORDER BY says and promises nothing of rows with equal keys: the
// held order is one its statement may give (Engine::commonWalk); there the
// stamp is the register's own (see PostgresEngine_p.h).
//
// Up to 64 earlier results are kept, and never more than two million row
// numbers in all (4 bytes each), the least recently used going first.

#include "Engine.h"
#include "UnicodeLike.h"
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
        std::vector<std::string> fields; // the fields' names
        bool operator==(const Source&) const = default;
    };

    // Whether the store holds source's rows, untouched since they were read.
    bool holds(const Source& source) const { return m_holding && m_source == source; }
    bool holding() const { return m_holding; }
    // What the rows held are; only while holding.
    const Source& source() const { return m_source; }
    // The store has just been filled with source's rows.
    void hold(Source source);
    // Forgets everything: the store no longer holds a known result.
    void forget();

    // The held rows (numbers into store, in the held order) for which every
    // condition holds, letters compared as folding says (null: as the
    // matcher folds them); null for all of them (no condition). Kept for
    // the searches that follow.
    Rows find(const RowStore& store, std::vector<Condition> conditions, const unicode_like::Folding* folding);

    // Bytes held besides the rows themselves, for the benchmark.
    std::size_t bytesUsed() const;

private:
    struct Result {
        std::vector<Condition> conditions; // sorted by field, then pattern
        Rows rows;
    };
    // The smallest kept result that conditions narrow, or the end.
    std::list<Result>::iterator narrowestKept(const std::vector<Condition>& conditions);
    // Keeps a result found, the least recently used going past the limits.
    void keep(Result result);

    bool m_holding = false;
    Source m_source;
    std::list<Result> m_results; // most recently used first
    std::size_t m_keptRows = 0;
};
