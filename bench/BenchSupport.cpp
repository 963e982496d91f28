#include "BenchSupport.h"

#include "ConnectionString.h"

#include "ADOConnection.h"
#include "Application.h"
#include "PostgresEngine.h"
#include "ServerConnection.h"
#include "SqliteEngine.h"
#include "Unit1.h"
#include "Sqlite.h"

#include <QCoreApplication>
#include <QTest>
#include <QFile>
#include <QProcess>

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

namespace {

QString g_server;

std::string databaseOf(long size)
{
    return "kolvara_bench_" + std::to_string(size);
}

// Runs sql on the server's maintenance database; the rows it returned.
int administer(const std::string& sql)
{
    db::ServerConnection connection((g_server + "/postgres").toStdString());
    connection.exec("SET client_min_messages = warning");
    const db::ServerResult result = connection.exec(sql);
    if (result.failed()) {
        std::fprintf(stderr, "kolvara-bench: %s\n", connection.reason().c_str());
        std::exit(1);
    }
    return result.rows();
}

// Runs the register builder, quietly.
bool build(const QStringList& arguments)
{
    QProcess builder;
    builder.start(QCoreApplication::applicationDirPath() + "/kolvara-make-register", arguments);
    return builder.waitForFinished(-1) && builder.exitCode() == 0;
}

} // namespace

Bare bareOf(const TADOConnection& connection)
{
    return {db::sqliteHandle(connection.engine()), db::postgresHandle(connection.engine())};
}

const char* bareName(const Bare& bare)
{
    return bare.server ? "bare libpq" : "bare SQLite";
}

long long bareRun(const Bare& bare, const std::string& sql)
{
    long long rows = 0, sink = 0;
    if (bare.server) {
        PGresult* result = PQexec(bare.server, sql.c_str());
        if (PQresultStatus(result) != PGRES_TUPLES_OK) {
            std::fprintf(stderr, "kolvara-bench: %s\n", PQresultErrorMessage(result));
            std::exit(1);
        }
        rows = PQntuples(result);
        const int columns = PQnfields(result);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                sink += *PQgetvalue(result, r, c);
                sink += PQgetlength(result, r, c);
            }
        PQclear(result);
        return rows + (sink == -1);
    }
    sqlite3* db = bare.file;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "kolvara-bench: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
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

void bareWrite(const Bare& bare, const std::string& sql)
{
    if (bare.server) {
        PQclear(PQexec(bare.server, ("BEGIN READ WRITE; " + sql + "; COMMIT").c_str()));
        return;
    }
    sqlite3_exec(bare.file, sql.c_str(), nullptr, nullptr, nullptr);
}

std::string queryPlan(const Bare& bare, const std::string& sql)
{
    std::string plan;
    if (bare.server) {
        PGresult* result = PQexec(bare.server, ("EXPLAIN " + sql).c_str());
        for (int r = 0; r < PQntuples(result); ++r) {
            std::string line = PQgetvalue(result, r, 0);
            line.erase(0, line.find_first_not_of(" ->"));
            line = line.substr(0, line.find("  ("));
            plan += (plan.empty() ? "" : "; ") + line;
        }
        PQclear(result);
        return plan;
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(bare.file, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &st, nullptr);
    while (st && sqlite3_step(st) == SQLITE_ROW)
        plan += std::string(plan.empty() ? "" : "; ") + reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
    sqlite3_finalize(st);
    return plan;
}

void useServer(const QString& base)
{
    g_server = base;
}

bool onServer()
{
    return !g_server.isEmpty();
}

QString ensureRegister(const QString& folder, long size)
{
    if (onServer()) {
        const QString uri = g_server + "/" + QString::fromStdString(databaseOf(size));
        // A new database gets the register; one that has it already is kept.
        if (administer("SELECT 1 FROM pg_database WHERE datname = '" + databaseOf(size) + "'") == 0) {
            administer("CREATE DATABASE " + databaseOf(size));
            if (!build({"--persons", QString::number(size), uri})) {
                std::fprintf(stderr, "kolvara-bench: could not make %s\n", qPrintable(uri));
                std::exit(1);
            }
        }
        return uri;
    }
    const QString path = folder + QString("/persons-%1.mdb").arg(size);
    if (!QFile::exists(path) && !build({"--persons", QString::number(size), path})) {
        std::fprintf(stderr, "kolvara-bench: could not make %s\n", qPrintable(path));
        std::exit(1);
    }
    return path;
}

QString scratchRegister(const QString& folder, long size, const QString& name)
{
    const QString original = ensureRegister(folder, size);
    if (onServer()) {
        const std::string copy = "kolvara_scratch_" + name.toStdString() + "_" + std::to_string(size);
        administer("DROP DATABASE IF EXISTS " + copy);
        administer("CREATE DATABASE " + copy + " TEMPLATE " + databaseOf(size));
        return g_server + "/" + QString::fromStdString(copy);
    }
    const QString path = folder + QString("/%1-%2.mdb").arg(name).arg(size);
    QFile::remove(path);
    QFile::copy(original, path);
    return path;
}

void removeScratch(const QString& location)
{
    if (onServer())
        administer("DROP DATABASE IF EXISTS " + location.section('/', -1).toStdString());
    else
        QFile::remove(location);
}

std::unique_ptr<TForm1> windowOn(const QString& location)
{
    auto form = std::make_unique<TForm1>(TApplication::instance());
    form->ADOConnection1->Close();
    form->ADOConnection1->setConnectionString(ConnectionString::forRegister(location));
    form->ADOConnection1->Open();
    form->ADOTable1->Open();
    form->ADOTable2->Open();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        qWarning("the benchmark window was not shown");
    QTest::qWait(50);
    awaitSearch(form.get());
    return form;
}

void awaitSearch(TForm1* form)
{
    // Waiting in the event loop, as the window does: a loop that spun
    // would take a core from the server.
    while (form->ADOQuery1->readingAhead())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct ServerDesk {
    db::ServerConnection connection;
};

OtherDesk::OtherDesk(const QString& location)
{
    if (onServer()) {
        m_server = std::make_unique<ServerDesk>(ServerDesk{db::ServerConnection(location.toStdString())});
        if (!m_server->connection.connected()) {
            std::fprintf(stderr, "kolvara-bench: %s\n", m_server->connection.reason().c_str());
            std::exit(1);
        }
    } else if (sqlite3_open_v2(location.toUtf8().constData(), &m_file, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "kolvara-bench: %s\n", sqliteMessage(m_file).c_str());
        std::exit(1);
    }
}

OtherDesk::~OtherDesk()
{
    sqlite3_close(m_file);
}

void OtherDesk::exec(const std::string& sql)
{
    const bool failed = m_server ? m_server->connection.exec(sql).failed()
                                 : sqlite3_exec(m_file, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK;
    if (failed) {
        std::fprintf(stderr, "kolvara-bench: %s: %s\n", sql.c_str(),
                     m_server ? m_server->connection.reason().c_str() : sqliteMessage(m_file).c_str());
        std::exit(1);
    }
}

void OtherDesk::commitChange()
{
    // A file's own count of changes moves with any commit; a server's
    // register counts each statement on its tables.
    exec(m_server ? "UPDATE drzave SET naziv = naziv WHERE false"
                  : "PRAGMA user_version = " + std::to_string(++m_version % 2));
}

void OtherDesk::lock()
{
    exec(m_server ? "BEGIN; LOCK TABLE podaci IN ACCESS EXCLUSIVE MODE" : "BEGIN EXCLUSIVE");
}

bool runCommand(const QString& program, const QStringList& arguments, const QString& output)
{
    QProcess process;
    process.setStandardOutputFile(output.isEmpty() ? QProcess::nullDevice() : output);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() != 1;
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
