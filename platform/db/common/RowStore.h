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
// cleared (edits are few, loads are many). A text met lately in its column
// (a country, a city, a common name) is kept once and shared.
//
// A large buffer is pages of its own, grown by remapping them: while a
// million rows are read nothing is copied, and no buffer stands twice in
// memory.

#include "Values.h"
#include "UnicodeLike.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <vector>

namespace pages {
// Pages for at least `bytes` in place of *pages (holding oldBytes, remapped
// with their bytes kept); returns how many bytes they hold.
std::size_t grow(void** pages, std::size_t oldBytes, std::size_t bytes);
void release(void* pages, std::size_t bytes);
} // namespace pages

// A growing array of plain values in pages of its own (see RowStore).
// Growing remaps the pages in place of copying them, and capacity not yet
// written takes no memory. Throws std::bad_alloc when the system has none.
template <typename T>
class PageBuffer {
    static_assert(std::is_trivially_copyable_v<T> && 4096 % sizeof(T) == 0);

public:
    PageBuffer() = default;
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;
    PageBuffer(PageBuffer&& other) noexcept { swap(other); }
    PageBuffer& operator=(PageBuffer&& other) noexcept
    {
        PageBuffer held(std::move(*this)); // released on return
        swap(other);
        return *this;
    }
    ~PageBuffer() { pages::release(m_data, m_capacity * sizeof(T)); }

    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_capacity; }
    const T* data() const { return m_data; }
    T& operator[](std::size_t i) { return m_data[i]; }
    const T& operator[](std::size_t i) const { return m_data[i]; }
    void clear() { m_size = 0; }
    void reserve(std::size_t n)
    {
        if (n > m_capacity)
            grow(n);
    }
    void push_back(const T& value)
    {
        if (m_size == m_capacity)
            grow(m_size + 1);
        m_data[m_size++] = value;
    }
    void append(const T* values, std::size_t n)
    {
        if (m_size + n > m_capacity)
            grow(m_size + n);
        if (n)
            std::memcpy(m_data + m_size, values, n * sizeof(T));
        m_size += n;
    }

private:
    void swap(PageBuffer& other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }
    void grow(std::size_t needed)
    {
        void* data = m_data;
        const std::size_t bytes =
            pages::grow(&data, m_capacity * sizeof(T), std::max(needed, m_capacity * 2) * sizeof(T));
        m_data = static_cast<T*>(data);
        m_capacity = bytes / sizeof(T);
    }

    T* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

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
        c.spans.push_back(Span{storeText(c, text, length), static_cast<std::uint32_t>(length)});
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
    struct Span {
        std::uint32_t offset;
        std::uint32_t length;
    };
    struct Column {
        explicit Column(FieldKind k) : kind(k) {}
        FieldKind kind;
        PageBuffer<std::int32_t> integers;
        PageBuffer<std::uint8_t> nulls; // integer columns
        PageBuffer<Span> spans; // text columns
        PageBuffer<std::uint8_t> keys; // text columns: unicode_like::firstKey of each
        std::array<Span, 256> recent{}; // text columns: texts stored lately, by a hash of each
    };
    // The offset of the text in the shared buffer: one stored lately in the
    // column, or else a copy. Throws Exception when the buffer would pass 4 GiB.
    std::uint32_t storeText(Column& column, const char* text, std::size_t length);
    std::vector<Column> m_columns;
    PageBuffer<char> m_text;
    std::size_t m_rows = 0;
};
