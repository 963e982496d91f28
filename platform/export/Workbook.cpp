#include "Workbook.h"

#include <zip.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <ctime>

namespace list_export {

namespace {

// The sheet's XML is handed to the packer in pieces of about this size, and
// at most this many wait: the two threads stay a few milliseconds apart.
constexpr std::size_t Chunk = 1 << 20;
constexpr std::size_t Waiting = 4;
// What a part of a workbook may hold without the zip format's extensions,
// which not every spreadsheet program reads.
constexpr unsigned long long MaxPart = 0xFFFFFFFFull;

// The file minizip writes to is the caller's open device: written in
// order, and sought back to the start of a part to fill in its sizes.
QFileDevice* device(voidpf stream)
{
    return static_cast<QFileDevice*>(stream);
}

voidpf ZCALLBACK openDevice(voidpf opaque, const void*, int)
{
    return opaque;
}

uLong ZCALLBACK readDevice(voidpf, voidpf, void*, uLong)
{
    return 0;
}

uLong ZCALLBACK writeDevice(voidpf, voidpf stream, const void* data, uLong size)
{
    return writeWhole(*device(stream), static_cast<const char*>(data), qint64(size)) ? size : 0;
}

ZPOS64_T ZCALLBACK tellDevice(voidpf, voidpf stream)
{
    return ZPOS64_T(device(stream)->pos());
}

long ZCALLBACK seekDevice(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    QFileDevice* file = device(stream);
    const qint64 from = origin == ZLIB_FILEFUNC_SEEK_CUR ? file->pos()
                        : origin == ZLIB_FILEFUNC_SEEK_END ? file->size()
                                                           : 0;
    return file->seek(from + qint64(offset)) ? 0 : -1;
}

int ZCALLBACK closeDevice(voidpf, voidpf)
{
    return 0; // the caller commits or drops the file
}

int ZCALLBACK deviceError(voidpf, voidpf)
{
    return 0;
}

// Bytes of a text that need more than a copy in XML: markup, control
// characters, "_" (which may begin an escape of Excel's own) and the
// bytes of characters beyond ASCII (checked to be whole UTF-8).
constexpr std::array<bool, 256> Special = [] {
    std::array<bool, 256> special{};
    for (int c = 0; c < 0x20; ++c)
        special[std::size_t(c)] = c != '\t' && c != '\n';
    for (int c = 0x80; c < 0x100; ++c)
        special[std::size_t(c)] = true;
    special['&'] = special['<'] = special['>'] = special['_'] = true;
    return special;
}();

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A character XML cannot hold, as spreadsheet programs write it: _xHHHH_.
void addEscape(std::string& out, unsigned code)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    out += "_x";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += Digits[(code >> shift) & 0xF];
    out += '_';
}

// The length of the whole UTF-8 character text begins with, or 0.
std::size_t characterLength(std::string_view text)
{
    const auto at = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned lead = at(0);
    const auto follows = [&](std::size_t i, unsigned low = 0x80, unsigned high = 0xBF) {
        return at(i) >= low && at(i) <= high;
    };
    if (lead >= 0xC2 && lead <= 0xDF)
        return follows(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const bool second = lead == 0xE0 ? follows(1, 0xA0) : lead == 0xED ? follows(1, 0x80, 0x9F) : follows(1);
        return second && follows(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const bool second = lead == 0xF0 ? follows(1, 0x90) : lead == 0xF4 ? follows(1, 0x80, 0x8F) : follows(1);
        return second && follows(2) && follows(3) ? 4 : 0;
    }
    return 0;
}

// Adds text to out as an element's content that spreadsheet programs read
// back as text: markup escaped, characters XML cannot hold as _xHHHH_, a
// "_xHHHH_" of the text's own with its "_" escaped, bytes that are not
// UTF-8 as the replacement character.
void addText(std::string& out, std::string_view text)
{
    std::size_t copied = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!Special[c]) {
            ++i;
            continue;
        }
        out.append(text.data() + copied, i - copied);
        std::size_t length = 1;
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '_':
            if (i + 6 < text.size() && text[i + 1] == 'x' && isHex(text[i + 2]) && isHex(text[i + 3]) &&
                isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == '_')
                addEscape(out, '_');
            else
                out += '_';
            break;
        default:
            if (c < 0x20) {
                addEscape(out, c);
            } else if ((length = characterLength(text.substr(i))) == 0) {
                out += "\xEF\xBF\xBD";
                length = 1;
            } else if (length == 3 && c == 0xEF && static_cast<unsigned char>(text[i + 1]) == 0xBF
                       && (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
                addEscape(out, text[i + 2] == '\xBE' ? 0xFFFE : 0xFFFF); // not characters in XML
            } else {
                out.append(text.data() + i, length);
            }
        }
        i += length;
        copied = i;
    }
    out.append(text.data() + copied, text.size() - copied);
}

std::string escaped(std::string_view text)
{
    std::string out;
    addText(out, text);
    return out;
}

// "A", "B", ... "Z", "AA", ...: a column's name in a cell's reference.
std::string columnName(std::size_t column)
{
    std::string name;
    for (std::size_t n = column + 1; n > 0; n = (n - 1) / 26)
        name.insert(name.begin(), char('A' + (n - 1) % 26));
    return name;
}

void appendNumber(std::string& out, long long number)
{
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

zip_fileinfo now()
{
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    zip_fileinfo info{};
    info.tmz_date.tm_sec = uInt(local.tm_sec);
    info.tmz_date.tm_min = uInt(local.tm_min);
    info.tmz_date.tm_hour = uInt(local.tm_hour);
    info.tmz_date.tm_mday = uInt(local.tm_mday);
    info.tmz_date.tm_mon = uInt(local.tm_mon);
    info.tmz_date.tm_year = uInt(local.tm_year + 1900);
    return info;
}

constexpr const char* Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* Main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* Relations = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* Relation = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string contentTypes()
{
    const std::string type = "application/vnd.openxmlformats-";
    return std::string(Declaration) +
           "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
           "<Default Extension=\"rels\" ContentType=\"" + type + "package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
           "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" + type +
           "officedocument.spreadsheetml.sheet.main+xml\"/>"
           "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" + type +
           "officedocument.spreadsheetml.worksheet+xml\"/>"
           "<Override PartName=\"/xl/styles.xml\" ContentType=\"" + type +
           "officedocument.spreadsheetml.styles+xml\"/></Types>";
}

std::string relationships(std::initializer_list<std::pair<const char*, const char*>> targets)
{
    std::string xml = std::string(Declaration) + "<Relationships xmlns=\"" + Relations + "\">";
    int id = 0;
    for (const auto& [type, target] : targets)
        xml += "<Relationship Id=\"rId" + std::to_string(++id) + "\" Type=\"" + Relation + "/" + type +
               "\" Target=\"" + target + "\"/>";
    return xml + "</Relationships>";
}

// Two fonts (the second bold, for the titles) and a cell format of each.
std::string styles()
{
    const std::string font = "<sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>";
    return std::string(Declaration) + "<styleSheet xmlns=\"" + Main + "\">" + "<fonts count=\"2\"><font>" + font +
           "<font><b/>" + font + "</fonts>"
           "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
           "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
           "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
           "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
           "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/></cellXfs>"
           "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
           "</styleSheet>";
}

} // namespace

bool writeWhole(QIODevice& file, const char* data, qint64 size)
{
    for (qint64 written; size > 0; data += written, size -= written)
        if ((written = file.write(data, size)) <= 0)
            return false;
    return true;
}

Workbook::Workbook(QFileDevice& file, const QString& sheetName, const std::vector<bool>& numbers, long long rows)
{
    for (std::size_t column = 0; column < numbers.size(); ++column)
        m_columns.push_back(columnName(column));
    zlib_filefunc64_def io{openDevice, readDevice,  writeDevice, tellDevice,
                           seekDevice, closeDevice, deviceError, &file};
    m_zip = zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, &io);
    const std::string last = m_columns.empty() ? "A" : m_columns.back();
    const std::string sheet = escaped(sheetName.toStdString());
    bool started =
        m_zip && writeSmallPart("[Content_Types].xml", contentTypes()) &&
        writeSmallPart("_rels/.rels", relationships({{"officeDocument", "xl/workbook.xml"}})) &&
        writeSmallPart("xl/workbook.xml", std::string(Declaration) + "<workbook xmlns=\"" + Main + "\" xmlns:r=\"" +
                                              Relation + "\"><bookViews><workbookView/></bookViews><sheets>"
                                              "<sheet name=\"" + sheet + "\" sheetId=\"1\" r:id=\"rId1\"/>"
                                              "</sheets></workbook>") &&
        writeSmallPart("xl/_rels/workbook.xml.rels",
                       relationships({{"worksheet", "worksheets/sheet1.xml"}, {"styles", "styles.xml"}})) &&
        writeSmallPart("xl/styles.xml", styles());
    if (started) {
        const zip_fileinfo info = now();
        started = zipOpenNewFileInZip64(m_zip, "xl/worksheets/sheet1.xml", &info, nullptr, 0, nullptr, 0, nullptr,
                                        Z_DEFLATED, Z_BEST_SPEED, 0) == ZIP_OK;
    }
    if (!started) {
        m_failed = true;
        return;
    }
    // The titles' row frozen above the rest; numbers narrow, names wide.
    m_out.reserve(Chunk + (Chunk >> 2));
    m_out.append(Declaration).append("<worksheet xmlns=\"").append(Main).append("\"><dimension ref=\"A1:");
    m_out.append(last);
    appendNumber(m_out, std::max(rows, 1LL));
    m_out += "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" "
             "activePane=\"bottomLeft\" state=\"frozen\"/><selection pane=\"bottomLeft\" activeCell=\"A2\" "
             "sqref=\"A2\"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    if (!numbers.empty()) {
        m_out += "<cols>";
        for (std::size_t column = 0; column < numbers.size(); ++column) {
            m_out += "<col min=\"";
            appendNumber(m_out, (long long)column + 1);
            m_out += "\" max=\"";
            appendNumber(m_out, (long long)column + 1);
            m_out += numbers[column] ? "\" width=\"10\" customWidth=\"1\"/>" : "\" width=\"24\" customWidth=\"1\"/>";
        }
        m_out += "</cols>";
    }
    m_out += "<sheetData>";
    m_packer = std::thread(&Workbook::pack, this);
}

Workbook::~Workbook()
{
    if (m_packer.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_full.clear(); // given up: what waits is not packed
            m_done = true;
        }
        m_changed.notify_all();
        m_packer.join();
    }
    if (m_zip)
        zipClose(m_zip, nullptr); // the caller drops the file
}

bool Workbook::writeSmallPart(const char* name, std::string_view xml)
{
    const zip_fileinfo info = now();
    return zipOpenNewFileInZip64(m_zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_BEST_SPEED, 0) ==
               ZIP_OK &&
           zipWriteInFileInZip(m_zip, xml.data(), unsigned(xml.size())) == ZIP_OK &&
           zipCloseFileInZip(m_zip) == ZIP_OK;
}

void Workbook::startRow(bool titles)
{
    m_titles = titles;
    m_column = 0;
    m_rowNumber.clear();
    appendNumber(m_rowNumber, ++m_row);
    m_out.append("<row r=\"").append(m_rowNumber).append("\">");
}

void Workbook::text(std::string_view value)
{
    cell(value, true);
}

void Workbook::cell(std::string_view value, bool text)
{
    if (!text) {
        // Digits with a sign, or it is written as the text it is.
        const std::size_t sign = !value.empty() && value.front() == '-';
        text = value.size() == sign || value.size() > 20 ||
               value.find_first_not_of("0123456789", sign) != std::string_view::npos;
    }
    m_out.append("<c r=\"").append(m_columns.at(m_column)).append(m_rowNumber);
    if (m_titles)
        m_out += "\" s=\"1";
    if (text) {
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
        const bool keepSpaces = !value.empty() && (blank(value.front()) || blank(value.back()));
        m_out += keepSpaces ? "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" : "\" t=\"inlineStr\"><is><t>";
        addText(m_out, value);
        m_out += "</t></is></c>";
    } else {
        m_out.append("\"><v>").append(value).append("</v></c>");
    }
    ++m_column;
}

bool Workbook::endRow()
{
    m_out += "</row>";
    if (m_out.size() >= Chunk)
        handOver();
    return !m_failed && !m_tooLarge;
}

void Workbook::handOver()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_full.size() < Waiting || m_failed; });
    if (m_failed)
        return;
    m_full.push_back(std::move(m_out));
    if (m_empty.empty()) {
        m_out = std::string();
        m_out.reserve(Chunk + (Chunk >> 2));
    } else {
        m_out = std::move(m_empty.back());
        m_empty.pop_back();
    }
    lock.unlock();
    m_changed.notify_all();
}

// The packer's thread: each piece of the sheet deflated into the file, in
// the order handed over, until no more come or a write fails.
void Workbook::pack()
{
    unsigned long long packed = 0;
    for (;;) {
        std::string piece;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return !m_full.empty() || m_done; });
            if (m_full.empty())
                return;
            piece = std::move(m_full.front());
            m_full.pop_front();
        }
        packed += piece.size();
        const bool fits = packed < MaxPart;
        const bool written = fits && zipWriteInFileInZip(m_zip, piece.data(), unsigned(piece.size())) == ZIP_OK;
        piece.clear();
        {
            const std::lock_guard lock(m_mutex);
            m_empty.push_back(std::move(piece));
            if (!fits)
                m_tooLarge = true;
            if (!written)
                m_failed = true;
        }
        m_changed.notify_all();
        if (!written)
            return;
    }
}

bool Workbook::finish()
{
    if (m_failed)
        return false;
    m_out += "</sheetData></worksheet>";
    handOver();
    {
        const std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_changed.notify_all();
    m_packer.join();
    if (m_failed)
        return false;
    const bool closed = zipCloseFileInZip(m_zip) == ZIP_OK;
    const bool ended = zipClose(m_zip, nullptr) == ZIP_OK;
    m_zip = nullptr;
    m_failed = !closed || !ended;
    return !m_failed;
}

} // namespace list_export
