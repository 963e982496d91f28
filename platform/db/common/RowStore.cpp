#include "RowStore.h"

#include "Exception.h"

#include <QCoreApplication>

#include <cstdlib>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

namespace pages {

// Below this a buffer is the allocator's: a table of a few rows stays small.
constexpr std::size_t Mapped = 64 * 1024;

std::size_t grow(void** pages, std::size_t oldBytes, std::size_t bytes)
{
    if (bytes < Mapped) {
        void* grown = std::realloc(*pages, bytes);
        if (!grown)
            throw std::bad_alloc();
        *pages = grown;
        return bytes;
    }
    static const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
    bytes = (bytes + page - 1) / page * page;
    void* grown = oldBytes >= Mapped
                      ? ::mremap(*pages, oldBytes, bytes, MREMAP_MAYMOVE)
                      : ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (grown == MAP_FAILED)
        throw std::bad_alloc();
    if (oldBytes < Mapped) {
        if (oldBytes)
            std::memcpy(grown, *pages, oldBytes);
        std::free(*pages);
    }
    *pages = grown;
    return bytes;
}

void release(void* pages, std::size_t bytes)
{
    if (bytes >= Mapped)
        ::munmap(pages, bytes);
    else
        std::free(pages);
}

} // namespace pages

void RowStore::reset(const std::vector<FieldKind>& kinds)
{
    clear();
    bool same = kinds.size() == m_columns.size();
    for (std::size_t c = 0; same && c < kinds.size(); ++c)
        same = m_columns[c].kind == kinds[c];
    if (same)
        return;
    m_columns.clear();
    for (FieldKind kind : kinds)
        m_columns.emplace_back(kind);
}

void RowStore::clear()
{
    // Buffers keep their size: a list is read again at every search, and
    // memory the system has already handed over is much cheaper to refill.
    for (Column& column : m_columns) {
        column.integers.clear();
        column.nulls.clear();
        column.spans.clear();
        column.keys.clear();
        column.recent.fill(Span{0, 0});
    }
    m_text.clear();
    m_rows = 0;
}

void RowStore::reserve(std::size_t rows)
{
    for (Column& column : m_columns) {
        if (column.kind == FieldKind::Integer) {
            column.integers.reserve(rows);
            column.nulls.reserve(rows);
        } else {
            column.spans.reserve(rows);
            column.keys.reserve(rows);
        }
    }
}

std::size_t RowStore::addRow()
{
    for (Column& column : m_columns) {
        if (column.kind == FieldKind::Integer) {
            column.integers.push_back(0);
            column.nulls.push_back(1);
        } else {
            column.spans.push_back(Span{0, NullLength});
            column.keys.push_back(0);
        }
    }
    return m_rows++;
}

bool RowStore::isNull(std::size_t row, std::size_t column) const
{
    Q_ASSERT(row < m_rows && column < m_columns.size());
    const Column& c = m_columns[column];
    return c.kind == FieldKind::Integer ? bool(c.nulls[row]) : c.spans[row].length == NullLength;
}

std::string_view RowStore::text(std::size_t row, std::size_t column) const
{
    Q_ASSERT(row < m_rows && column < m_columns.size() && m_columns[column].kind == FieldKind::Text);
    const Span span = m_columns[column].spans[row];
    Q_ASSERT(span.length == NullLength || std::size_t(span.offset) + span.length <= m_text.size());
    if (span.length == NullLength)
        return {};
    return std::string_view(m_text.data() + span.offset, span.length);
}

void RowStore::setNull(std::size_t row, std::size_t column)
{
    Q_ASSERT(row < m_rows && column < m_columns.size());
    Column& c = m_columns[column];
    if (c.kind == FieldKind::Integer) {
        c.integers[row] = 0;
        c.nulls[row] = 1;
    } else {
        c.spans[row] = Span{0, NullLength};
        c.keys[row] = 0;
    }
}

void RowStore::setInteger(std::size_t row, std::size_t column, std::int32_t value)
{
    Q_ASSERT(row < m_rows && column < m_columns.size() && m_columns[column].kind == FieldKind::Integer);
    Column& c = m_columns[column];
    c.integers[row] = value;
    c.nulls[row] = 0;
}

std::uint32_t RowStore::storeText(Column& column, const char* text, std::size_t length)
{
    if (length == 0)
        return 0;
    // A text's slot among the recent: its length, first bytes and last byte.
    std::uint32_t hash = std::uint32_t(length) * 0x9E3779B1u;
    for (std::size_t i = 0; i < std::min<std::size_t>(length, 8); ++i)
        hash = (hash ^ std::uint8_t(text[i])) * 0x01000193u;
    hash ^= std::uint8_t(text[length - 1]);
    Span& recent = column.recent[(hash ^ (hash >> 15)) & 255];
    if (recent.length == length && std::memcmp(m_text.data() + recent.offset, text, length) == 0)
        return recent.offset;
    const std::size_t offset = m_text.size();
    if (offset + length >= NullLength)
        throw Exception(QCoreApplication::translate("Register", "Previše teksta za memoriju: suzite pretragu."));
    m_text.append(text, length);
    recent = Span{std::uint32_t(offset), std::uint32_t(length)};
    return std::uint32_t(offset);
}

void RowStore::setText(std::size_t row, std::size_t column, std::string_view value)
{
    Q_ASSERT(row < m_rows && column < m_columns.size() && m_columns[column].kind == FieldKind::Text);
    Column& c = m_columns[column];
    c.spans[row] = Span{storeText(c, value.data(), value.size()), static_cast<std::uint32_t>(value.size())};
    c.keys[row] = unicode_like::firstKey(value.data(), value.size());
}

std::size_t RowStore::bytesUsed() const
{
    std::size_t bytes = m_text.capacity();
    for (const Column& c : m_columns)
        bytes += c.integers.capacity() * sizeof(std::int32_t) + c.nulls.capacity()
                 + c.spans.capacity() * sizeof(Span) + c.keys.capacity();
    return bytes;
}
