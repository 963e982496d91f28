#include "ServerConnection.h"

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
    std::string text = m_connection ? PQerrorMessage(m_connection) : "out of memory";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

ServerResult ServerConnection::exec(const std::string& sql, const std::vector<const char*>& parameters) const
{
    return ServerResult(parameters.empty() ? PQexec(m_connection, sql.c_str())
                                           : PQexecParams(m_connection, sql.c_str(), int(parameters.size()), nullptr,
                                                          parameters.data(), nullptr, nullptr, 0));
}

} // namespace db
