#pragma once
// What the benchmark's parts share: timing, medians, the bare statement run
// with the SQLite C API or libpq, and the registers of each size, in files or
// on a PostgreSQL server.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
typedef struct pg_conn PGconn;
class TADOConnection;
class TForm1;

namespace bench {

double milliseconds(const std::function<void()>& work);
double median(std::vector<double> values);

// The connection a part's bare statements run on: the program's own, by
// the engine's handle (an SQLite file's, or a server's libpq connection).
struct Bare {
    sqlite3* file = nullptr;
    PGconn* server = nullptr;
};
Bare bareOf(const TADOConnection& connection);
// "bare SQLite" or "bare libpq", for the tables' headings.
const char* bareName(const Bare& bare);

// The statement run to its end reading every column of the persons list
// (prepared and stepped with SQLite; the same text through PQexec on a
// server); returns the row count.
long long bareRun(const Bare& bare, const std::string& sql);
// A statement that writes, in a transaction of its own.
void bareWrite(const Bare& bare, const std::string& sql);
std::string queryPlan(const Bare& bare, const std::string& sql);

// Where the registers are: files in a folder (the default), or databases
// on the server whose URI without a database is base.
void useServer(const QString& base);
bool onServer();

// The register of size persons, made by kolvara-make-register (beside this
// program) the first time: a file in folder, or a database on the server.
QString ensureRegister(const QString& folder, long size);
// A copy of it that a part may change, and its removal.
// name tells two copies of one size apart.
QString scratchRegister(const QString& folder, long size, const QString& name = QStringLiteral("editing"));
void removeScratch(const QString& location);

// The real main window, pointed at the register at location (a path or a
// server's URI) instead of the one beside the program, shown and with its
// list loaded.
std::unique_ptr<TForm1> windowOn(const QString& path);
// Runs the window's event loop until a search it runs in the background
// (on a server) has shown its list.
void awaitSearch(TForm1* form);

// Another desk on the register at location (a path or a server's URI), on
// a connection of its own: its writes and locks are what the window meets.
class OtherDesk {
public:
    explicit OtherDesk(const QString& location);
    ~OtherDesk();
    OtherDesk(const OtherDesk&) = delete;
    OtherDesk& operator=(const OtherDesk&) = delete;
    // Runs sql (statements separated by semicolons); ends the benchmark
    // with the engine's message when it fails.
    void exec(const std::string& sql);
    // A change committed, one that makes the rows a list holds out of date.
    void commitChange();
    // Takes a lock that keeps every other connection from reading the
    // persons until release().
    void lock();
    void release() { exec("ROLLBACK"); }

private:
    sqlite3* m_file = nullptr;
    std::unique_ptr<struct ServerDesk> m_server;
    int m_version = 0;
};

// Runs a command to its end, its output to output (else dropped); false if
// it could not start, crashed or answered 1 (refused).
bool runCommand(const QString& program, const QStringList& arguments, const QString& output = {});

// Largest resident memory of this process so far, in MB.
long peakMegabytes();

} // namespace bench
