#include "ListExport.h"

#include "DataSet.h"
#include "Exception.h"
#include "Field.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>

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

// How often the progress is told: in rows, and while a workbook is packed.
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

bool writeCsv(TDataSet& list, const QStringList& titles, const QString& path, const Progress& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        failed(path, file.errorString());
    const int fields = int(list.Fields().size());
    const long long rows = list.displayRowCount();
    std::vector<bool> numbers;
    for (int f = 0; f < fields; ++f)
        numbers.push_back(list.Fields().at(f)->kind() == FieldKind::Integer);
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
        if (file.write(out.data(), qint64(out.size())) != qint64(out.size()))
            failed(path, file.errorString());
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
    if (!tell(progress, rows, rows)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        failed(path, file.errorString());
    return true;
}

// The workbook's rows go to a temporary file of the library's own, which
// does not look at what its writes answer: a full disk there would give a
// workbook cut short, said to be written. Its error mark is looked at here.
void checkRowsWritten(lxw_worksheet* sheet, const QString& path)
{
    if (FILE* rows = sheet->optimize_tmpfile; rows && (std::fflush(rows) != 0 || std::ferror(rows)))
        failed(path, say(QT_TRANSLATE_NOOP("ListExport", "privremena datoteka ne može da se zapiše (disk je možda "
                                                         "pun)")));
}

struct WorkbookClose {
    void operator()(lxw_workbook* workbook) const { workbook_close(workbook); }
};

bool writeXlsx(TDataSet& list, const QStringList& titles, const QString& path, const Progress& progress)
{
    // Written beside under a name of its own, then renamed over path.
    QTemporaryFile beside(QFileInfo(path).absoluteDir().filePath(".kolvara-export-XXXXXX.xlsx"));
    if (!beside.open())
        failed(path, beside.errorString());
    const QByteArray temporary = QFile::encodeName(beside.fileName());
    beside.close();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // a row at a time: a million persons never held twice
    options.tmpdir = nullptr;
    std::unique_ptr<lxw_workbook, WorkbookClose> workbook(workbook_new_opt(temporary.constData(), &options));
    if (!workbook)
        failed(path, say(QT_TRANSLATE_NOOP("ListExport", "radna sveska ne može da se napravi")));
    lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), nullptr);
    const int fields = int(list.Fields().size());
    const long long rows = list.displayRowCount();
    if (rows + 1 > LXW_ROW_MAX)
        failed(path, say(QT_TRANSLATE_NOOP("ListExport", "lista ima više redova nego što radna sveska prima "
                                                         "(1.048.576); izvezite je u CSV")));
    lxw_error error = LXW_NO_ERROR;
    for (int f = 0; f < fields && !error; ++f)
        error = worksheet_write_string(sheet, 0, lxw_col_t(f), titles.value(f).toUtf8().constData(), nullptr);
    worksheet_freeze_panes(sheet, 1, 0);
    std::string spare, text;
    for (long long r = 0; r < rows && !error; ++r) {
        for (int f = 0; f < fields && !error; ++f) {
            if (list.displayIsNull(int(r), f))
                continue;
            const std::string_view value = list.displayText(int(r), f, spare);
            if (list.Fields().at(f)->kind() == FieldKind::Integer) {
                std::int64_t number = 0;
                std::from_chars(value.data(), value.data() + value.size(), number);
                error = worksheet_write_number(sheet, lxw_row_t(r + 1), lxw_col_t(f), double(number), nullptr);
            } else {
                text.assign(value); // the library wants its end marked
                error = worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(f), text.c_str(), nullptr);
            }
        }
        if ((r + 1) % ProgressEvery == 0) {
            if (!tell(progress, r + 1, rows))
                return false; // the temporary file goes with beside
            checkRowsWritten(sheet, path);
        }
    }
    if (error)
        failed(path, QString::fromUtf8(lxw_strerror(error)));
    checkRowsWritten(sheet, path);
    if (!tell(progress, rows, rows))
        return false;
    // Packing the workbook (the library zips its parts) takes seconds at a
    // million rows and tells nothing meanwhile: it runs beside, the progress
    // told all the while, so that a window waiting on it stays answering.
    std::future<lxw_error> closing = std::async(std::launch::async, workbook_close, workbook.release());
    bool stopped = false;
    while (closing.wait_for(std::chrono::milliseconds(ProgressMilliseconds)) != std::future_status::ready)
        stopped = stopped || !tell(progress, rows, rows);
    if (const lxw_error closed = closing.get(); closed != LXW_NO_ERROR)
        failed(path, QString::fromUtf8(lxw_strerror(closed)));
    if (stopped)
        return false; // the workbook goes with beside
    // The temporary name is the owner's alone; the workbook is as any new
    // file of this person's (as the CSV file is).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temporary.constData(), 0666 & ~mask);
    if (std::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0)
        failed(path, QString::fromLocal8Bit(std::strerror(errno)));
    beside.setAutoRemove(false); // it is path now
    return true;
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
