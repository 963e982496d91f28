#pragma once
// One libpq connection and the results it gives, each freed when it goes
// out of scope: the server engine's, and the one the tools, tests and
// benchmarks use for bare statements on a register on a server (libpq's own
// calls come with it). Words nothing for a person; the caller says what a
// failure means.

#include <libpq-fe.h>

#include <string>
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
    ServerConnection(ServerConnection&& other) noexcept
        : m_connection(other.m_connection), m_answerLimit(other.m_answerLimit), m_gaveUp(other.m_gaveUp)
    {
        other.m_connection = nullptr;
    }
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

private:
    // Waits for the answer to what was just sent (sent: whether sending
    // worked), within the answer limit.
    ServerResult answer(bool sent);

    PGconn* m_connection = nullptr;
    int m_answerLimit = 0;
    bool m_gaveUp = false;
};

} // namespace db
