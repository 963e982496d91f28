#pragma once
// The engine of a register kept in an SQLite file.
//
// Opening checks the file before SQLite sees it, so that each way of failing
// gets a message that says what is wrong with which file (see
// whyNotADatabase). On the open file foreign keys are enforced, LIKE compares
// letters without regard to case in every script, and a lock held by another
// program is waited for, up to the lock timeout, before a statement gives up.
// A write transaction is BEGIN IMMEDIATE when it is the outermost one, so
// that the checks made before a write still hold when it is made. A read
// transaction of one moment holds the file's shared lock until it ends:
// another program's commit waits for it.

#include "Engine.h"
#include "Sqlite.h"

#include <sys/stat.h>
#include "SqliteHandle.h"

#include <QString>

namespace db {

// Explains why a file cannot be opened as a register, before SQLite tries
// ("" when nothing is visibly wrong).
std::string whyNotADatabase(const QString& path);

// Replaces LIKE on an SQLite connection with the program's own, as on every
// register file the engine opens: for tools and tests that open such a file
// beside it. Returns an SQLite result code.
int installCaselessLike(sqlite3* db);

class SqliteEngine : public Engine {
public:
    // Opens the file at path; readOnly opens it for reading only, exclusive
    // keeps other programs out while it is open. Throws Exception with a
    // message that names the file.
    static std::unique_ptr<SqliteEngine> open(const QString& path, bool readOnly, bool exclusive, int lockTimeoutMs,
                                              int cacheKilobytes);

    // The engine's handle, for the program's own tools and benchmarks.
    sqlite3* handle() const { return m_db.get(); }

    std::unique_ptr<ReadStatement> prepareRead(const std::string& sql, const std::vector<std::int64_t>& parameters,
                                               bool rowsWanted) override;
    std::string tableStatement(const std::string& table, const std::vector<std::string>& keyColumns) const override;
    std::vector<std::string> primaryKey(const std::string& table) override;
    bool numbersKeysItself(const std::string& table, const std::string& column) override;
    std::optional<ChangeStamp> changeStamp() override;
    bool replaced() const override;
    bool readOnly() const override;
    void setLockTimeout(int milliseconds) override;
    std::unique_ptr<WriteTransaction> beginWrite() override;
    WrittenRow writeRow(const RowWrite& write) override;
    int deleteRow(const RowWrite& write) override;
    bool rowExists(const std::string& table, const std::vector<std::string>& columns,
                   const std::vector<FieldKind>& kinds, const std::vector<CellValue>& values) override;
    std::unique_ptr<ReadTransaction> beginRead(ReadIsolation isolation) override;

private:
    explicit SqliteEngine(SqliteHandle db);
    // The device and inode path names now; nothing when it names no file.
    static std::optional<std::pair<dev_t, ino_t>> fileIdentity(const QString& path);
    // What a person needs to hear when SQLite refused write with the
    // extended result code and message given.
    std::string explainRefusal(const RowWrite& write, int code, const std::string& engineMessage);

    SqliteHandle m_db;
    QString m_path;
    std::optional<std::pair<dev_t, ino_t>> m_file; // the file opened, as the folder named it then
    Statement m_dataVersion; // PRAGMA data_version, prepared once
    int m_lockTimeoutMs = 0;
    // Tells this opening apart from every other one: a new connection's
    // counters start where a closed one's did.
    const std::uint64_t m_opening;
    // Whether the statement prepared last reads stored values only (its
    // rows cannot change without a write to the file).
    bool m_storedValuesOnly = true;
};

} // namespace db
