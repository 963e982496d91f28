// kolvara-bench: the program's work beside the bare SQLite statements it runs.
//
// For registers of several sizes, made by kolvara-make-register, it opens the
// persons list with no filter and with first-name prefixes of one to four
// letters, and beside each open runs the same statement prepared and stepped
// to the end with the bare SQLite C API on the same connection, reading every
// column. The two are run in turn, many times, and the medians compared: the
// ratio is what matters on a shared machine, where absolute times wander.
// It also compares the program's case-insensitive LIKE with SQLite's own
// (ASCII only) on the same statement, and reports the memory that a list of
// the largest size holds.
//
// Usage: kolvara-bench [--registers DIR] [--sizes N,N,...] [--runs N]

#include "ADOConnection.h"
#include "ADOQuery.h"
#include "Field.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

const char* const Select =
    "SELECT PODACI.ID, PODACI.ID_DRZAVA, PODACI.ID_GRAD, PODACI.Ime, PODACI.Prezime, DRZAVE.Naziv, GRADOVI.Naziv\n"
    "FROM PODACI, DRZAVE, GRADOVI\n"
    "WHERE DRZAVE.ID = GRADOVI.ID_DRZAVA AND (GRADOVI.ID_DRZAVA = PODACI.ID_DRZAVA AND GRADOVI.ID_GRAD = "
    "PODACI.ID_GRAD)";

std::string statement(const std::string& firstName)
{
    std::string sql = Select;
    if (!firstName.empty())
        sql += "\n AND PODACI.Ime LIKE '" + firstName + "%'";
    return sql + "ORDER BY DRZAVE.Naziv";
}

double milliseconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The statement prepared, stepped to its end reading every column, finalized.
long long bareRun(sqlite3* db, const std::string& sql)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "kolvara-bench: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    long long rows = 0, sink = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < 3; ++c)
            sink += sqlite3_column_int(st, c);
        for (int c = 3; c < 7; ++c) {
            sink += sqlite3_column_text(st, c) != nullptr;
            sink += sqlite3_column_bytes(st, c);
        }
    }
    sqlite3_finalize(st);
    return rows + (sink == -1);
}

std::string queryPlan(sqlite3* db, const std::string& sql)
{
    sqlite3_stmt* st = nullptr;
    std::string plan;
    sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &st, nullptr);
    while (st && sqlite3_step(st) == SQLITE_ROW)
        plan += std::string(plan.empty() ? "" : "; ") + reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
    sqlite3_finalize(st);
    return plan;
}

long peakKilobytes()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

struct List {
    QObject owner;
    TADOConnection* connection = new TADOConnection(&owner);
    TADOQuery* query = new TADOQuery(&owner);

    explicit List(const QString& path)
    {
        connection->setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path
                                        + ";Persist Security Info=False");
        query->setConnection(connection);
        const std::pair<const char*, bool> fields[] = {
            {"ID", true}, {"ID_DRZAVA", true}, {"ID_GRAD", true}, {"Ime", false},
            {"Prezime", false}, {"DRZAVE.Naziv", false}, {"GRADOVI.Naziv", false}};
        for (const auto& [name, integer] : fields) {
            TField* f = integer ? static_cast<TField*>(name == std::string("ID") ? new TAutoIncField(&owner)
                                                                                 : new TIntegerField(&owner))
                                : new TWideStringField(&owner);
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

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QString registers = QDir::current().filePath("registers");
    std::vector<long> sizes = {10000, 100000, 1000000};
    int runsOverride = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--registers" && i + 1 < args.size()) {
            registers = args[++i];
        } else if (args[i] == "--sizes" && i + 1 < args.size()) {
            sizes.clear();
            for (const QString& s : args[++i].split(','))
                sizes.push_back(s.toLong());
        } else if (args[i] == "--runs" && i + 1 < args.size()) {
            runsOverride = args[++i].toInt();
        } else {
            std::fprintf(stderr, "usage: kolvara-bench [--registers DIR] [--sizes N,N,...] [--runs N]\n");
            return 2;
        }
    }
    QDir().mkpath(registers);
    const QString builder = QCoreApplication::applicationDirPath() + "/kolvara-make-register";

    std::printf("| persons | statement | rows | data set open (ms) | bare SQLite (ms) | ratio |\n");
    std::printf("|---:|---|---:|---:|---:|---:|\n");
    std::vector<std::string> notes;
    for (long size : sizes) {
        const QString path = registers + QString("/persons-%1.mdb").arg(size);
        if (!QFile::exists(path)
            && QProcess::execute(builder, {"--persons", QString::number(size), path}) != 0) {
            std::fprintf(stderr, "kolvara-bench: could not make %s\n", qPrintable(path));
            return 1;
        }
        List list(path);
        sqlite3* db = list.connection->nativeHandle();
        const int runs = runsOverride ? runsOverride : size <= 10000 ? 31 : size <= 100000 ? 11 : 5;
        for (const std::string prefix : {"", "J", "Jo", "Jov", "Jova"}) {
            const std::string sql = statement(prefix);
            int rows = list.open(sql); // warm the page cache
            bareRun(db, sql);
            std::vector<double> ours, bare;
            for (int r = 0; r < runs; ++r) {
                bare.push_back(milliseconds([&] { bareRun(db, sql); }));
                ours.push_back(milliseconds([&] { rows = list.open(sql); }));
            }
            const double a = median(ours), b = median(bare);
            std::printf("| %ld | %s | %d | %.2f | %.2f | %.2f |\n", size,
                        prefix.empty() ? "no filter" : ("Ime LIKE '" + prefix + "%'").c_str(), rows, a, b, a / b);
            std::fflush(stdout);
            if (size == sizes.back()) {
                const std::string plan = "query plan, " + std::string(prefix.empty() ? "no filter" : "with a prefix")
                                         + ": " + queryPlan(db, sql);
                if (std::find(notes.begin(), notes.end(), plan) == notes.end())
                    notes.push_back(plan);
            }
        }
        if (size == sizes.back()) {
            list.open(statement(""));
            notes.push_back("memory with " + std::to_string(size) + " persons open: rows hold "
                            + std::to_string(list.query->bytesUsed() / (1024 * 1024)) + " MB, process peak "
                            + std::to_string(peakKilobytes() / 1024) + " MB");
            // The program's LIKE beside SQLite's own, on ASCII names.
            const std::string sql = statement("Mar");
            sqlite3* plain = nullptr;
            sqlite3_open_v2(path.toUtf8().constData(), &plain, SQLITE_OPEN_READONLY, nullptr);
            bareRun(plain, sql);
            std::vector<double> ours, theirs;
            for (int r = 0; r < runs; ++r) {
                ours.push_back(milliseconds([&] { bareRun(db, sql); }));
                theirs.push_back(milliseconds([&] { bareRun(plain, sql); }));
            }
            sqlite3_close(plain);
            char line[200];
            std::snprintf(line, sizeof line,
                          "LIKE 'Mar%%' on %ld persons: case-insensitive for every script %.2f ms, SQLite's own "
                          "(ASCII only) %.2f ms, ratio %.2f",
                          size, median(ours), median(theirs), median(ours) / median(theirs));
            notes.push_back(line);
        }
    }
    std::printf("\n");
    for (const std::string& note : notes)
        std::printf("- %s\n", note.c_str());
    return 0;
}
