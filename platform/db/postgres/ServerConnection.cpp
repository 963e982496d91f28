#include "ServerConnection.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <utility>

namespace db {

ServerResult& ServerResult::operator=(ServerResult&& other) noexcept
{
    std::swap(m_result, other.m_result);
    return *this;
}

ServerResult::~ServerResult()
{
    PQclear(m_result);
}

bool ServerResult::failed() const
{
    const ExecStatusType status = PQresultStatus(m_result);
    return status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN;
}

std::string ServerResult::state() const
{
    const char* code = PQresultErrorField(m_result, PG_DIAG_SQLSTATE);
    return code ? code : "";
}

std::string ServerResult::field(int code) const
{
    const char* text = PQresultErrorField(m_result, code);
    return text ? text : "";
}

std::string ServerResult::message() const
{
    std::string text = m_result ? PQresultErrorMessage(m_result) : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

int ServerResult::rows() const
{
    return PQntuples(m_result);
}

int ServerResult::columns() const
{
    return PQnfields(m_result);
}

const char* ServerResult::value(int row, int column) const
{
    return PQgetvalue(m_result, row, column);
}

bool ServerResult::null(int row, int column) const
{
    return PQgetisnull(m_result, row, column) != 0;
}

ServerConnection::ServerConnection(const std::string& uri, const Settings& defaults, const Settings& overrides)
{
    // Later keywords win over earlier ones, the URI's own among them.
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& [keyword, value] : defaults) {
        keywords.push_back(keyword);
        values.push_back(value);
    }
    keywords.push_back("dbname");
    values.push_back(uri.c_str());
    for (const auto& [keyword, value] : overrides) {
        keywords.push_back(keyword);
        values.push_back(value);
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    m_connection = PQconnectdbParams(keywords.data(), values.data(), 1);
}

ServerConnection& ServerConnection::operator=(ServerConnection&& other) noexcept
{
    std::swap(m_connection, other.m_connection);
    std::swap(m_answerLimit, other.m_answerLimit);
    std::swap(m_gaveUp, other.m_gaveUp);
    return *this;
}

ServerConnection::~ServerConnection()
{
    PQfinish(m_connection);
}

bool ServerConnection::connected() const
{
    return PQstatus(m_connection) == CONNECTION_OK;
}

std::string ServerConnection::reason() const
{
    std::string text = m_connection ? PQerrorMessage(m_connection) : m_gaveUp ? "no answer" : "out of memory";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

ServerResult ServerConnection::exec(const std::string& sql, const std::vector<const char*>& parameters)
{
    if (parameters.empty())
        return answer(PQsendQuery(m_connection, sql.c_str()) == 1);
    return execOne(sql, parameters, {});
}

ServerResult ServerConnection::execOne(const std::string& sql, const std::vector<const char*>& parameters,
                                       const std::vector<Oid>& types)
{
    return answer(PQsendQueryParams(m_connection, sql.c_str(), int(parameters.size()),
                                    types.empty() ? nullptr : types.data(), parameters.data(), nullptr, nullptr, 0)
                  == 1);
}

ServerResult ServerConnection::prepare(const std::string& sql, const std::vector<Oid>& types)
{
    return answer(PQsendPrepare(m_connection, "", sql.c_str(), int(types.size()), types.data()) == 1);
}

ServerResult ServerConnection::describePrepared()
{
    return answer(PQsendDescribePrepared(m_connection, "") == 1);
}

ServerResult ServerConnection::answer(bool sent)
{
    if (!sent)
        return ServerResult();
    // As PQexec does, but never waiting longer than the limit: the socket
    // is watched while the server works, and what it sent is read.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_answerLimit);
    ServerResult last;
    for (;;) {
        if (PQconsumeInput(m_connection) == 0 && PQstatus(m_connection) == CONNECTION_BAD)
            return last.get() ? std::move(last) : ServerResult();
        while (PQisBusy(m_connection) == 0) {
            PGresult* next = PQgetResult(m_connection);
            if (!next)
                return last;
            last = ServerResult(next);
            const ExecStatusType status = PQresultStatus(next);
            if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH
                || PQstatus(m_connection) == CONNECTION_BAD)
                return last;
        }
        int wait = -1;
        if (m_answerLimit > 0)
            wait = int(std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
        pollfd socket{PQsocket(m_connection), POLLIN, 0};
        const int ready = poll(&socket, 1, wait);
        if (ready == 0) {
            // Nothing came for the whole limit: a server that stopped, or a
            // network that lost it. The connection is given up.
            PQfinish(m_connection);
            m_connection = nullptr;
            m_gaveUp = true;
            return ServerResult();
        }
        if (ready < 0 && errno != EINTR)
            return ServerResult();
    }
}

} // namespace db
