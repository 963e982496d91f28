#pragma once
// One libpq connection and the results it gives, each freed when it goes
// out of scope: the server engine's, and the one the tools, tests and
// benchmarks use for bare statements on a register on a server (libpq's own
// calls come with it). Words nothing for a person; the caller says what a
// failure means.

#include <libpq-fe.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace db {

// Whether a libpq host (a name, an address or a socket's folder; empty:
// libpq's default socket) is this computer.
bool isThisComputer(const char* host);

// A result of the server's.
class ServerResult {
public:
    explicit ServerResult(PGresult* result = nullptr) : m_result(result) {}
    ServerResult(ServerResult&& other) noexcept : m_result(other.m_result) { other.m_result = nullptr; }
    ServerResult& operator=(ServerResult&& other) noexcept;
    ServerResult(const ServerResult&) = delete;
    ServerResult& operator=(const ServerResult&) = delete;
    ~ServerResult();

    PGresult* get() const { return m_result; }
    // Hands the result over to the caller, who frees it.
    PGresult* release() { return std::exchange(m_result, nullptr); }
    // Whether the server refused the statement (or no result came).
    bool failed() const;
    // The SQLSTATE of a failure ("" for none), and one of its fields.
    std::string state() const;
    std::string field(int code) const;
    int rows() const;
    int columns() const;
    const char* value(int row, int column) const;
    bool null(int row, int column) const;

private:
    PGresult* m_result;
};

class ServerConnection {
public:
    ServerConnection() = default;
    using Settings = std::vector<std::pair<const char*, const char*>>;
    // Connects to uri, a libpq URI or key=value string; defaults apply where
    // uri says nothing, overrides whatever it says (a null value: neither).
    // connected() tells whether it worked, reason() why not.
    //
    // A server on another computer is asked for TLS unless uri or libpq's
    // environment (PGSSLMODE) says how: verify-full when a root certificate
    // is there as libpq looks for it (sslrootcert, PGSSLROOTCERT,
    // ~/.postgresql/root.crt), so that nothing is sent before the server is
    // known to be the one named; require otherwise.
    explicit ServerConnection(const std::string& uri, const Settings& defaults = {}, const Settings& overrides = {});
    ServerConnection(ServerConnection&& other) noexcept { *this = std::move(other); }
    ServerConnection& operator=(ServerConnection&& other) noexcept;
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;
    ~ServerConnection();

    PGconn* get() const { return m_connection; }
    bool connected() const;
    // libpq's last message for the connection, without its line break and
    // without any password the URI or the overrides carry.
    std::string reason() const;

    // How long, in milliseconds, an answer is waited for (0, the default:
    // as long as it takes). A server that sends nothing for that long is
    // given up: the connection is closed, the call returns a null result
    // and gaveUp() tells why.
    void setAnswerLimit(int milliseconds) { m_answerLimit = milliseconds; }
    bool gaveUp() const { return m_gaveUp; }

    // Settings a statement sent on its own (no transaction open, and not
    // one that begins a transaction) takes along, for itself only: a SELECT
    // of set_config(..., true) calls, run just before it in the same
    // transaction (one text with it, or with parameters in one pipeline),
    // its answer read and thrown away here. Nothing of them stays with the
    // server's session, so that a pooler that hands that session to other
    // clients between transactions passes none of them on, and a statement
    // never runs without them on whichever session takes it. A transaction
    // carries its own. "" (the default): none.
    void setStatementSettings(std::string select) { m_settings = std::move(select); }

    // Runs sql (statements separated by semicolons when without parameters)
    // with text parameters (null for NULL), and returns what the server
    // answered, the last result of several; a null result only when the
    // connection failed or was given up.
    ServerResult exec(const std::string& sql, const std::vector<const char*>& parameters = {});
    // The rows of a COPY FROM STDIN that exec began (its answer
    // PGRES_COPY_IN), in COPY's text format; each wait to hand them over
    // lasts at most the answer limit. false when the connection went or was
    // given up.
    bool copyData(std::string_view rows);
    // Ends that COPY (given a reason, gives it up: nothing of it stays) and
    // returns the server's answer, as exec does.
    ServerResult copyEnd(const char* reason = nullptr);
    // Prepares sql as the unnamed statement, and describes it.
    ServerResult prepare(const std::string& sql, const std::vector<Oid>& types);
    ServerResult describePrepared();

    // A statement whose rows are read one at a time (libpq's single-row
    // mode), so that they are never all held here at once: next() gives
    // each row as a result of its own, then a last result (no row, or the
    // failure), then null. One under way at a time. In the background
    // (inBackground) it runs while the program goes on: the socket, get(),
    // becomes readable as its answer comes, and sending another first asks
    // the server to stop the one under way (whose answer is then read and
    // thrown away, the newest going as soon as the connection is free).
    // Otherwise, and for any other call on the connection, what runs in the
    // background is settled first: when its answer has begun, the rest is
    // read ahead and kept for next(); else it is stopped and thrown away.
    // Returns the statement's number (0: sending failed).
    std::uint64_t sendRows(const std::string& sql, const std::vector<std::string>& parameters,
                           const std::vector<Oid>& types, bool inBackground);
    enum class Arrival { Waiting, Whole, Gone };
    // Reads what the server sent: whether a result of number is there to be
    // taken by next() (Whole), or number was given up.
    Arrival arrival(std::uint64_t number);
    // The next result of number, waiting within the answer limit; null at
    // the end, or when number was given up or the connection failed.
    ServerResult next(std::uint64_t number);
    // Asks the server to stop number, without waiting: its answer is
    // thrown away when the connection is next used.
    void stop(std::uint64_t number);

private:
    struct Queued {
        std::uint64_t number;
        std::string sql;
        std::vector<std::string> parameters;
        std::vector<Oid> types;
    };
    bool send(const Queued& statement);
    // Sends sql (as one text when it has no parameters and is not read row
    // by row), the statement settings first when it goes on its own.
    bool sendStatement(const std::string& sql, const std::vector<const char*>& values, const Oid* types,
                       bool rowByRow);
    bool goesOnItsOwn(const std::string& sql) const;
    // libpq's PQisBusy and PQgetResult, past the settings' answer and the
    // end of a pipeline: busy() is false once take() has a result of the
    // statement, or its end (null), to give without waiting.
    bool busy();
    PGresult* take();
    // Forgets where an answer with its settings stood (none is under way).
    void leavePipeline();
    // Waits for the whole answer to what was just sent (sent: whether
    // sending worked), within the answer limit: its last result.
    ServerResult answer(bool sent);
    // Reads what arrived; true once the answer under way is all there (its
    // last result in m_arrived).
    bool pull();
    // Reads what arrived; true once one more result of the statement under
    // way is in m_arrived, or its end was reached.
    bool pullOne();
    // Waits on the socket for more of the answer (writing: or for room to
    // send more) within the limit; false when the server was given up (or
    // the wait failed).
    bool waitForMore(std::chrono::steady_clock::time_point deadline, bool writing = false);
    // Reads to the end of the answer under way, within the limit.
    void finish();
    // Settles what runs in the background before another call.
    void settle();
    void cancel();
    void close();

    PGconn* m_connection = nullptr;
    std::vector<std::string> m_passwords; // for reason() to leave out
    std::thread m_canceller;       // asks the server to stop a statement, off the caller's thread
    std::chrono::steady_clock::time_point m_deadline; // for the answer under way
    int m_answerLimit = 0;
    bool m_gaveUp = false;
    std::uint64_t m_numbered = 0;  // numbers given so far
    std::uint64_t m_underWay = 0;  // the statement sent whose answer is not all read (0: none)
    bool m_rowByRow = false;       // it is read a row at a time
    bool m_cancelled = false;      // it was asked to stop: its answer is thrown away
    bool m_whole = false;          // its answer has all been read
    ServerResult m_arrived;        // its result read and not yet taken (the last one, when not row by row)
    std::optional<Queued> m_queued; // the newest statement, waiting for the connection
    std::uint64_t m_kept = 0;      // a statement whose rows were read ahead by another call
    std::deque<ServerResult> m_keptResults;
    std::string m_settings;        // as setStatementSettings
    // Where the answer under way stands when its settings went with it in a
    // pipeline: their answer, the statement's, the pipeline's end.
    enum class Phase { Plain, Settings, Statement, End };
    Phase m_phase = Phase::Plain;
    bool m_ready = false;          // take() has m_ahead to give
    ServerResult m_ahead;
    ServerResult m_settingsFailure; // what the server said to the settings, if it refused them
};

} // namespace db
