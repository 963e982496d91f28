#pragma once
// A list on paper: the rows a data set shows, in the order it shows them,
// under its columns' titles, laid out in pages for a printer (a printer of
// the desktop, the preview, a PDF file). Every page carries the heading (the
// register's name, the search that gave the list, the date printed) and its
// number of all ("1/7"); the columns are fitted to the page's width, and a
// text too long for its column ends in "…". Numbers stand to the right of
// their column. Knows nothing of widgets: the window's preview and a PDF
// printer print the same pages.

#include <QDateTime>
#include <QFont>
#include <QStringList>

#include <functional>
#include <vector>

class QPainter;
class QPrinter;
class TDataSet;

namespace list_print {

struct Heading {
    QString registerName; // as a person may read it: never with a password
    QString search;       // the search texts, or that there is none
    QDateTime printed;
};

class ListPages {
public:
    ListPages(TDataSet& list, QStringList titles, Heading heading);

    // Lays the list out for printer's paper and resolution; the number of
    // pages it takes (at least one: an empty list prints its heading).
    int layOut(QPrinter& printer);

    // Prints the pages printer asks for (its from and to page; else every
    // page) on it, laid out for it first. progress is told after each page
    // (pages printed, pages to print); false stops there, with the pages
    // printed so far. Returns whether every page was printed.
    // Throws Exception when the list cannot be read.
    bool print(QPrinter& printer, const std::function<bool(int done, int pages)>& progress = {});

private:
    void paintPage(QPainter& painter, int page) const;

    TDataSet& m_list;
    QStringList m_titles;
    Heading m_heading;
    // The layout, in the printer's pixels.
    QFont m_font, m_bold;
    int m_rows = 0, m_rowsPerPage = 1, m_pages = 1;
    qreal m_width = 0, m_height = 0, m_line = 0, m_gap = 0, m_tableTop = 0;
    struct Column {
        qreal left = 0, width = 0;
        bool number = false; // stands to the right
    };
    std::vector<Column> m_columns;
};

} // namespace list_print
