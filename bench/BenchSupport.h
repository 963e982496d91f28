#pragma once
// What the benchmark's parts share: timing, medians, the bare statement run
// with the SQLite C API, and the registers of each size.

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
class TForm1;

namespace bench {

double milliseconds(const std::function<void()>& work);
double median(std::vector<double> values);

// The statement prepared, stepped to its end reading every column of the
// persons list, finalized; returns the row count.
long long bareRun(sqlite3* db, const std::string& sql);
std::string queryPlan(sqlite3* db, const std::string& sql);

// The register of size persons in folder, made by kolvara-make-register
// (beside this program) the first time.
QString ensureRegister(const QString& folder, long size);

// The real main window, pointed at the register at path instead of the one
// beside the program, shown and with its list loaded.
std::unique_ptr<TForm1> windowOn(const QString& path);

// Largest resident memory of this process so far, in MB.
long peakMegabytes();

} // namespace bench
