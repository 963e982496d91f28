#pragma once
// A new register file, written under a temporary name beside its final place
// and put there only when complete: an interrupted run leaves no
// half-written register, and an existing file is never replaced unless the
// caller says so.

#include "Sqlite.h"

#include <memory>
#include <stdexcept>
#include <string>

class RegisterFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class NewRegisterFile {
public:
    // Throws RegisterFileError when path exists and replace is false.
    NewRegisterFile(std::string path, bool replace);
    // Removes the temporary file unless it was published.
    ~NewRegisterFile();
    NewRegisterFile(const NewRegisterFile&) = delete;
    NewRegisterFile& operator=(const NewRegisterFile&) = delete;

    // Creates the temporary file with the register's schema and returns its
    // connection (foreign keys off, no journal: a failed run throws the file
    // away). Throws RegisterFileError.
    sqlite3* create();
    // Gives the register its history of changes (data/history.sql): after
    // the rows a tool writes, which are no change of the register's. Done
    // by publish() unless done before (to copy a history into it).
    void addHistory();
    // Closes the connection, writes the file to disk and puts it in place.
    // Throws RegisterFileError; the temporary file is then removed.
    void publish();

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::string m_temporary;
    bool m_replace;
    bool m_published = false;
    bool m_history = false;
    SqliteHandle m_db;
};

// Runs sql on db; throws RegisterFileError with the engine's message.
void execOrThrow(sqlite3* db, const char* sql);
