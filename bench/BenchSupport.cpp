#include "BenchSupport.h"

#include "ConnectionString.h"

#include "Application.h"
#include "Unit1.h"

#include <QCoreApplication>
#include <QTest>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace bench {

double milliseconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

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

QString ensureRegister(const QString& folder, long size)
{
    const QString path = folder + QString("/persons-%1.mdb").arg(size);
    const QString builder = QCoreApplication::applicationDirPath() + "/kolvara-make-register";
    if (!QFile::exists(path) && QProcess::execute(builder, {"--persons", QString::number(size), path}) != 0) {
        std::fprintf(stderr, "kolvara-bench: could not make %s\n", qPrintable(path));
        std::exit(1);
    }
    return path;
}

std::unique_ptr<TForm1> windowOn(const QString& path)
{
    auto form = std::make_unique<TForm1>(TApplication::instance());
    form->ADOConnection1->Close();
    form->ADOConnection1->setConnectionString(ConnectionString::forFile(path));
    form->ADOConnection1->Open();
    form->ADOTable1->Open();
    form->ADOTable2->Open();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        qWarning("the benchmark window was not shown");
    QTest::qWait(50);
    return form;
}

long peakMegabytes()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
    return -1;
}

} // namespace bench
