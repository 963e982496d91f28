#pragma once
// One libpq connection and the results it gives, each freed when it goes
// out of scope: the server engine's, and the one the tools, tests and
// benchmarks use for bare statements on a register on a server (libpq's own
// calls come with it). Words nothing for a person; the caller says what a
// failure means.

#include <libpq-fe.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace db {

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
    // Whether the server refused the statement (or no result came).
    bool failed() const;
    // The SQLSTATE of a failure ("" for none), one of its fields, and the
    // whole of it as libpq words it.
    std::string state() const;
    std::string field(int code) const;
    std::string message() const;
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
    explicit ServerConnection(const std::string& uri, const Settings& defaults = {}, const Settings& overrides = {});
    ServerConnection(ServerConnection&& other) noexcept { *this = std::move(other); }
    ServerConnection& operator=(ServerConnection&& other) noexcept;
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;
    ~ServerConnection();

    PGconn* get() const { return m_connection; }
    bool connected() const;
    // libpq's last message for the connection, without its line break.
    std::string reason() const;

    // How long, in milliseconds, an answer is waited for (0, the default:
    // as long as it takes). A server that sends nothing for that long is
    // given up: the connection is closed, the call returns a null result
    // and gaveUp() tells why.
    void setAnswerLimit(int milliseconds) { m_answerLimit = milliseconds; }
    bool gaveUp() const { return m_gaveUp; }

    // Runs sql (statements separated by semicolons when without parameters)
    // with text parameters (null for NULL), and returns what the server
    // answered, the last result of several; a null result only when the
    // connection failed or was given up.
    ServerResult exec(const std::string& sql, const std::vector<const char*>& parameters = {});
    // Runs sql as one statement, whatever it holds, with parameters of the
    // types given.
    ServerResult execOne(const std::string& sql, const std::vector<const char*>& parameters,
                         const std::vector<Oid>& types);
    // Prepares sql as the unnamed statement, and describes it.
    ServerResult prepare(const std::string& sql, const std::vector<Oid>& types);
    ServerResult describePrepared();

    // A statement run in the background: sent without waiting for its
    // answer, which arrives while the program goes on (the socket, get(),
    // becomes readable). One at a time: sending another first asks the
    // server to stop the one under way (its answer is then read and thrown
    // away, and the newest goes as soon as the connection is free). Any
    // other call on the connection first gives it up the same way, waiting;
    // an answer already whole is kept for take() instead.
    // Sends sql as execOne does; returns its number (0: sending failed).
    std::uint64_t sendInBackground(const std::string& sql, const std::vector<std::string>& parameters,
                                   const std::vector<Oid>& types);
    enum class Arrival { Waiting, Whole, Gone };
    // Reads what the server sent: whether the whole answer to number is
    // there, or number was given up.
    Arrival arrival(std::uint64_t number);
    // The answer to number, waiting within the answer limit for what has
    // not arrived; a null result when number was given up or the
    // connection failed.
    ServerResult take(std::uint64_t number);
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
    // Waits for the answer to what was just sent (sent: whether sending
    // worked), within the answer limit.
    ServerResult answer(bool sent);
    // Reads what arrived; true once the answer under way is whole.
    bool pull();
    // Waits on the socket for more of the answer within the limit; false
    // when the server was given up (or the wait failed).
    bool waitForMore(std::chrono::steady_clock::time_point deadline);
    // Gives up the statement under way and the one queued, if any:
    // cancelled, its answer read and thrown away.
    void settle();
    void cancel();
    void close();

    PGconn* m_connection = nullptr;
    std::thread m_canceller;       // asks the server to stop a statement, off the caller's thread
    std::chrono::steady_clock::time_point m_deadline; // for the answer under way
    int m_answerLimit = 0;
    bool m_gaveUp = false;
    std::uint64_t m_numbered = 0;  // numbers given so far
    std::uint64_t m_underWay = 0;  // the statement sent whose answer is not all taken (0: none)
    bool m_cancelled = false;      // it was asked to stop: its answer is thrown away
    bool m_whole = false;          // its answer has all arrived
    ServerResult m_arrived;        // the last result of it
    std::uint64_t m_kept = 0;      // a background statement whose whole answer waits to be taken
    ServerResult m_keptAnswer;
    std::optional<Queued> m_queued; // the newest statement, waiting for the connection
};

} // namespace db
