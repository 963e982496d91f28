#include "BenchSupport.h"
#include "ConnectionString.h"
#include "PersonsStatement.h"
#include "Benchmarks.h"

#include "ADOConnection.h"
#include "ADOQuery.h"
#include "Field.h"
#include "Sqlite.h"

#include <algorithm>
#include <cstdio>

namespace bench {
namespace {

std::string statement(const std::string& firstName)
{
    return personsStatement(firstName, "", "", "");
}

// The persons list with its seven fields, as the window describes it.
struct List {
    QObject owner;
    TADOConnection* connection = new TADOConnection(&owner);
    TADOQuery* query = new TADOQuery(&owner);

    explicit List(const QString& location)
    {
        connection->setConnectionString(ConnectionString::forRegister(location));
        query->setConnection(connection);
        for (const char* name : {"ID", "ID_DRZAVA", "ID_GRAD"}) {
            TField* f = name == std::string("ID") ? static_cast<TField*>(new TAutoIncField(&owner))
                                                  : new TIntegerField(&owner);
            f->setFieldName(name);
            f->setDataSet(query);
        }
        for (const char* name : {"Ime", "Prezime", "DRZAVE.Naziv", "GRADOVI.Naziv"}) {
            TField* f = new TWideStringField(&owner);
            f->setFieldName(name);
            f->setDataSet(query);
        }
        connection->Open();
    }

    // What a search does: close, replace the text, open, count.
    int open(const std::string& sql)
    {
        query->Close();
        query->SQL().Clear();
        query->SQL().Add(sql);
        query->Open();
        return query->RecordCount();
    }
};

} // namespace

void dataSetPart(const QString& registers, const std::vector<long>& sizes, int runsOverride)
{
    // A search right after another program wrote reads the list in full;
    // with nothing changed since the last full reading it is found in
    // memory (on a file). Both beside the bare statement.
    std::printf("### Opening the list\n\n");
    const char* bareText = onServer() ? "bare libpq" : "bare SQLite";
    std::printf("| persons | statement | rows | after another program's write (ms) | %s (ms) | ratio "
                "| nothing changed (ms) | %s (ms) | ratio |\n",
                bareText, bareText);
    std::printf("|---:|---|---:|---:|---:|---:|---:|---:|---:|\n");
    std::vector<std::string> notes;
    for (long size : sizes) {
        const QString path = ensureRegister(registers, size);
        List list(path);
        const Bare db = bareOf(*list.connection);
        // Another program: its commits are what a search must not miss.
        OtherDesk other(path);
        auto anotherProgramWrites = [&] { other.commitChange(); };
        const int runs = runsOverride ? runsOverride : size <= 10000 ? 31 : size <= 100000 ? 11 : 5;
        for (const std::string prefix : {"", "J", "Jo", "Jov", "Jova"}) {
            const std::string sql = statement(prefix);
            int rows = list.open(sql); // warm the page cache
            bareRun(db, sql);
            // A write of another program makes the connection drop the
            // pages it keeps: the bare statement beside a full reading
            // runs after one too.
            std::vector<double> full, held, bareAfterWrite, bare;
            for (int r = 0; r < runs; ++r) {
                anotherProgramWrites();
                bareAfterWrite.push_back(milliseconds([&] { bareRun(db, sql); }));
                anotherProgramWrites();
                full.push_back(milliseconds([&] { rows = list.open(sql); }));
                held.push_back(milliseconds([&] { rows = list.open(sql); }));
                bare.push_back(milliseconds([&] { bareRun(db, sql); }));
            }
            const double a = median(full), aBare = median(bareAfterWrite), h = median(held), b = median(bare);
            std::printf("| %ld | %s | %d | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n", size,
                        prefix.empty() ? "no filter" : ("Ime LIKE '" + prefix + "%'").c_str(), rows, a, aBare,
                        a / aBare, h, b, h / b);
            std::fflush(stdout);
            if (size == sizes.back()) {
                const std::string plan = "query plan, " + std::string(prefix.empty() ? "no filter" : "with a prefix")
                                         + ": " + queryPlan(db, sql);
                if (std::find(notes.begin(), notes.end(), plan) == notes.end())
                    notes.push_back(plan);
            }
        }
        if (size != sizes.back())
            continue;
        list.open(statement(""));
        notes.push_back("memory with " + std::to_string(size) + " persons open: rows hold "
                        + std::to_string(list.query->bytesUsed() / (1024 * 1024)) + " MB, process peak "
                        + std::to_string(peakMegabytes()) + " MB");
        if (onServer())
            continue;
        // The program's LIKE beside SQLite's own, on ASCII names.
        const std::string sql = statement("Mar");
        sqlite3* raw = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
        const Bare plain{raw, nullptr};
        bareRun(plain, sql);
        std::vector<double> ours, theirs;
        for (int r = 0; r < runs; ++r) {
            ours.push_back(milliseconds([&] { bareRun(db, sql); }));
            theirs.push_back(milliseconds([&] { bareRun(plain, sql); }));
        }
        sqlite3_close(raw);
        char line[240];
        std::snprintf(line, sizeof line,
                      "LIKE 'Mar%%' on %ld persons: case-insensitive for every script %.2f ms, SQLite's own "
                      "(ASCII only) %.2f ms, ratio %.2f",
                      size, median(ours), median(theirs), median(ours) / median(theirs));
        notes.push_back(line);
    }
    std::printf("\n");
    for (const std::string& note : notes)
        std::printf("- %s\n", note.c_str());
    std::printf("\n");
}

} // namespace bench
