#pragma once
// The engine of a register kept on a PostgreSQL server, through libpq.
//
// A register on a server is named by a libpq connection URI
// ("postgresql://ana@server/register?sslmode=verify-full") or its key=value
// form; libpq's own environment and files (PGHOST, ~/.pgpass, TLS settings)
// apply as for any libpq program. When the server asks for a password that
// none of them gives, the connection's password question is asked once; the
// answer stays in memory for reconnecting and is never written anywhere.
//
// The session reads by default (default_transaction_read_only), so that a
// statement opened as a query can never change the register; a write runs in
// a transaction of its own and locks the rows it checks first (the row it
// changes, the rows it refers to), so that the checks still hold when it is
// made. A lock held by another desk is waited for up to the lock timeout;
// a deadlock with another desk makes the write fail whole, with one message. Names are those of the register's
// schema (unquoted, so folded to lower case by the server); a name from
// outside is found without regard to case, and a result column is spelled
// as the statement spells it ("DRZAVE.Naziv"), as on a file.
//
// A LIKE pattern in a statement matches as it does on a file: the server
// would take a backslash in it as an escape character, so every pattern
// written as a literal gets ESCAPE '' (no escape character).
//
// When the server goes away, the operation under way fails with one
// message; the next one connects again by itself, unless a transaction is
// open: then only the first after it ends, so that a read transaction never
// reads on at another moment.

#include "Engine.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace db {

// Asks a person for the password of a register (named as shown); nothing
// when they decline.
using PasswordQuestion = std::function<std::optional<std::string>(const QString& register_)>;


class PostgresEngine : public Engine {
public:
    // Connects to the register named by uri. Throws Exception with a message
    // that names the server (never the password).
    static std::unique_ptr<PostgresEngine> open(const QString& uri, int lockTimeoutMs, const PasswordQuestion& ask);
    ~PostgresEngine() override;

    // The engine's connection, for the program's own tools and benchmarks.
    PGconn* handle() const { return m_connection; }

    std::unique_ptr<ReadStatement> prepareRead(const std::string& sql, const std::vector<std::int64_t>& parameters,
                                               bool rowsWanted) override;
    std::string tableStatement(const std::string& table, const std::vector<std::string>& keyColumns) const override;
    std::vector<std::string> primaryKey(const std::string& table) override;
    bool numbersKeysItself(const std::string& table, const std::string& column) override;
    // Nothing: see docs/speed.md ("A search from memory") for why every search on
    // a server asks the server.
    std::optional<ChangeStamp> changeStamp() override { return std::nullopt; }
    bool readOnly() const override { return false; }
    void setLockTimeout(int milliseconds) override;
    std::unique_ptr<WriteTransaction> beginWrite() override;
    WrittenRow writeRow(const RowWrite& write) override;
    int deleteRow(const RowWrite& write) override;
    bool rowExists(const std::string& table, const std::vector<std::string>& columns,
                   const std::vector<FieldKind>& kinds, const std::vector<CellValue>& values) override;
    std::unique_ptr<ReadTransaction> beginRead(ReadIsolation isolation) override;

    // What a table or column of the schema is called on the server, found
    // without regard to case, quoted; name itself, quoted, when none is.
    std::string tableName(const std::string& table) const;
    std::string columnName(const std::string& table, const std::string& column) const;

private:
    friend class PostgresWriteTransaction;
    friend class PostgresReadTransaction;
    friend class PostgresReadStatement;
    // Runs a statement that returns nothing; throws Exception worded for a
    // person.
    void execute(const std::string& sql);

    // A result of the server's, freed when it goes out of scope.
    class Result {
    public:
        explicit Result(PGresult* result = nullptr) : m_result(result) {}
        Result(Result&& other) noexcept : m_result(other.m_result) { other.m_result = nullptr; }
        Result& operator=(Result&& other) noexcept;
        Result(const Result&) = delete;
        Result& operator=(const Result&) = delete;
        ~Result();
        PGresult* get() const { return m_result; }
        bool failed() const;
        // The SQLSTATE of a failure ("" for none), and one of its fields.
        std::string state() const;
        std::string field(int code) const;
        int rows() const;
        const char* value(int row, int column) const;
        bool null(int row, int column) const;

    private:
        PGresult* m_result;
    };
    // Runs sql with text parameters (null: SQL NULL) and returns what the
    // server answered, a refusal included; throws Exception only when the
    // server cannot be reached.
    Result request(const std::string& sql, const std::vector<const char*>& parameters = {}) const;
    // Runs sql as request() does and throws Exception worded for a person
    // when the server refused it (a write, unless reading says otherwise).
    Result run(const std::string& sql, const std::vector<const char*>& parameters = {}, bool reading = false) const;
    // Throws Exception worded for a person when result is a refusal of a
    // write, or of a read.
    void check(const Result& result, bool reading = false) const;
    // Reconnects when the server went away since the last operation.
    void ensureConnected();
    PostgresEngine() = default;
    void connect();
    // Whether the transaction numbered so committed, asked of the server
    // (connecting again) after the answer to its COMMIT was lost; nothing
    // when that cannot be known.
    std::optional<bool> committed(const std::string& transaction);
    void prepareSession();
    // The row id of a table: its integer primary key, or two of them packed
    // into one number. Throws Exception when the table has no such key.
    std::string rowIdExpression(const std::string& table) const;
    // What a person needs to hear when the server refused write.
    std::string explainRefusal(const RowWrite& write, const Result& refusal);
    // The catalog's names, read once.
    struct Names;
    const Names& names() const;

    PGconn* m_connection = nullptr;
    QString m_uri;
    std::optional<std::string> m_password;
    PasswordQuestion m_ask;
    int m_lockTimeout = 5000;
    int m_depth = 0;
    mutable std::unique_ptr<Names> m_names;
};

} // namespace db
