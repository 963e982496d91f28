#include "ListPrint.h"

#include "DataSet.h"
#include "Exception.h"
#include "Field.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <numeric>

namespace list_print {

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("ListPrint", text);
}

// How many rows are measured to fit the columns: all of a short list, an
// even sample of a long one (a text wider than the sample's ends in "…").
constexpr int Measured = 2000;

// A cell as one line: line breaks and tabs are spaces on paper.
QString oneLine(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return QString::fromStdString(text);
}

} // namespace

ListPages::ListPages(TDataSet& list, QStringList titles, Heading heading)
    : m_list(list), m_titles(std::move(titles)), m_heading(std::move(heading))
{
}

int ListPages::layOut(QPrinter& printer)
{
    QFont base = QGuiApplication::font();
    base.setPointSizeF(9);
    m_font = QFont(base, &printer);
    m_bold = m_font;
    m_bold.setBold(true);
    const QFontMetricsF metrics(m_font, &printer), boldMetrics(m_bold, &printer);
    const QRectF paper = printer.pageLayout().paintRectPixels(printer.resolution());
    m_width = paper.width();
    m_height = paper.height();
    m_line = metrics.lineSpacing() * 1.15;
    m_gap = metrics.averageCharWidth() * 1.5;
    // Heading, search, a blank line, the titles and their rule; the page's
    // number below.
    m_tableTop = m_line * 4;
    m_rowsPerPage = std::max(1, int((m_height - m_tableTop - m_line * 1.5) / m_line));
    m_rows = m_list.displayRowCount();
    m_pages = std::max(1, (m_rows + m_rowsPerPage - 1) / m_rowsPerPage);

    // Each column as wide as its widest text measured, then narrowed to the
    // page: the columns of names share what the numbers leave.
    const int fields = int(m_list.Fields().size());
    m_columns.assign(std::size_t(fields), {});
    const int measured = std::min(m_rows, Measured);
    for (int f = 0; f < fields; ++f) {
        Column& column = m_columns[std::size_t(f)];
        column.number = m_list.Fields().at(f)->kind() == FieldKind::Integer;
        column.width = boldMetrics.horizontalAdvance(m_titles.value(f));
        for (int i = 0; i < measured; ++i) {
            const int row = int(static_cast<long long>(i) * m_rows / measured);
            column.width = std::max(column.width, metrics.horizontalAdvance(oneLine(m_list.displayText(row, f))));
        }
        column.width += m_gap;
    }
    const auto sum = [&](bool numbers) {
        qreal total = 0;
        for (const Column& column : m_columns)
            total += column.number == numbers ? column.width : 0;
        return total;
    };
    const qreal numbers = sum(true), names = sum(false);
    if (numbers + names > m_width) {
        // Numbers keep their width while they leave the names half the page.
        const bool keepNumbers = numbers < m_width / 2 && names > 0;
        const qreal namesScale = keepNumbers ? (m_width - numbers) / names : m_width / (numbers + names);
        for (Column& column : m_columns)
            column.width *= column.number && keepNumbers ? 1 : namesScale;
    }
    qreal left = 0;
    for (Column& column : m_columns) {
        column.left = left;
        left += column.width;
    }
    return m_pages;
}

bool ListPages::print(QPrinter& printer, const std::function<bool(int done, int pages)>& progress)
{
    layOut(printer);
    QPainter painter;
    if (!painter.begin(&printer))
        throw Exception(say(QT_TRANSLATE_NOOP("ListPrint", "Lista ne može da se štampa: štampač ili datoteka nije "
                                                           "dostupna. Proverite štampač i pokušajte ponovo.")));
    // The pages the person chose in the print dialog, else all.
    const int first = printer.fromPage() > 0 ? std::min(printer.fromPage(), m_pages) - 1 : 0;
    const int last = printer.toPage() > 0 ? std::clamp(printer.toPage(), first + 1, m_pages) : m_pages;
    for (int page = first; page < last; ++page) {
        if (page > first)
            printer.newPage();
        paintPage(painter, page);
        if (progress && !progress(page + 1 - first, last - first) && page + 1 < last) {
            // Stopped: a printer's job is given up, a file left unwritten.
            if (!printer.abort()) {
                painter.end();
                if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
                    QFile::remove(printer.outputFileName());
            }
            return false;
        }
    }
    return painter.end();
}

void ListPages::paintPage(QPainter& painter, int page) const
{
    const QFontMetricsF metrics(m_font, painter.device());
    const auto cell = [&](qreal top, const Column& column, const QString& text) {
        const QRectF box(column.left, top, column.width - m_gap, m_line);
        const int align = (column.number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        painter.drawText(box, align,
                         metrics.elidedText(text, Qt::ElideRight, box.width()));
    };
    const QString date = QLocale().toString(m_heading.printed, QLocale::ShortFormat);
    painter.setFont(m_font);
    painter.drawText(QRectF(0, 0, m_width, m_line), Qt::AlignRight | Qt::AlignVCenter, date);
    painter.drawText(QRectF(0, m_line, m_width, m_line), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(m_heading.search, Qt::ElideRight, m_width));
    painter.drawText(QRectF(0, m_height - m_line, m_width, m_line), Qt::AlignCenter,
                     QStringLiteral("%1/%2").arg(page + 1).arg(m_pages));
    const int first = page * m_rowsPerPage, last = std::min(m_rows, first + m_rowsPerPage);
    for (int row = first; row < last; ++row)
        for (std::size_t f = 0; f < m_columns.size(); ++f)
            cell(m_tableTop + (row - first) * m_line, m_columns[f], oneLine(m_list.displayText(row, int(f))));

    painter.setFont(m_bold);
    const QFontMetricsF boldMetrics(m_bold, painter.device());
    painter.drawText(QRectF(0, 0, m_width, m_line), Qt::AlignLeft | Qt::AlignVCenter,
                     boldMetrics.elidedText(m_heading.registerName, Qt::ElideMiddle,
                                            m_width - metrics.horizontalAdvance(date) - m_gap));
    const qreal titlesTop = m_tableTop - m_line * 1.2;
    for (std::size_t f = 0; f < m_columns.size(); ++f)
        cell(titlesTop, m_columns[f], m_titles.value(int(f)));
    const qreal tableWidth = m_columns.empty() ? 0 : m_columns.back().left + m_columns.back().width;
    painter.setPen(QPen(painter.pen().color(), std::max(1.0, m_line / 20)));
    painter.drawLine(QPointF(0, m_tableTop - m_line * 0.1), QPointF(tableWidth, m_tableTop - m_line * 0.1));
}

} // namespace list_print
