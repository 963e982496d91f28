#include "ListFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include "UnicodeLike.h"

#include <unzip.h>

#include <memory>

namespace list_import {

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("ListFile", text);
}

QString shown(const QString& name)
{
    return QDir::toNativeSeparators(name);
}

[[noreturn]] void noList(const QString& name, const QString& why)
{
    throw Exception(say(QT_TRANSLATE_NOOP("ListFile", "„%1” nije lista osoba: %2.")).arg(shown(name), why));
}

// Whether every byte beyond ASCII is a letter in Windows-1250 (Š š Ž ž Č č
// Ć ć Đ đ and the rest of the region's letters).
bool looksWindows1250(const std::string& bytes)
{
    QStringDecoder decoder("windows-1250");
    if (!decoder.isValid())
        return false;
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) < 0x80)
            continue;
        const QString letter = decoder.decode(QByteArrayView(&byte, 1)); // one byte, one letter
        if (letter.size() != 1 || !letter.at(0).isLetter())
            return false;
    }
    return true;
}

std::string toUtf8(const std::string& bytes, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return bytes;
    QStringDecoder decoder("windows-1250");
    const QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return text.toStdString();
}

// The separator the title line holds more of outside quotes (a comma when
// neither, or as many of each).
char separatorOf(const std::string& text)
{
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == ';')
            ++semicolons;
    }
    return semicolons > commas ? ';' : ',';
}

bool blank(const std::vector<std::string>& row)
{
    for (const std::string& cell : row)
        if (cell.find_first_not_of(" \t") != std::string::npos)
            return false;
    return true;
}

void keepRow(ListFile& list, std::vector<std::string>& row, int line)
{
    if (!blank(row)) {
        list.rows.push_back(std::move(row));
        list.lines.push_back(line);
    }
    row.clear();
}

// The cells of text, RFC 4180: a field in quotes ends at a quote that is
// not doubled; outside quotes a quote is kept as it is.
void splitCsv(const std::string& text, char separator, ListFile& list, const QString& name)
{
    std::vector<std::string> row;
    std::string cell;
    int line = 1, rowLine = 1;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n')
                    ++line;
                cell += c;
            }
        } else if (c == '"' && !wasQuoted && cell.empty()) {
            quoted = wasQuoted = true;
        } else if (c == separator) {
            row.push_back(std::move(cell));
            cell.clear();
            wasQuoted = false;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            row.push_back(std::move(cell));
            cell.clear();
            wasQuoted = false;
            keepRow(list, row, rowLine);
            rowLine = ++line;
        } else {
            cell += c;
        }
    }
    if (quoted)
        noList(name, say(QT_TRANSLATE_NOOP("ListFile", "navodnik otvoren u redu %1 nije zatvoren do kraja "
                                                       "datoteke"))
                         .arg(rowLine));
    if (!cell.empty() || !row.empty()) {
        row.push_back(std::move(cell));
        keepRow(list, row, rowLine);
    }
}

// ---------------------------------------------------------------- workbook

// The most a part of a workbook may unpack to: a sheet of a million rows is
// a few hundred megabytes; beyond is no list of persons.
constexpr std::size_t MostUnpacked = std::size_t(1) << 30;

struct ZipCloser {
    void operator()(void* zip) const { unzClose(zip); }
};

// The part name of the workbook, unpacked; false when it has none.
bool readPart(void* zip, const std::string& name, std::string& out, const QString& file)
{
    if (unzLocateFile(zip, name.c_str(), 1) != UNZ_OK)
        return false;
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        noList(file, say(QT_TRANSLATE_NOOP("ListFile", "radna sveska je oštećena")));
    out.clear();
    char buffer[1 << 16];
    int got;
    while ((got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) {
        out.append(buffer, std::size_t(got));
        if (out.size() > MostUnpacked)
            break;
    }
    unzCloseCurrentFile(zip);
    if (got < 0)
        noList(file, say(QT_TRANSLATE_NOOP("ListFile", "radna sveska je oštećena")));
    if (out.size() > MostUnpacked)
        noList(file, say(QT_TRANSLATE_NOOP("ListFile", "list radne sveske je veći od 1 GB")));
    return true;
}

QXmlStreamReader xmlOf(const std::string& part)
{
    return QXmlStreamReader(QByteArray::fromRawData(part.data(), qsizetype(part.size())));
}

// The part of the first sheet, from the workbook's list of sheets and its
// relationships.
std::string firstSheet(void* zip, const QString& file)
{
    std::string part, id;
    if (readPart(zip, "xl/workbook.xml", part, file)) {
        QXmlStreamReader xml = xmlOf(part);
        while (!xml.atEnd() && id.empty())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("sheet"))
                for (const QXmlStreamAttribute& attribute : xml.attributes())
                    if (attribute.name() == QLatin1String("id"))
                        id = attribute.value().toString().toStdString();
    }
    if (!id.empty() && readPart(zip, "xl/_rels/workbook.xml.rels", part, file)) {
        QXmlStreamReader xml = xmlOf(part);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("Relationship")
                && xml.attributes().value("Id") == QString::fromStdString(id)) {
                const std::string target = xml.attributes().value("Target").toString().toStdString();
                return target.rfind('/', 0) == 0 ? target.substr(1) : "xl/" + target;
            }
        }
    }
    return "xl/worksheets/sheet1.xml";
}

std::vector<std::string> sharedTexts(void* zip, const QString& file)
{
    std::vector<std::string> texts;
    std::string part;
    if (!readPart(zip, "xl/sharedStrings.xml", part, file))
        return texts;
    QXmlStreamReader xml = xmlOf(part);
    std::string text;
    bool inPhonetic = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == QLatin1String("si"))
                text.clear();
            else if (xml.name() == QLatin1String("rPh"))
                inPhonetic = true; // a reading aid, not the text
            else if (xml.name() == QLatin1String("t") && !inPhonetic)
                text += xml.readElementText().toStdString();
            break;
        case QXmlStreamReader::EndElement:
            if (xml.name() == QLatin1String("si"))
                texts.push_back(text);
            else if (xml.name() == QLatin1String("rPh"))
                inPhonetic = false;
            break;
        default:
            break;
        }
    }
    return texts;
}

// The column of a cell reference ("C7": 2), or -1.
int columnOf(QStringView reference)
{
    int column = 0, letters = 0;
    for (const QChar c : reference) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            break;
        column = column * 26 + (c.unicode() - 'A' + 1);
        ++letters;
    }
    return letters && letters <= 3 ? column - 1 : -1;
}

void readSheet(const std::string& part, const std::vector<std::string>& shared, ListFile& list, const QString& file)
{
    QXmlStreamReader xml = xmlOf(part);
    std::vector<std::string> row;
    int rowNumber = 0, column = 0;
    QString type;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("row")) {
            row.clear();
            column = 0;
            bool numbered = false;
            const int given = xml.attributes().value("r").toInt(&numbered);
            rowNumber = numbered ? given : rowNumber + 1;
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("row")) {
            keepRow(list, row, rowNumber);
        } else if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("c")) {
            const int at = columnOf(xml.attributes().value("r"));
            column = at >= 0 ? at : column;
            type = xml.attributes().value("t").toString();
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("c")) {
            ++column;
        } else if (token == QXmlStreamReader::StartElement
                   && (xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t"))) {
            std::string value = xml.readElementText(QXmlStreamReader::IncludeChildElements).toStdString();
            if (type == QLatin1String("s")) {
                char* end = nullptr;
                const unsigned long index = std::strtoul(value.c_str(), &end, 10);
                value = index < shared.size() && end && *end == '\0' ? shared[index] : std::string();
            } else if (type == QLatin1String("b")) {
                value = value == "1" ? "TRUE" : "FALSE";
            }
            if (column >= int(row.size()))
                row.resize(std::size_t(column) + 1);
            row[std::size_t(column)] += value; // an inline text's runs, one after the other
        }
    }
    if (xml.hasError())
        noList(file, say(QT_TRANSLATE_NOOP("ListFile", "list radne sveske je oštećen (%1)")).arg(xml.errorString()));
}

ListFile readWorkbook(const QString& path)
{
    const std::unique_ptr<void, ZipCloser> zip(unzOpen64(QFile::encodeName(path).constData()));
    if (!zip)
        noList(path, say(QT_TRANSLATE_NOOP("ListFile", "to nije Excel radna sveska (.xlsx)")));
    ListFile list;
    list.workbook = true;
    const std::vector<std::string> shared = sharedTexts(zip.get(), path);
    std::string sheet;
    if (!readPart(zip.get(), firstSheet(zip.get(), path), sheet, path))
        noList(path, say(QT_TRANSLATE_NOOP("ListFile", "radna sveska nema nijedan list")));
    readSheet(sheet, shared, list, path);
    return list;
}

} // namespace

ListFile readCsv(const std::string& bytes, const QString& name, std::optional<Encoding> encoding)
{
    if (bytes.find('\0') != std::string::npos)
        noList(name, say(QT_TRANSLATE_NOOP("ListFile", "datoteka nije tekst (CSV) nego binarna")));
    std::string text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
    ListFile list;
    if (!encoding) {
        if (unicode_like::wellFormed(text))
            encoding = Encoding::Utf8;
        else if (looksWindows1250(text))
            encoding = Encoding::Windows1250;
        else
            throw EUnknownEncoding(say(QT_TRANSLATE_NOOP("ListFile", "Nije jasno kojim je pismom zapisana „%1”: "
                                                                     "nije UTF-8, a ni Windows-1250 po izgledu. "
                                                                     "Recite kojim je zapisana."))
                                       .arg(shown(name)));
    }
    // Told UTF-8 of a file that is not: refused, rather than letters that
    // are no letters reaching the register.
    if (*encoding == Encoding::Utf8 && !unicode_like::wellFormed(text))
        throw EUnknownEncoding(say(QT_TRANSLATE_NOOP("ListFile", "„%1” nije zapisana u UTF-8. Recite kojim je "
                                                                 "pismom zapisana (na primer Windows-1250)."))
                                   .arg(shown(name)));
    list.encoding = *encoding;
    text = toUtf8(text, *encoding);
    list.separator = separatorOf(text);
    splitCsv(text, list.separator, list, name);
    return list;
}

ListFile readListFile(const QString& path, std::optional<Encoding> encoding)
{
    if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return readWorkbook(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(say(QT_TRANSLATE_NOOP("ListFile", "„%1” ne može da se pročita: %2."))
                            .arg(shown(path), file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(say(QT_TRANSLATE_NOOP("ListFile", "„%1” ne može da se pročita: %2."))
                            .arg(shown(path), file.errorString()));
    if (bytes.startsWith("PK\x03\x04"))
        noList(path, say(QT_TRANSLATE_NOOP("ListFile", "to je radna sveska ili druga arhiva; radna sveska se "
                                                       "uvozi pod imenom koje se završava na .xlsx")));
    return readCsv(bytes.toStdString(), path, encoding);
}

} // namespace list_import
