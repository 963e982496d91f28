#include "ListExport.h"

#include "DataSet.h"
#include "Exception.h"
#include "Field.h"
#include "Workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>

namespace list_export {

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("ListExport", text);
}

[[noreturn]] void failed(const QString& path, const QString& why)
{
    throw Exception(say(QT_TRANSLATE_NOOP("ListExport", "Lista nije izvezena u „%1”: %2. Ništa nije zapisano."))
                        .arg(QDir::toNativeSeparators(path), why));
}

// A write that failed: the system's reason, and what a person can do.
[[noreturn]] void notWritten(const QString& path, const QString& reason)
{
    failed(path, say(QT_TRANSLATE_NOOP("ListExport", "zapisivanje nije uspelo (%1); disk je možda pun: oslobodite "
                                                     "mesta na njemu ili izaberite drugo mesto"))
                     .arg(reason));
}

// How often the progress is told: in rows, and while the disk takes a file.
constexpr long long ProgressEvery = 4096;
constexpr int ProgressMilliseconds = 40;

bool tell(const Progress& progress, long long done, long long total)
{
    return !progress || progress(done, total);
}

// A text as a CSV cell, added to out: quoted, each quote doubled, a
// formula-like beginning made plain.
void addCsvCell(std::string& out, std::string_view text)
{
    out += '"';
    if (!text.empty() && text.front() != '\0' && std::strchr("=+-@\t\r", text.front()))
        out += '\'';
    for (std::size_t quote; (quote = text.find('"')) != std::string_view::npos; text.remove_prefix(quote + 1))
        out.append(text.data(), quote + 1) += '"';
    out.append(text) += '"';
}

// Puts a written file in place of path once it is on the disk. The disk may
// take a while to take in a large file: meanwhile the progress is told (a
// window waiting on it stays answering) and may still stop the export.
bool putInPlace(QSaveFile& file, const QString& path, const Progress& progress, long long rows)
{
    if (!file.flush())
        notWritten(path, file.errorString());
    std::future<int> synced = std::async(std::launch::async, [handle = file.handle()] {
        return ::fdatasync(handle) == 0 ? 0 : errno;
    });
    bool stopped = false;
    while (synced.wait_for(std::chrono::milliseconds(ProgressMilliseconds)) != std::future_status::ready)
        stopped = stopped || !tell(progress, rows, rows);
    if (const int error = synced.get()) // a disk that fills only now says so here
        notWritten(path, QString::fromLocal8Bit(std::strerror(error)));
    if (stopped || !tell(progress, rows, rows))
        return false; // dropped with file
    if (!file.commit())
        failed(path, file.errorString());
    return true;
}

// The columns that hold numbers.
std::vector<bool> numberFields(TDataSet& list)
{
    std::vector<bool> numbers;
    for (const auto& field : list.Fields())
        numbers.push_back(field->kind() == FieldKind::Integer);
    return numbers;
}

bool writeCsv(TDataSet& list, const QStringList& titles, const QString& path, const Progress& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        failed(path, file.errorString());
    const std::vector<bool> numbers = numberFields(list);
    const int fields = int(numbers.size());
    const long long rows = list.displayRowCount();
    constexpr std::size_t Chunk = 1 << 20;
    std::string out("\xEF\xBB\xBF"), spare;
    out.reserve(Chunk + 64 * 1024);
    for (int f = 0; f < fields; ++f) {
        if (f)
            out += ',';
        addCsvCell(out, titles.value(f).toStdString());
    }
    out += "\r\n";
    const auto flush = [&] {
        if (!writeWhole(file, out.data(), qint64(out.size())))
            notWritten(path, file.errorString());
        out.clear();
    };
    for (long long r = 0; r < rows; ++r) {
        for (int f = 0; f < fields; ++f) {
            if (f)
                out += ',';
            if (list.displayIsNull(int(r), f))
                continue;
            const std::string_view value = list.displayText(int(r), f, spare);
            if (numbers[std::size_t(f)])
                out += value;
            else
                addCsvCell(out, value);
        }
        out += "\r\n";
        if (out.size() >= Chunk)
            flush();
        if ((r + 1) % ProgressEvery == 0 && !tell(progress, r + 1, rows)) {
            file.cancelWriting();
            return false;
        }
    }
    flush();
    return putInPlace(file, path, progress, rows);
}

bool writeXlsx(TDataSet& list, const QStringList& titles, const QString& path, const Progress& progress)
{
    const long long rows = list.displayRowCount();
    if (rows + 1 > Workbook::MaxRows)
        failed(path, say(QT_TRANSLATE_NOOP("ListExport", "lista ima više redova nego što radna sveska prima "
                                                         "(1.048.576); izvezite je u CSV")));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        failed(path, file.errorString());
    const std::vector<bool> numbers = numberFields(list);
    const int fields = int(numbers.size());
    Workbook book(file, say(QT_TRANSLATE_NOOP("ListExport", "Osobe")), numbers, rows + 1);
    const auto check = [&](bool written) {
        if (written)
            return;
        if (book.tooLarge())
            failed(path, say(QT_TRANSLATE_NOOP("ListExport", "lista je prevelika za radnu svesku (više od 4 GB "
                                                             "teksta); izvezite je u CSV")));
        notWritten(path, file.errorString());
    };
    book.startRow(true);
    for (int f = 0; f < fields; ++f)
        book.text(titles.value(f).toStdString());
    check(book.endRow());
    std::string spare;
    for (long long r = 0; r < rows; ++r) {
        book.startRow();
        for (int f = 0; f < fields; ++f) {
            if (list.displayIsNull(int(r), f)) {
                book.skip();
                continue;
            }
            const std::string_view value = list.displayText(int(r), f, spare);
            if (numbers[std::size_t(f)])
                book.number(value);
            else
                book.text(value);
        }
        check(book.endRow());
        if ((r + 1) % ProgressEvery == 0 && !tell(progress, r + 1, rows))
            return false; // the workbook is dropped with file
    }
    check(book.finish());
    return putInPlace(file, path, progress, rows);
}

} // namespace

Format formatOf(const QString& path)
{
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ? Format::Xlsx : Format::Csv;
}

bool writeList(TDataSet& list, const QStringList& titles, const QString& path, const Progress& progress)
{
    return formatOf(path) == Format::Xlsx ? writeXlsx(list, titles, path, progress)
                                          : writeCsv(list, titles, path, progress);
}

} // namespace list_export
