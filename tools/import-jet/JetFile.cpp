#include "JetFile.h"

#include "ImportText.h"

// libmdb's header opens an extern "C" block around its own includes: glib
// must come first, as C++ sees it.
#include <glib.h>
#include <mdbtools.h>

#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

using import_text::say;

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c < 0x80 ? char(std::tolower(c)) : char(c); });
    return text;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string utf16ToUtf8(const std::u16string& units)
{
    std::string out;
    out.reserve(units.size() * 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            appendUtf8(out, 0xFFFD); // half a character: nothing in UTF-8 can hold it
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

// Bytes a value of a fixed-size type takes in a row.
int fixedSize(int type)
{
    switch (type) {
    case MDB_BYTE: return 1;
    case MDB_INT: return 2;
    case MDB_LONGINT: return 4;
    default: return 0;
    }
}

const char* typeName(int type)
{
    switch (type) {
    case MDB_BOOL: return "Yes/No";
    case MDB_BYTE: return "Byte";
    case MDB_INT: return "Integer";
    case MDB_LONGINT: return "Long Integer";
    case MDB_MONEY: return "Currency";
    case MDB_FLOAT: return "Single";
    case MDB_DOUBLE: return "Double";
    case MDB_DATETIME: return "Date/Time";
    case MDB_BINARY: return "Binary";
    case MDB_TEXT: return "Text";
    case MDB_OLE: return "OLE Object";
    case MDB_MEMO: return "Memo";
    case MDB_REPID: return "Replication ID";
    case MDB_NUMERIC: return "Decimal";
    default: return "unknown";
    }
}

} // namespace

std::string decodeJet4Text(const unsigned char* bytes, std::size_t size)
{
    std::u16string units;
    units.reserve(size);
    const auto takePairs = [&](std::size_t from, std::size_t to) {
        if ((to - from) % 2 != 0)
            throw JetError(say(QT_TRANSLATE_NOOP("ImportJet", "tekstualna vrednost se završava polovinom znaka")));
        for (std::size_t i = from; i < to; i += 2)
            units += char16_t(bytes[i] | (bytes[i + 1] << 8));
    };
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        // Compressed: one byte per character (its high byte zero), with
        // stretches of two-byte characters between zero bytes.
        bool compressed = true;
        std::size_t start = 2;
        for (std::size_t i = 2; i <= size; ++i) {
            if (i < size && bytes[i] != 0)
                continue;
            if (compressed)
                for (std::size_t k = start; k < i; ++k)
                    units += char16_t(bytes[k]);
            else
                takePairs(start, i);
            compressed = !compressed;
            start = i + 1;
        }
    } else {
        takePairs(0, size);
    }
    return utf16ToUtf8(units);
}

struct JetFile::Handle {
    MdbHandle* mdb = nullptr;
    iconv_t codePage = iconv_t(-1);
    ~Handle()
    {
        if (codePage != iconv_t(-1))
            iconv_close(codePage);
        if (mdb)
            mdb_close(mdb);
    }
};

namespace {

class Table : public JetTable {
public:
    Table(MdbHandle* mdb, MdbTableDef* def, iconv_t codePage) : m_mdb(mdb), m_def(def), m_codePage(codePage)
    {
        mdb_read_columns(m_def);
        mdb_rewind_table(m_def);
        for (unsigned i = 0; i < m_def->num_cols; ++i) {
            const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(m_def->columns, i));
            JetColumn column;
            column.name = col->name;
            column.typeName = typeName(col->col_type);
            column.kind = col->col_type == MDB_BYTE || col->col_type == MDB_INT || col->col_type == MDB_LONGINT
                              ? JetKind::Integer
                          : col->col_type == MDB_TEXT || col->col_type == MDB_MEMO ? JetKind::Text
                                                                                   : JetKind::Other;
            m_columns.push_back(column);
            m_types.push_back(col->col_type);
        }
        m_fields.resize(std::max<std::size_t>(m_columns.size(), 1) + 8);
        m_name = m_def->name;
    }
    ~Table() override { mdb_free_tabledef(m_def); }

    const std::string& name() const override { return m_name; }
    const std::vector<JetColumn>& columns() const override { return m_columns; }
    std::int64_t rowCount() const override { return m_def->num_rows; }

    bool next(std::vector<JetValue>& values) override
    {
        if (!mdb_fetch_row(m_def))
            return false;
        int start = 0;
        size_t length = 0;
        if (mdb_find_row(m_mdb, int(m_def->cur_row) - 1, &start, &length) != 0)
            throw JetError(
                say(QT_TRANSLATE_NOOP("ImportJet", "red %1 tabele %2 ne može da se pročita"), m_def->cur_row, m_name));
        const int count = mdb_crack_row(m_def, start, length, m_fields.data());
        if (count != int(m_columns.size()))
            throw JetError(say(QT_TRANSLATE_NOOP("ImportJet", "red tabele %1 nema svih svojih %2 kolona"), m_name,
                               m_columns.size()));
        values.assign(m_columns.size(), JetValue());
        for (int i = 0; i < count; ++i) {
            const MdbField& field = m_fields[i];
            const int c = field.colnum >= 0 && field.colnum < count ? field.colnum : i;
            JetValue& value = values[c];
            value.null = field.is_null;
            if (value.null)
                continue;
            // A damaged page can make the library point a value outside its page.
            const auto* bytes = static_cast<const unsigned char*>(field.value);
            const auto* page = static_cast<const unsigned char*>(m_mdb->pg_buf);
            const std::size_t pageSize = std::size_t(m_mdb->fmt->pg_size);
            if (field.siz < 0 || !bytes || bytes < page || bytes + field.siz > page + pageSize
                || (field.is_fixed && field.siz < fixedSize(m_types[c])))
                throw JetError(say(QT_TRANSLATE_NOOP("ImportJet", "red %1 tabele %2 je oštećen (kolona %3)"),
                                   m_def->cur_row, m_name, m_columns[c].name));
            switch (m_types[c]) {
            case MDB_BYTE:
                value.integer = bytes[0];
                break;
            case MDB_INT:
                value.integer = std::int16_t(bytes[0] | (bytes[1] << 8));
                break;
            case MDB_LONGINT:
                value.integer = std::int32_t(std::uint32_t(bytes[0]) | (std::uint32_t(bytes[1]) << 8)
                                             | (std::uint32_t(bytes[2]) << 16) | (std::uint32_t(bytes[3]) << 24));
                break;
            case MDB_TEXT:
                value.text = m_codePage != iconv_t(-1) ? fromCodePage(bytes, std::size_t(field.siz))
                                                       : decodeJet4Text(bytes, std::size_t(field.siz));
                break;
            case MDB_MEMO: {
                // Long text lives on pages of its own: the library follows them.
                char* text = mdb_col_to_string(m_mdb, m_mdb->pg_buf, field.start, MDB_MEMO, field.siz);
                value.text = text ? text : "";
                g_free(text);
                break;
            }
            default:
                break;
            }
        }
        return true;
    }

private:
    std::string fromCodePage(const unsigned char* bytes, std::size_t size) const
    {
        iconv(m_codePage, nullptr, nullptr, nullptr, nullptr);
        std::string out(size * 4 + 4, '\0');
        char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
        char* outPtr = out.data();
        std::size_t inLeft = size, outLeft = out.size();
        if (iconv(m_codePage, &in, &inLeft, &outPtr, &outLeft) == std::size_t(-1))
            throw JetError(
                say(QT_TRANSLATE_NOOP("ImportJet",
                                      "tekstualna vrednost tabele %1 nije tekst u kodnoj strani datoteke (%2); "
                                      "pravu navedite uz --codepage"),
                    m_name, std::strerror(errno)));
        out.resize(out.size() - outLeft);
        return out;
    }

    MdbHandle* m_mdb;
    MdbTableDef* m_def;
    iconv_t m_codePage;
    std::string m_name;
    std::vector<JetColumn> m_columns;
    std::vector<int> m_types;
    std::vector<MdbField> m_fields;
};

} // namespace

int JetTable::columnIndex(const std::string& name) const
{
    const auto& all = columns();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (lower(all[i].name) == lower(name))
            return int(i);
    return -1;
}

std::string JetFile::whyNotJet(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return say(QT_TRANSLATE_NOOP("ImportJet", "„%1” ne može da se pročita: %2."), path, std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        return say(QT_TRANSLATE_NOOP("ImportJet", "„%1” je fascikla, a ne datoteka baze."), path);
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return say(QT_TRANSLATE_NOOP("ImportJet", "„%1” ne može da se pročita: %2."), path, std::strerror(errno));
    char header[32] = {};
    file.read(header, sizeof header);
    const std::streamsize got = file.gcount();
    if (got == 0)
        return say(QT_TRANSLATE_NOOP("ImportJet", "„%1” je prazna: u njoj nema registra."), path);
    if (got >= 16 && std::memcmp(header, "SQLite format 3", 16) == 0)
        return say(
            QT_TRANSLATE_NOOP("ImportJet", "„%1” je već registar u formatu ovog programa: nema šta da se uvozi."),
            path);
    if (got < 20 || (std::memcmp(header + 4, "Standard Jet DB", 16) != 0
                     && std::memcmp(header + 4, "Standard ACE DB", 16) != 0))
        return say(QT_TRANSLATE_NOOP("ImportJet", "„%1” nije Access (Jet ili ACE) baza."), path);
    const long pageSize = header[0x14] == 0 ? 2048 : 4096;
    if (info.st_size < 2 * pageSize || info.st_size % pageSize != 0)
        return say(
            QT_TRANSLATE_NOOP("ImportJet",
                              "„%1” je oštećena: skraćena je (%2 bajtova, a ne ceo broj strana od po %3 bajtova)."),
            path, info.st_size, pageSize);
    return {};
}

JetFile::JetFile(const std::string& path, int codePage) : m_handle(std::make_unique<Handle>())
{
    const std::string problem = whyNotJet(path);
    if (!problem.empty())
        throw JetError(problem);
    m_handle->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!m_handle->mdb)
        throw JetError(
            say(QT_TRANSLATE_NOOP("ImportJet", "„%1” ne može da se otvori kao Access baza: možda je oštećena."), path));
    if (!mdb_read_catalog(m_handle->mdb, MDB_TABLE))
        throw JetError(say(
            QT_TRANSLATE_NOOP("ImportJet", "spisak tabela u „%1” ne može da se pročita: datoteka je možda oštećena."),
            path));
    if (isJet3()) {
        m_codePage = codePage > 0 ? codePage : m_handle->mdb->f->code_page > 0 ? m_handle->mdb->f->code_page : 1252;
        const std::string name = "CP" + std::to_string(m_codePage);
        m_handle->codePage = iconv_open("UTF-8", name.c_str());
        if (m_handle->codePage == iconv_t(-1))
            throw JetError(
                say(QT_TRANSLATE_NOOP("ImportJet", "kodna strana %1 nije poznata na ovom sistemu."), m_codePage));
    }
}

JetFile::~JetFile() = default;

bool JetFile::isJet3() const
{
    return m_handle->mdb->f->jet_version == MDB_VER_JET3;
}

std::string JetFile::formatName() const
{
    switch (m_handle->mdb->f->jet_version) {
    case MDB_VER_JET3: return "Jet 3";
    case MDB_VER_JET4: return "Jet 4";
    default: return "ACE";
    }
}

std::vector<std::string> JetFile::tableNames() const
{
    std::vector<std::string> names;
    GPtrArray* catalog = m_handle->mdb->catalog;
    for (guint i = 0; catalog && i < catalog->len; ++i) {
        const auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        const std::string name = entry->object_name;
        if (entry->object_type == MDB_TABLE && lower(name).rfind("msys", 0) != 0)
            names.push_back(name);
    }
    return names;
}

std::unique_ptr<JetTable> JetFile::table(const std::string& name) const
{
    GPtrArray* catalog = m_handle->mdb->catalog;
    for (guint i = 0; catalog && i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (entry->object_type != MDB_TABLE || lower(entry->object_name) != lower(name))
            continue;
        MdbTableDef* def = mdb_read_table(entry);
        if (!def)
            throw JetError(say(
                QT_TRANSLATE_NOOP("ImportJet", "tabela %1 ne može da se pročita: datoteka je možda oštećena."), name));
        return std::make_unique<Table>(m_handle->mdb, def, m_handle->codePage);
    }
    return nullptr;
}
