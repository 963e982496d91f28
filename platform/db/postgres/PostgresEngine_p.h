#pragma once
// What the server engine's own sources share (PostgresEngine.cpp: the
// connection, its session and errors, the catalogue and read transactions;
// PostgresRead.cpp: statements that read; PostgresWrite.cpp: write
// transactions, writes and refusals). Not for other files.

#include "PostgresEngine.h"

#include "Exception.h"
#include "RowStore.h"
#include "ServerConnection.h"

#include <QCoreApplication>

#include <libpq-fe.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

// The read under way in the background, as it was asked for, and its
// rows taken into a store as they come, every column as its type says
// (the plan a query of all its columns has).
struct PostgresBackgroundRead {
    std::uint64_t number = 0; // on the engine's connection: the stamp's, then the statement's
    std::string sql;          // the statement read ("" until the stamp tells which)
    std::string wanted, base; // as startRead was given them
    std::vector<std::int64_t> parameters;
    bool stamping = false;    // the register's stamp is asked first, and the statement not yet sent
    std::optional<ChangeStamp> held; // the stamp under which the rows are not wanted
    bool stampOnly = false;   // the stamp was held: the statement was never sent
    std::optional<ChangeStamp> stamp; // the register's, read before the statement
    ServerResult first;     // the first result, which describes the rows (or the last)
    ServerResult last;      // the last result (no row, or the failure); null until then
    ReadPlan plan;          // made from the first result
    RowStore store;
    std::string unreadable; // why a row could not be taken, if one could not
    bool ended = false;     // the answer was read to its end (or failed)
    bool lost = false;      // the connection failed before the end
};

class PostgresEngine : public Engine {
public:
    // How long a statement may run unless the register's server or URI
    // say otherwise, and how much longer its answer is waited for.
    static constexpr int DefaultStatementTimeoutMs = 15000;
    static constexpr int AnswerMarginMs = 2000;

    // As openPostgresEngine.
    static std::unique_ptr<PostgresEngine> open(const QString& uri, int lockTimeoutMs, const PasswordQuestion& ask);
    ~PostgresEngine() override;

    PGconn* handle() const { return m_connection.get(); }

    std::unique_ptr<ReadStatement> prepareRead(const std::string& sql, const std::vector<std::int64_t>& parameters,
                                               bool rowsWanted) override;
    int startRead(const std::string& sql, const std::vector<std::int64_t>& parameters, const std::string& base,
                  const ChangeStamp* held) override;
    Arrival readArrival() override;
    void dropRead() override;
    int answerLimit() const override { return m_statementTimeout > 0 ? m_statementTimeout + AnswerMarginMs : 0; }
    std::string tableStatement(const std::string& table, const std::vector<std::string>& keyColumns) const override;
    std::vector<std::string> primaryKey(const std::string& table) override;
    bool numbersKeysItself(const std::string& table, const std::string& column) override;
    // From the register's own stamp (stamp-postgresql.sql: what its writers
    // committed, as this server tells it), once
    // the server has told how its LIKE lowers letters; nothing for a
    // register without the stamp (or with the one of old), or one whose
    // server lowers letters otherwise than one at a time (the searches then
    // ask the server).
    std::optional<ChangeStamp> changeStamp() override;
    std::string commonWalk() const override;
    const unicode_like::Folding* likeFolding() const override { return m_folding.get(); }
    bool readOnly() const override { return m_readsOnly; }
    // What this desk's role may do, asked of the server once a table.
    bool mayChange(const std::string& table) override;
    Line line() const override;
    void setLockTimeout(int milliseconds) override;
    std::unique_ptr<WriteTransaction> beginWrite() override;
    WrittenRow writeRow(const RowWrite& write) override;
    int deleteRow(const RowWrite& write) override;
    std::int64_t writeRows(const RowsWrite& write) override;
    std::int64_t insertRows(const RowWrite& write,
                            const std::function<bool(std::vector<CellValue>&)>& next) override;
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

    using Result = ServerResult;
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
    // Connects again when the connection went (not inside a transaction);
    // within: in at most that many seconds (2 at the least, as libpq
    // counts), whatever the URI's connect_timeout says.
    void ensureConnected(int within = 0);
    PostgresEngine() = default;
    void connect();
    // A new connection to the register, with the program's defaults for
    // what the URI leaves unsaid, and the password given, if any.
    ServerConnection newConnection(int within = 0) const;
    // Whether the transaction numbered so, whose changes the history
    // records with mark, committed, asked of the server (connecting again)
    // after the answer to its COMMIT was lost; nothing when that cannot be
    // known.
    std::optional<bool> committed(const std::string& transaction, const std::string& mark);
    void prepareSession();
    // The row id of a table: its integer primary key, or two of them packed
    // into one number. Throws Exception when the table has no such key.
    std::string rowIdExpression(const std::string& table) const;
    // What a person reads when the connection failed or was given up.
    std::string failedConnectionMessage() const;
    // What a person needs to hear when the server refused write.
    std::string explainRefusal(const RowWrite& write, const Result& refusal);
    // The catalog's names, read once.
    struct Names;
    const Names& names() const;
    // How this engine's SQL writes what every engine writes alike
    // (PostgresWrite.cpp).
    class Dialect;

    mutable ServerConnection m_connection;
    std::map<std::string, bool> m_mayChange; // by table, asked since the session began
    // The statement that reads the stamp (and, until it is known, how the
    // server lowers letters); whether the register has one.
    std::string stampStatement() const;
    bool hasStamp() const;
    // The stamp of what the stamp statement answered, learning the folding
    // from it when it tells it.
    std::optional<ChangeStamp> stampOf(const Result& answer);
    std::uint64_t m_opening = 0;
    std::unique_ptr<unicode_like::Folding> m_folding;
    bool m_foldingAsked = false; // the server was asked how it lowers letters
    bool m_stampAnswers = false; // the last stamp read can tell that the rows held answer
    using Background = PostgresBackgroundRead;
    std::optional<Background> m_background;
    // Takes what has arrived of the background read into its store;
    // waiting for the rest when wait is set. Whether it ended.
    bool readBackground(bool wait);
    // The background read when it read sql with parameters, all of it now
    // read (waiting for the rest); taken from the engine.
    std::optional<Background> takeBackground(const std::string& sql, const std::vector<std::int64_t>& parameters);
    // Sends a statement that reads, to be answered in the background.
    std::uint64_t sendInBackground(const std::string& sql, const std::vector<std::int64_t>& parameters);
    // Takes the stamp the background read asked first (waiting for it when
    // wait is set), then sends its statement unless the stamp was the one
    // held. Whether the stamp was there.
    bool takeStamp(bool wait);
    // What every transaction of this desk's sets for itself, as the
    // arguments of a SELECT (set_config(..., true) calls).
    std::string transactionSettings() const;
    // Gives the connection what a statement on its own sets for itself.
    void applyStatementSettings();
    int m_statementTimeout = 0; // in milliseconds: the role's or database's own, or the default
    bool m_ownStatementTimeout = false; // the role or database set it
    bool m_readsOnly = false;   // the server only reads for this desk (a standby, a read-only role)
    QString m_uri;
    std::optional<std::string> m_password;
    PasswordQuestion m_ask;
    int m_lockTimeout = 5000;
    int m_depth = 0;
    mutable std::unique_ptr<Names> m_names;
};

namespace postgres_detail {

// The server's types of whole numbers: int2, int4, int8.
inline bool integerType(Oid type)
{
    return type == 21 || type == 23 || type == 20;
}

inline std::string lower(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return folded;
}

inline std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// What a person reads when the connection to the server named so went.
std::string lostConnectionMessage(const QString& shown, const std::string& reason);

} // namespace postgres_detail

using namespace postgres_detail;

// The names of the schema as the server keeps them, read once: every table
// and view on the search path with its columns, keys and rules.
struct PostgresEngine::Names {
    struct Column {
        std::string name;
        Oid type = 0;
        bool numbered = false; // identity or serial
        int keyPosition = 0;   // place in the primary key, 1-based; 0 when not in it
    };
    struct Table {
        Oid oid = 0;
        std::string name;
        std::map<int, Column> columns; // by attribute number
        std::map<std::string, std::vector<std::string>> references; // foreign key name: its columns
        std::map<std::string, std::string> rules;                   // check name: its text
    };
    std::map<std::string, Table> byName; // by folded name
    std::map<Oid, const Table*> byOid;

    const Table* find(const std::string& name) const
    {
        const auto found = byName.find(lower(name));
        return found == byName.end() ? nullptr : &found->second;
    }
    const Column* column(const Table& table, const std::string& name) const
    {
        for (const auto& [number, column] : table.columns)
            if (sameName(column.name, name))
                return &column;
        return nullptr;
    }
};

} // namespace db
