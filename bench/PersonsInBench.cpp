// Bringing persons in: kolvara-import-list writing the persons of a CSV
// file (every person of a register, as kolvara-export writes them) into a
// register without persons, beside the engine's own shell reading the same
// file into a bare table (sqlite3 .import on a file, psql \copy on a
// server, into a table of the register's database, written to its log as
// the register's tables are).

#include "BenchSupport.h"
#include "Benchmarks.h"

#include "ListFile.h"
#include "PersonsImport.h"
#include "Unit1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

struct WindowImport {
    double read = 0, preview = 0, write = 0, longestWait = 0;
};

// The import as the window runs it, on its connection: the list read, its
// preview, and the write, with the longest stretch of the write in which
// the window could not answer (it redraws and hears Cancel at each report
// of progress).
WindowImport importInWindow(const QString& target, const QString& list)
{
    WindowImport took;
    const auto form = windowOn(target);
    list_import::ListFile file;
    took.read = milliseconds([&] { file = list_import::readListFile(list); });
    const ImportColumns columns = PersonsImport::columnsOf(file);
    PersonsImport import(*form->ADOConnection1, std::move(file), columns);
    const ImportChoices choices{false, false};
    took.preview = milliseconds([&] { import.plan(choices); });
    QElapsedTimer since;
    since.start();
    took.write = milliseconds([&] {
        import.write(choices, [&](long long, long long) {
            took.longestWait = std::max(took.longestWait, since.nsecsElapsed() / 1e6);
            QCoreApplication::processEvents();
            since.restart();
            return true;
        });
    });
    took.longestWait = std::max(took.longestWait, since.nsecsElapsed() / 1e6);
    return took;
}

} // namespace

void personsInPart(const QString& registers, const std::vector<long>& sizes, int runsOverride)
{
    const QString shell = onServer() ? "psql \\copy" : "sqlite3 .import";
    std::printf("\n### Bringing persons in: every person of a list, into a register without persons\n\n");
    std::printf("| persons | %s (ms) | kolvara-import-list (ms) | ratio | window: list read, preview, written (ms) "
                "| longest wait while written (ms) |\n|---:|---:|---:|---:|---:|---:|\n",
                qPrintable(shell));
    const QString folder = QCoreApplication::applicationDirPath();
    const QString bareTable = "CREATE TABLE persons (id integer, id_drzava integer, id_grad integer, ime text, "
                              "prezime text, drzava text, grad text)";
    for (long size : sizes) {
        if (size < 100000)
            continue; // the goal speaks of large lists; small ones are the command's start-up
        QTemporaryDir work;
        const QString list = work.filePath("persons.csv"), bare = work.filePath("bare.db");
        if (!runCommand(folder + "/kolvara-export", {"--force", ensureRegister(registers, size), list})) {
            std::fprintf(stderr, "kolvara-bench: the list of %ld persons could not be written\n", size);
            continue;
        }
        const int runs = runsOverride ? runsOverride : size <= 100000 ? 3 : 1;
        std::vector<double> shellTimes, commandTimes;
        for (int run = 0; run < runs; ++run) {
            const QString target = scratchRegister(registers, 0, QStringLiteral("persons_in"));
            QFile::remove(bare);
            shellTimes.push_back(milliseconds([&] {
                const bool read = onServer()
                                    ? runCommand("psql", {"-X", "-q", "-c", bareTable, "-c",
                                                          "\\copy persons FROM '" + list + "' CSV HEADER", target})
                                    : runCommand("sqlite3", {bare, bareTable, ".import --csv --skip 1 " + list + " persons"});
                if (!read)
                    std::fprintf(stderr, "kolvara-bench: %s failed\n", qPrintable(shell));
            }));
            commandTimes.push_back(milliseconds([&] {
                if (!runCommand(folder + "/kolvara-import-list", {target, list}))
                    std::fprintf(stderr, "kolvara-bench: kolvara-import-list failed\n");
            }));
            removeScratch(target);
        }
        const QString target = scratchRegister(registers, 0, QStringLiteral("persons_in"));
        const WindowImport window = importInWindow(target, list);
        removeScratch(target);
        const double s = median(shellTimes), c = median(commandTimes);
        std::printf("| %ld | %.0f | %.0f | %.2f | %.0f, %.0f, %.0f | %.0f |\n", size, s, c, c / s, window.read,
                    window.preview, window.write, window.longestWait);
        std::fflush(stdout);
    }
    std::printf("\nThe ratio is the command's time over the shell's, which writes the rows into a table with no key, "
                "index, check or history; the goal is at most 2 on a file and 1.5 on a server. The window reads the list and "
                "previews it before its wizard shows; the longest wait is the most time between two reports of "
                "progress while it writes, the re-reading of the list and the commit included (the goal: 100 ms).\n");
}

} // namespace bench
