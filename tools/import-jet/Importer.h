#pragma once
// Bringing an Access (Jet or ACE) register, or a register of this program,
// into a new register of this program, in a file or on a PostgreSQL server
// (target a URI: written into a file first, then put onto the server whole): the three tables' rows copied exactly, keys as stored, text as
// UTF-8, NULL apart from the empty text, in one transaction, streamed in
// constant memory. The old file is only read. Rows the register's schema
// refuses are never dropped silently: by default nothing is written and they
// are listed; on request they go into side tables or are left out, and are
// counted.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class RefusedRows {
    Stop,     // write nothing, list them
    SetAside, // copy them into <TABLE>_SET_ASIDE with the reason
    Skip      // leave them out, count them
};

struct ImportOptions {
    std::string source;
    std::string target;
    bool force = false;      // replace an existing target
    std::string keepOldAs;   // target == source: the old file's new name
    RefusedRows refused = RefusedRows::Stop;
    int codePage = 0;        // Jet 3 text: 0 for the one the file records
    // The source is a register of this program (a file or a server's URI)
    // rather than an Access file: a copy, made the import's way.
    bool fromRegister = false;
};

struct RefusedRow {
    std::string table;
    std::string key;    // "ID=5", "ID_DRZAVA=1, ID_GRAD=9"
    std::string reason;
};

struct TableReport {
    std::string name;
    std::int64_t read = 0;
    std::int64_t written = 0;
    std::int64_t setAside = 0;
    std::int64_t skipped = 0;
};

struct ImportReport {
    std::string format;   // "Jet 3", "Jet 4", "ACE"
    int codePage = 0;     // Jet 3 only
    std::vector<TableReport> tables;
    std::vector<RefusedRow> refused;
    bool written = false; // the new register is in place
};

// progress(rows read, rows in all) is called now and then while reading.
// Throws ImportError when the import cannot be done; nothing is written then.
ImportReport importJet(const ImportOptions& options,
                       const std::function<void(std::int64_t, std::int64_t)>& progress = {});
