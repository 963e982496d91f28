#include "BenchSupport.h"
#include "Benchmarks.h"

#include "JetFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace bench {

namespace {

// mdb-export reading every table of file, one command per table as it works.
double mdbExport(const QString& file, const std::vector<std::string>& tables)
{
    return milliseconds([&] {
        for (const std::string& table : tables)
            if (!runCommand("mdb-export", {file, QString::fromStdString(table)}))
                std::fprintf(stderr, "kolvara-bench: mdb-export failed on %s\n", qPrintable(file));
    });
}

} // namespace

void importPart(const QString& samples, int runs)
{
    if (runs <= 0)
        runs = 21;
    QTemporaryDir work;
    const QString tool = QCoreApplication::applicationDirPath() + "/kolvara-import-jet";
    const std::vector<std::string> tables = {"DRZAVE", "GRADOVI", "PODACI"};
    std::printf("\n### Bringing an Access register in\n\n");
    std::printf("| file | rows | import command (ms) | mdb-export (ms) | import rows/s | mdb-export rows/s | "
                "ratio of rates |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    // Every sample that is a register: the whole import command (reading,
    // writing the new register, putting it on disk) against mdb-export
    // reading the same three tables, one command per table as it works.
    for (const QString& name : QDir(samples).entryList({"*.mdb", "*.accdb"}, QDir::Files, QDir::Size)) {
        const QString file = QDir(samples).filePath(name);
        JetFile jet(file.toStdString());
        long long rows = 0;
        bool isRegister = true;
        for (const std::string& table : tables) {
            const auto t = jet.table(table);
            isRegister = isRegister && t;
            rows += t ? t->rowCount() : 0;
        }
        if (!isRegister)
            continue;
        std::vector<double> ours, theirs;
        const QString target = work.filePath("new.mdb");
        for (int run = 0; run < runs; ++run) {
            ours.push_back(milliseconds([&] {
                if (!runCommand(tool, {"--skip", "--force", file, target}))
                    std::fprintf(stderr, "kolvara-bench: the import of %s failed\n", qPrintable(file));
            }));
            theirs.push_back(mdbExport(file, tables));
        }
        const double a = median(ours), b = median(theirs);
        std::printf("| %s | %lld | %.2f | %.2f | %.0f | %.0f | %.2f |\n", qPrintable(name), rows, a, b,
                    rows / (a / 1000), rows / (b / 1000), b / a);
        std::fflush(stdout);
    }
}

} // namespace bench
