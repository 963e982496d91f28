#pragma once
// What the file engine's own sources share (SqliteEngine.cpp: opening the
// file, its change stamp, keys and read transactions; SqliteRead.cpp:
// statements that read, also in the background; SqliteWrite.cpp: write
// transactions, writes and refusals). Not for other files.

#include "SqliteEngine.h"

#include "Exception.h"
#include "Sqlite.h"

#include <QCoreApplication>

#include <sys/stat.h>

#include "RowStore.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace db {

struct WriteStatement;

// Explains why a file cannot be opened as a register, before SQLite tries
// ("" when nothing is visibly wrong).
std::string whyNotADatabase(const QString& path);

// A statement read in the background, on a connection of its own on
// another thread, its rows taken into a store as its columns' declared
// kinds say. Shared by the engine and the thread: whichever lets go last
// frees it.
struct SqliteBackgroundRead {
    std::string sql;
    std::vector<std::int64_t> parameters;
    std::optional<ChangeStamp> stamp; // the engine's, before the rows were read
    ReadPlan plan;
    RowStore store;
    std::string walk;   // the walk the rows came in
    bool failed = false; // nothing to take: the statement runs again where it is opened
    std::string failure; // or, when it was refused, what the refusal says
    std::atomic<bool> done{false};
    std::mutex lock;         // guards connection
    sqlite3* connection = nullptr; // the thread's, while it reads
    bool dropped = false;
    int signal[2] = {-1, -1}; // a pipe written once done
    ~SqliteBackgroundRead();
};

class SqliteEngine : public Engine {
public:
    ~SqliteEngine() override;
    // As openSqliteEngine.
    static std::unique_ptr<SqliteEngine> open(const QString& path, bool readOnly, bool exclusive, int lockTimeoutMs,
                                              int cacheKilobytes);

    // The file opened once more, for a read in the background: for reading
    // only, nothing read yet (a lock another program holds is met by the
    // statement, and said as the statement would say it).
    static std::unique_ptr<SqliteEngine> openReader(const QString& path, int lockTimeoutMs, int cacheKilobytes);

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
    int startRead(const std::string& sql, const std::vector<std::int64_t>& parameters, const std::string& base,
                  const ChangeStamp* held) override;
    Arrival readArrival() override;
    void dropRead() override;
    std::unique_ptr<WriteTransaction> beginWrite() override;
    WrittenRow writeRow(const RowWrite& write) override;
    int deleteRow(const RowWrite& write) override;
    std::int64_t writeRows(const RowsWrite& write) override;
    std::int64_t insertRows(const RowWrite& write,
                            const std::function<bool(std::vector<CellValue>&)>& next) override;
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
    // Where the file keeps a history: what names this desk for a write,
    // and clears the name before its commit (see beginWrite).
    Statement m_nameDesk;
    Statement m_clearDesk;
    // The rows' writes prepared, by their text, for the next write of the
    // same shape: a save, and each row of an import, compiles its
    // statement once. A few dozen shapes at most; past that it starts
    // again.
    std::unordered_map<std::string, Statement> m_writes;
    // The statement of written, prepared or taken from m_writes, made
    // ready to run and its parameters bound.
    Statement& writeStatement(const WriteStatement& written);
    int m_lockTimeoutMs = 0;
    // Tells this opening apart from every other one: a new connection's
    // counters start where a closed one's did.
    const std::uint64_t m_opening;
    // Whether the statement prepared last reads stored values only (its
    // rows cannot change without a write to the file).
    bool m_storedValuesOnly = true;
    bool m_exclusive = false;

    friend class SqliteReadStatement;
    // The read in the background, when it holds the rows of sql with
    // parameters, read as plan says in the walk given; taken from the engine.
    std::shared_ptr<SqliteBackgroundRead> takeBackground(const std::string& sql,
                                                         const std::vector<std::int64_t>& parameters,
                                                         const ReadPlan& plan, const std::string& walk);
    std::shared_ptr<SqliteBackgroundRead> m_background; // the read started last, until taken or dropped
    // The threads of reads started, joined once done.
    std::vector<std::pair<std::thread, std::shared_ptr<SqliteBackgroundRead>>> m_readers;
    // Joins the threads whose reads are done (all of them, stopping them
    // and waiting, when all).
    void joinReaders(bool all);
};

namespace sqlite_detail {


inline QString quoted(const QString& path)
{
    return QStringLiteral("\u201E") + path + QStringLiteral("\u201D");
}

inline void execute(sqlite3* db, const char* sql, const std::string& context)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throwSqliteError(db, context);
}

inline std::string cellText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, sqlite3_column_bytes(statement, column)) : std::string();
}

// Reads an integer cell, whatever the database stored in it. False when
// the cell holds something that is not a whole number in 32 bits.
inline bool readInteger(sqlite3_stmt* statement, int column, int type, std::int32_t& value)
{
    switch (type) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(statement, column);
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
            return false;
        value = static_cast<std::int32_t>(v);
        return true;
    }
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(statement, column);
        if (d != static_cast<double>(static_cast<std::int64_t>(d)) || d < std::numeric_limits<std::int32_t>::min()
            || d > std::numeric_limits<std::int32_t>::max())
            return false;
        value = static_cast<std::int32_t>(d);
        return true;
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return text && db::parseInteger(std::string_view(text, sqlite3_column_bytes(statement, column)), value);
    }
    }
}

inline void bindValue(sqlite3_stmt* statement, int parameter, FieldKind kind, const CellValue& value)
{
    ::bindValue(statement, parameter, value.null, kind == FieldKind::Integer, value.integer, value.text);
}

// The refusals that any write may meet, whatever it writes; "" for others.
inline std::string plainRefusal(int code, const std::string& engineMessage)
{
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_BUSY_SNAPSHOT:
    case SQLITE_LOCKED:
        return busyMessage();
    case SQLITE_READONLY:
    case SQLITE_READONLY_DBMOVED:
        return readOnlyMessage(engineMessage);
    case SQLITE_FULL:
        return diskFullMessage();
    default:
        return {};
    }
}

} // namespace sqlite_detail

using namespace sqlite_detail;

} // namespace db
