#include "SearchMemory.h"

#include "RowStore.h"
#include "UnicodeLike.h"

#include <algorithm>
#include <numeric>

namespace {

// Row numbers kept besides the held rows, over all kept results: about as
// many as the held rows are, and never so many that a list of a million
// persons passes its memory budget (4 bytes a row number).
constexpr std::size_t KeptRowLimit = 2'000'000;
constexpr std::size_t KeptResultLimit = 64;

// Whether every text that matches pattern also matches wider. Patterns end
// where a search box's text ends and go on with "%": a wider pattern
// "abc%" holds for every text of "abcd%" or "abc%x", because "%" takes
// whatever follows. Without an escape character there is no other way for
// one pattern to hold inside another that is worth finding out.
bool implies(const std::string& pattern, const std::string& wider)
{
    if (pattern == wider)
        return true;
    if (wider.empty() || wider.back() != '%')
        return false;
    return std::string_view(pattern).starts_with(std::string_view(wider).substr(0, wider.size() - 1));
}

bool ordered(const SearchMemory::Condition& a, const SearchMemory::Condition& b)
{
    return a.field != b.field ? a.field < b.field : a.pattern < b.pattern;
}

// The conditions a search still tests, row by row: the first letter by the
// rows' first-letter bytes where the pattern begins with one, then the
// very matcher the engine's LIKE uses. Patterns are seen where the
// conditions hold them.
class RowTest {
public:
    RowTest(const RowStore& store, const unicode_like::Folding* folding) : m_store(store), m_folding(folding) {}

    void add(const SearchMemory::Condition& c)
    {
        const bool letterFirst = !c.pattern.empty() && c.pattern[0] != '%' && c.pattern[0] != '_';
        std::bitset<256> allowed;
        if (m_folding)
            allowed = m_folding->keysLike(unicode_like::firstCharacter(c.pattern));
        else
            allowed.set(unicode_like::firstKey(c.pattern.data(), c.pattern.size()));
        m_tests.push_back(Test{c.field, c.pattern, letterFirst ? m_store.firstKeys(c.field) : nullptr, allowed, {}});
    }

    bool keeps(std::uint32_t row)
    {
        for (Test& test : m_tests) {
            if (test.keys && !test.allowed[test.keys[row]])
                return false;
            if (m_store.isNull(row, test.field))
                return false; // NULL LIKE anything is not true
            const std::string_view text = m_store.text(row, test.field);
            if (!test.lastValid || text != test.lastText) {
                test.lastText = text;
                test.lastResult = m_folding ? unicode_like::match(test.pattern, text, *m_folding)
                                            : unicode_like::match(test.pattern, text);
                test.lastValid = true;
            }
            if (!test.lastResult)
                return false;
        }
        return true;
    }

private:
    struct Test {
        int field;
        std::string_view pattern;
        const std::uint8_t* keys; // the rows' first-letter bytes, when the pattern begins with a letter
        std::bitset<256> allowed; // those of the letters that the pattern's first one finds
        std::string_view lastText; // rows of one country or city come together:
        bool lastResult = false;   // a text like the previous row's is not matched twice
        bool lastValid = false;
    };
    const RowStore& m_store;
    const unicode_like::Folding* m_folding;
    std::vector<Test> m_tests;
};

} // namespace

void SearchMemory::hold(Source source)
{
    forget();
    m_source = std::move(source);
    m_holding = true;
}

void SearchMemory::forget()
{
    m_holding = false;
    m_source = Source{};
    m_results.clear();
    m_keptRows = 0;
}

SearchMemory::Rows SearchMemory::find(const RowStore& store, std::vector<Condition> conditions,
                                      const unicode_like::Folding* folding)
{
    if (conditions.empty())
        return nullptr;
    // Conditions test the held rows' text fields; kept results number rows
    // of the store as it was filled.
    Q_ASSERT(m_holding);
    for (const Condition& c : conditions)
        Q_ASSERT(c.field >= 0 && std::size_t(c.field) < store.columnCount() && store.kind(c.field) == FieldKind::Text);
    std::sort(conditions.begin(), conditions.end(), ordered);
    conditions.erase(std::unique(conditions.begin(), conditions.end()), conditions.end());

    const auto start = narrowestKept(conditions);
    if (start != m_results.end() && start->conditions == conditions) {
        m_results.splice(m_results.begin(), m_results, start);
        return start->rows;
    }

    // Only the conditions that the start does not already hold as they are
    // need testing.
    RowTest test(store, folding);
    for (const Condition& c : conditions)
        if (start == m_results.end()
            || std::find(start->conditions.begin(), start->conditions.end(), c) == start->conditions.end())
            test.add(c);
    auto found = std::make_shared<std::vector<std::uint32_t>>();
    if (start == m_results.end()) {
        const std::size_t rows = store.rowCount();
        for (std::size_t row = 0; row < rows; ++row)
            if (test.keeps(static_cast<std::uint32_t>(row)))
                found->push_back(static_cast<std::uint32_t>(row));
    } else {
        for (std::uint32_t row : *start->rows) {
            Q_ASSERT(row < store.rowCount());
            if (test.keeps(row))
                found->push_back(row);
        }
    }
    found->shrink_to_fit();
    keep(Result{std::move(conditions), found});
    return found;
}

std::list<SearchMemory::Result>::iterator SearchMemory::narrowestKept(const std::vector<Condition>& conditions)
{
    // Each of the kept result's conditions is implied by one of these.
    auto narrows = [&](const Result& result) {
        return std::all_of(result.conditions.begin(), result.conditions.end(), [&](const Condition& kept) {
            return std::any_of(conditions.begin(), conditions.end(), [&](const Condition& c) {
                return c.field == kept.field && implies(c.pattern, kept.pattern);
            });
        });
    };
    auto start = m_results.end();
    for (auto r = m_results.begin(); r != m_results.end(); ++r)
        if (narrows(*r) && (start == m_results.end() || r->rows->size() < start->rows->size()))
            start = r;
    return start;
}

void SearchMemory::keep(Result result)
{
    m_keptRows += result.rows->size();
    m_results.push_front(std::move(result));
    while (m_results.size() > 1 && (m_results.size() > KeptResultLimit || m_keptRows > KeptRowLimit)) {
        m_keptRows -= m_results.back().rows->size();
        m_results.pop_back();
    }
    Q_ASSERT(m_keptRows == std::accumulate(m_results.begin(), m_results.end(), std::size_t(0),
                                           [](std::size_t sum, const Result& r) { return sum + r.rows->size(); }));
}

std::size_t SearchMemory::bytesUsed() const
{
    return m_keptRows * sizeof(std::uint32_t);
}
