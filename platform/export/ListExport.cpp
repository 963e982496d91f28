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
#include <cstdio>
#include <cstring>
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

// How often the progress is told, in rows.
constexpr long long ProgressEvery = 4096;

bool tell(const Progress& progress, long long done, long long total)
{
    return !progress || progress(done, total);
}

bool writeCsv(TDataSet& list, const QStringList& titles, const QString& path, const Progress& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        failed(path, file.errorString());
    const int fields = int(list.Fields().size());
    const long long rows = list.displayRowCount();
    QByteArray out("\xEF\xBB\xBF");
    for (int f = 0; f < fields; ++f)
        out += (f ? "," : "") + csvCell(titles.value(f).toStdString());
    out += "\r\n";
    for (long long r = 0; r < rows; ++r) {
        for (int f = 0; f < fields; ++f) {
            if (f)
                out += ',';
            if (list.displayIsNull(int(r), f))
                continue;
            const std::string value = list.displayText(int(r), f);
            out += list.Fields().at(f)->kind() == FieldKind::Integer ? QByteArray::fromStdString(value) : csvCell(value);
        }
        out += "\r\n";
        if (out.size() >= 1 << 20 || r + 1 == rows) {
            if (file.write(out) != out.size())
                failed(path, file.errorString());
            out.clear();
        }
        if ((r + 1) % ProgressEvery == 0 && !tell(progress, r + 1, rows)) {
            file.cancelWriting();
            return false;
        }
    }
    if (rows == 0 && file.write(out) != out.size())
        failed(path, file.errorString());
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
    for (long long r = 0; r < rows && !error; ++r) {
        for (int f = 0; f < fields && !error; ++f) {
            if (list.displayIsNull(int(r), f))
                continue;
            const std::string value = list.displayText(int(r), f);
            error = list.Fields().at(f)->kind() == FieldKind::Integer
                      ? worksheet_write_number(sheet, lxw_row_t(r + 1), lxw_col_t(f), std::stod(value), nullptr)
                      : worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(f), value.c_str(), nullptr);
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
    if (const lxw_error closed = workbook_close(workbook.release()); closed != LXW_NO_ERROR)
        failed(path, QString::fromUtf8(lxw_strerror(closed)));
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

QByteArray csvCell(const std::string& text)
{
    QByteArray cell("\"");
    if (!text.empty() && text.front() != '\0' && std::strchr("=+-@\t\r", text.front()))
        cell += '\'';
    for (char c : text) {
        if (c == '"')
            cell += '"';
        cell += c;
    }
    cell += '"';
    return cell;
}

bool writeList(TDataSet& list, const QStringList& titles, const QString& path, const Progress& progress)
{
    return formatOf(path) == Format::Xlsx ? writeXlsx(list, titles, path, progress)
                                          : writeCsv(list, titles, path, progress);
}

} // namespace list_export
