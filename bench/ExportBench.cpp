// Taking the list out: kolvara-export writing every person of a register to
// a CSV file and to a workbook, beside the bare statement written to a CSV
// file by the engine's own shell (sqlite3 -csv on a file, psql --csv on a
// server); and the window's export of the list it holds, with the longest it
// went without a turn of its event loop (its progress repainted).

#include "BenchSupport.h"
#include "Benchmarks.h"

#include "ListExport.h"
#include "PersonsStatement.h"
#include "Unit1.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace bench {

void exportPart(const QString& registers, const std::vector<long>& sizes, int runsOverride)
{
    const QString shell = onServer() ? "psql --csv" : "sqlite3 -csv";
    std::printf("\n### Taking the list out: every person, to a file\n\n");
    std::printf("| persons | %s (ms) | command CSV (ms) | ratio | command .xlsx (ms) | ratio | window CSV (ms) | "
                "window .xlsx (ms) | window's longest wait (ms) |\n",
                qPrintable(shell));
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    const QString tool = QCoreApplication::applicationDirPath() + "/kolvara-export";
    const QString statement = QString::fromStdString(personsStatement("", "", "", ""));
    for (long size : sizes) {
        const QString location = ensureRegister(registers, size);
        const int runs = runsOverride ? runsOverride : size <= 100000 ? 5 : 3;
        QTemporaryDir work;
        const QString csv = work.filePath("list.csv"), xlsx = work.filePath("list.xlsx");
        const auto timed = [](const QString& program, const QStringList& arguments, const QString& output = {}) {
            return milliseconds([&] {
                if (!runCommand(program, arguments, output))
                    std::fprintf(stderr, "kolvara-bench: %s failed\n", qPrintable(program));
            });
        };
        auto form = windowOn(location);
        QStringList titles;
        for (const std::string& column : personsColumns())
            titles << QString::fromStdString(column);
        double longest = 0;
        // The window's export, its progress turning the event loop as the
        // window's progress dialog does.
        const auto window = [&](const QString& path) {
            auto last = std::chrono::steady_clock::now();
            const auto turn = [&] {
                const auto now = std::chrono::steady_clock::now();
                longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
                last = now;
            };
            const double ms = milliseconds([&] {
                list_export::writeList(*form->ADOQuery1, titles, path, [&](long long, long long) {
                    turn();
                    QCoreApplication::processEvents();
                    return true;
                });
            });
            turn();
            return ms;
        };
        std::vector<double> bare, command, commandBook, shown, shownBook;
        for (int run = 0; run < runs; ++run) {
            bare.push_back(onServer() ? timed("psql", {"--csv", "-X", "-q", "-c", statement, "-o", csv, location})
                                      : timed("sqlite3", {"-csv", location, statement}, csv));
            command.push_back(timed(tool, {"--force", location, csv}));
            commandBook.push_back(timed(tool, {"--force", location, xlsx}));
            shown.push_back(window(csv));
            shownBook.push_back(window(xlsx));
        }
        const double b = median(bare), c = median(command), x = median(commandBook);
        std::printf("| %ld | %.0f | %.0f | %.2f | %.0f | %.2f | %.0f | %.0f | %.0f |\n", size, b, c, c / b, x, x / b,
                    median(shown), median(shownBook), longest);
        std::fflush(stdout);
    }
    std::printf("\nThe ratios are the command's time over the shell's; the goal is CSV at most 1.2 and a workbook at "
                "most 3. The window's longest wait is the longest gap between two turns of its event loop while "
                "it exported, both formats, every run.\n");
}

} // namespace bench
