#pragma once
// An Excel workbook (.xlsx, ECMA-376) of one sheet, written a row at a time
// into an open file: the sheet's XML is made here, on the caller's thread,
// and packed (zlib's fastest deflate, through minizip) on a thread of its
// own, so that at a million rows the two halves of the work run side by side
// and nothing of the list is held twice. Numbers are written as numbers,
// texts as inline texts; the first row (the titles) is bold and frozen.
//
// Written into a device the caller opened and commits: the file is only
// complete once finish() returned true, and the caller drops it otherwise.

#include <QFileDevice>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace list_export {

// Writes all of data to file; false when it could not, with the file's
// error saying why. (A write cut short, by a full disk or a file size limit,
// says nothing of itself: the rest is written again to learn why.)
bool writeWhole(QIODevice& file, const char* data, qint64 size);

class Workbook {
public:
    // The most rows a sheet holds, titles included.
    static constexpr long long MaxRows = 1048576;

    // Starts the workbook in file (open for writing, empty): a sheet named
    // sheetName of the given columns (true: numbers) and rows, titles
    // counted. When it could not be started, endRow() and finish() say so.
    Workbook(QFileDevice& file, const QString& sheetName, const std::vector<bool>& numbers, long long rows);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // The cells of one row, left to right; an empty cell is skip()ped.
    void startRow(bool titles = false);
    void text(std::string_view value);
    void number(std::string_view digits) { cell(digits, false); }
    void skip() { ++m_column; }
    // Ends the row; false once the packing failed: the file's error says
    // why, or tooLarge() that the sheet outgrew what a workbook holds.
    bool endRow();

    // Packs what is left and closes the workbook; false when that failed.
    bool finish();
    bool tooLarge() const { return m_tooLarge; }

private:
    void cell(std::string_view value, bool text);
    void handOver();
    void pack();
    bool writeSmallPart(const char* name, std::string_view xml);

    void* m_zip = nullptr;
    std::vector<std::string> m_columns; // "A", "B", ...
    std::string m_out;       // the sheet's XML not yet handed over
    std::string m_rowNumber; // the current row's number, as text
    long long m_row = 0;
    std::size_t m_column = 0;
    bool m_titles = false;

    // What passes between the two threads.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_full;   // waiting to be packed, in order
    std::vector<std::string> m_empty; // packed, their room kept
    bool m_done = false;              // no more will be handed over
    std::atomic<bool> m_failed{false};   // the packer could not write
    std::atomic<bool> m_tooLarge{false}; // the sheet outgrew a workbook's part
    std::thread m_packer;
};

} // namespace list_export
