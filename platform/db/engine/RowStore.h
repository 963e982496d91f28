#pragma once
// The rows of an open data set, held column by column.
//
// An integer column keeps 4 bytes a row and a null bit; a text column keeps
// an (offset, length) pair a row into one shared buffer of UTF-8 text. A
// million persons with seven fields take about 45 bytes a row besides their
// text. Beside each text, one byte stands for its first letter (see
// unicode_like::firstKey): a search by prefix passes over most rows without
// reading their text. Rows are addressed by their physical index, which
// never changes while the store lives; the data set keeps the order in
// which rows are shown.
// Changing a text appends the new text; the old bytes stay until the store is
// cleared (edits are few, loads are many).

#include "Values.h"
#include "UnicodeLike.h"

#include <QtGlobal>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class RowStore {
public:
    // Empties the store and sets the kinds of its columns.
    void reset(const std::vector<FieldKind>& kinds);
    // Empties the store; its buffers keep their capacity for the next load.
    void clear();

    std::size_t rowCount() const { return m_rows; }
    std::size_t columnCount() const { return m_columns.size(); }
    FieldKind kind(std::size_t column) const { return m_columns[column].kind; }
    void reserve(std::size_t rows);

    // Adds a row whose every value is null; returns its physical index.
    std::size_t addRow();

    // Loading row by row: append one value to every column, in column
    // order, then call endRow(). Inline: this is the loop every search runs.
    void appendNull(std::size_t column)
    {
        Q_ASSERT(column < m_columns.size());
        Column& c = m_columns[column];
        if (c.kind == FieldKind::Integer) {
            c.integers.push_back(0);
            c.nulls.push_back(1);
        } else {
            c.spans.push_back(Span{0, NullLength});
            c.keys.push_back(0);
        }
    }
    void appendInteger(std::size_t column, std::int32_t value)
    {
        Q_ASSERT(column < m_columns.size() && m_columns[column].kind == FieldKind::Integer);
        Column& c = m_columns[column];
        c.integers.push_back(value);
        c.nulls.push_back(0);
    }
    void appendText(std::size_t column, const char* text, std::size_t length)
    {
        Q_ASSERT(column < m_columns.size() && m_columns[column].kind == FieldKind::Text);
        Column& c = m_columns[column];
        c.spans.push_back(Span{storeText(text, length), static_cast<std::uint32_t>(length)});
        c.keys.push_back(unicode_like::firstKey(text, length));
    }
    // Every column has been given the row's value, once.
    void endRow()
    {
        ++m_rows;
        Q_ASSERT(std::all_of(m_columns.begin(), m_columns.end(), [this](const Column& c) {
            return (c.kind == FieldKind::Integer ? c.integers.size() : c.spans.size()) == m_rows;
        }));
    }

    bool isNull(std::size_t row, std::size_t column) const;
    std::int32_t integer(std::size_t row, std::size_t column) const
    {
        Q_ASSERT(row < m_rows && column < m_columns.size() && m_columns[column].kind == FieldKind::Integer);
        return m_columns[column].integers[row];
    }
    std::string_view text(std::size_t row, std::size_t column) const;
    // The first letters' bytes of a text column, one a row (0 for null).
    const std::uint8_t* firstKeys(std::size_t column) const { return m_columns[column].keys.data(); }

    void setNull(std::size_t row, std::size_t column);
    void setInteger(std::size_t row, std::size_t column, std::int32_t value);
    // Throws Exception when the text buffer would pass 4 GiB.
    void setText(std::size_t row, std::size_t column, std::string_view value);

    // Bytes held, for the benchmark's memory figures.
    std::size_t bytesUsed() const;

private:
    static constexpr std::uint32_t NullLength = UINT32_MAX;
    // Copies text into the shared buffer; returns its offset. Throws
    // Exception when the buffer would pass 4 GiB.
    std::uint32_t storeText(const char* text, std::size_t length);
    struct Span {
        std::uint32_t offset;
        std::uint32_t length;
    };
    struct Column {
        FieldKind kind;
        std::vector<std::int32_t> integers;
        std::vector<std::uint8_t> nulls; // integer columns
        std::vector<Span> spans; // text columns
        std::vector<std::uint8_t> keys; // text columns: unicode_like::firstKey of each
    };
    std::vector<Column> m_columns;
    std::string m_text;
    std::size_t m_rows = 0;
};
