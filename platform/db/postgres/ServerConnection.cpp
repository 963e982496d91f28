#include "ServerConnection.h"

#include "RegisterName.h"

#include <QScopeGuard>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>

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
    return status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_SINGLE_TUPLE
        && status != PGRES_COPY_IN;
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

bool isThisComputer(const char* host)
{
    const std::string name = host ? host : "";
    return name.empty() || name.front() == '/' || name.front() == '@' || name == "localhost" || name == "::1"
        || name.rfind("127.", 0) == 0;
}

namespace {

// The TLS mode a connection to uri asks for when neither uri nor libpq's
// environment names one: none for this computer.
const char* defaultSslMode(const std::string& uri)
{
    if (std::getenv("PGSSLMODE"))
        return nullptr;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &error);
    PQfreemem(error);
    if (!options)
        return nullptr; // connecting says what is wrong with it
    std::string sslmode, hosts, rootCertificate;
    for (PQconninfoOption* option = options; option->keyword; ++option) {
        const std::string keyword = option->keyword;
        const std::string value = option->val ? option->val : "";
        if (keyword == "sslmode")
            sslmode = value;
        else if (keyword == "host" || (keyword == "hostaddr" && hosts.empty()))
            hosts = value;
        else if (keyword == "sslrootcert")
            rootCertificate = value;
    }
    PQconninfoFree(options);
    if (!sslmode.empty())
        return nullptr;
    if (hosts.empty() && std::getenv("PGHOST"))
        hosts = std::getenv("PGHOST");
    bool elsewhere = false;
    for (std::size_t from = 0; from <= hosts.size();) {
        const std::size_t comma = std::min(hosts.find(',', from), hosts.size());
        elsewhere = elsewhere || !isThisComputer(hosts.substr(from, comma - from).c_str());
        from = comma + 1;
    }
    if (!elsewhere)
        return nullptr;
    if (rootCertificate.empty() && std::getenv("PGSSLROOTCERT"))
        rootCertificate = std::getenv("PGSSLROOTCERT");
    if (rootCertificate.empty() && std::getenv("HOME"))
        rootCertificate = std::string(std::getenv("HOME")) + "/.postgresql/root.crt";
    return ::access(rootCertificate.c_str(), R_OK) == 0 ? "verify-full" : "require";
}

} // namespace

ServerConnection::ServerConnection(const std::string& uri, const Settings& defaults, const Settings& overrides)
    : m_passwords(passwordsIn(uri))
{
    // Later keywords win over earlier ones, the URI's own among them.
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    if (const char* sslmode = defaultSslMode(uri)) {
        keywords.push_back("sslmode");
        values.push_back(sslmode);
    }
    for (const auto& [keyword, value] : overrides)
        if (value && std::string_view(keyword) == "password")
            m_passwords.push_back(value);
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
    std::swap(m_canceller, other.m_canceller);
    std::swap(m_deadline, other.m_deadline);
    std::swap(m_answerLimit, other.m_answerLimit);
    std::swap(m_gaveUp, other.m_gaveUp);
    std::swap(m_numbered, other.m_numbered);
    std::swap(m_underWay, other.m_underWay);
    std::swap(m_rowByRow, other.m_rowByRow);
    std::swap(m_cancelled, other.m_cancelled);
    std::swap(m_whole, other.m_whole);
    std::swap(m_arrived, other.m_arrived);
    std::swap(m_queued, other.m_queued);
    std::swap(m_kept, other.m_kept);
    std::swap(m_keptResults, other.m_keptResults);
    std::swap(m_passwords, other.m_passwords);
    std::swap(m_settings, other.m_settings);
    std::swap(m_phase, other.m_phase);
    std::swap(m_ready, other.m_ready);
    std::swap(m_ahead, other.m_ahead);
    std::swap(m_settingsFailure, other.m_settingsFailure);
    return *this;
}

ServerConnection::~ServerConnection()
{
    close();
}

void ServerConnection::close()
{
    // A request to stop a statement that a stopped server never answers
    // must not hold the program: it is left to end by itself.
    if (m_canceller.joinable())
        m_canceller.detach();
    PQfinish(m_connection);
    m_connection = nullptr;
    m_underWay = 0;
    m_queued.reset();
    leavePipeline();
}

void ServerConnection::leavePipeline()
{
    m_phase = Phase::Plain;
    m_ready = false;
    m_ahead = ServerResult();
    m_settingsFailure = ServerResult();
}

bool ServerConnection::connected() const
{
    return PQstatus(m_connection) == CONNECTION_OK;
}

std::string ServerConnection::reason() const
{
    const std::string said = withoutPasswords(
        m_connection ? PQerrorMessage(m_connection) : m_gaveUp ? "no answer" : "out of memory", m_passwords);
    // libpq's lines as one: each line after the first comes indented with a tab.
    std::string text;
    for (char c : said) {
        const bool blank = c == '\n' || c == '\t' || c == ' ';
        if (!blank || (!text.empty() && text.back() != ' '))
            text += blank ? ' ' : c;
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

ServerResult ServerConnection::exec(const std::string& sql, const std::vector<const char*>& parameters)
{
    settle();
    return answer(sendStatement(sql, parameters, nullptr, false));
}

bool ServerConnection::copyData(std::string_view rows)
{
    if (!m_connection)
        return false;
    // Handed over without blocking, so that a server that stops reading
    // holds the program only as long as any other answer.
    PQsetnonblocking(m_connection, 1);
    const auto blocking = qScopeGuard([this] {
        if (m_connection)
            PQsetnonblocking(m_connection, 0);
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_answerLimit);
    // Room to send more, and what the server says meanwhile read.
    const auto waitToWrite = [&] {
        if (!waitForMore(deadline, true))
            return false;
        if (PQconsumeInput(m_connection) == 0) {
            close();
            return false;
        }
        return true;
    };
    for (;;) {
        const int put = PQputCopyData(m_connection, rows.data(), int(rows.size()));
        if (put == 1)
            break;
        if (put < 0 || !waitToWrite())
            return false;
    }
    for (int flushed; (flushed = PQflush(m_connection)) != 0;)
        if (flushed < 0 || !waitToWrite())
            return false;
    return true;
}

ServerResult ServerConnection::copyEnd(const char* reason)
{
    if (!m_connection || PQputCopyEnd(m_connection, reason) != 1)
        return ServerResult();
    return answer(true);
}

bool ServerConnection::goesOnItsOwn(const std::string& sql) const
{
    if (m_settings.empty() || PQtransactionStatus(m_connection) != PQTRANS_IDLE)
        return false;
    std::string word;
    for (std::size_t i = sql.find_first_not_of(" \t\r\n"); i < sql.size() && std::isalpha((unsigned char)sql[i]); ++i)
        word += char(std::toupper((unsigned char)sql[i]));
    return word != "BEGIN" && word != "START";
}

bool ServerConnection::sendStatement(const std::string& sql, const std::vector<const char*>& values, const Oid* types,
                                     bool rowByRow)
{
    leavePipeline();
    const bool alone = goesOnItsOwn(sql);
    if (values.empty() && !rowByRow) {
        // One text: the settings' answer comes first, and the last answer
        // is the statement's.
        return PQsendQuery(m_connection, (alone ? m_settings + "; " + sql : sql).c_str()) == 1;
    }
    const auto sendIt = [&] {
        return PQsendQueryParams(m_connection, sql.c_str(), int(values.size()), types, values.data(), nullptr, nullptr,
                                 0)
            == 1;
    };
    if (!alone)
        return sendIt() && (!rowByRow || PQsetSingleRowMode(m_connection) == 1);
    // In one pipeline, up to one Sync: one transaction, on one session.
    if (PQenterPipelineMode(m_connection) != 1)
        return false;
    if (PQsendQueryParams(m_connection, m_settings.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 1 || !sendIt()
        || PQpipelineSync(m_connection) != 1) {
        PQexitPipelineMode(m_connection);
        return false;
    }
    m_phase = Phase::Settings;
    return true;
}

bool ServerConnection::busy()
{
    while (!m_ready) {
        if (PQisBusy(m_connection) != 0)
            return true;
        PGresult* result = PQgetResult(m_connection);
        const bool lost = PQstatus(m_connection) == CONNECTION_BAD;
        switch (m_phase) {
        case Phase::Plain:
            m_ahead = ServerResult(result);
            m_ready = true;
            break;
        case Phase::Settings:
            if (result && PQresultStatus(result) != PGRES_TUPLES_OK && !m_settingsFailure.get()) {
                m_settingsFailure = ServerResult(result);
            } else {
                PQclear(result);
            }
            if (!result && !lost) {
                m_phase = Phase::Statement;
                if (m_rowByRow)
                    PQsetSingleRowMode(m_connection);
            } else if (lost) {
                m_phase = Phase::End;
            }
            break;
        case Phase::Statement:
            if (result) {
                // Not run, since the settings were refused: their refusal tells why.
                if (PQresultStatus(result) == PGRES_PIPELINE_ABORTED && m_settingsFailure.get()) {
                    PQclear(result);
                    m_ahead = std::move(m_settingsFailure);
                } else {
                    m_ahead = ServerResult(result);
                }
                m_ready = true;
            } else {
                m_phase = Phase::End;
            }
            break;
        case Phase::End:
            // Past the statement's answer to the pipeline's end, and out of
            // it: the connection is free.
            if (result && PQresultStatus(result) != PGRES_PIPELINE_SYNC && !lost) {
                PQclear(result);
                break;
            }
            PQclear(result);
            PQexitPipelineMode(m_connection);
            m_phase = Phase::Plain;
            m_ahead = ServerResult();
            m_ready = true;
            break;
        }
    }
    return false;
}

PGresult* ServerConnection::take()
{
    m_ready = false;
    return m_ahead.release();
}

ServerResult ServerConnection::prepare(const std::string& sql, const std::vector<Oid>& types)
{
    settle();
    return answer(PQsendPrepare(m_connection, "", sql.c_str(), int(types.size()), types.data()) == 1);
}

ServerResult ServerConnection::describePrepared()
{
    settle();
    return answer(PQsendDescribePrepared(m_connection, "") == 1);
}

ServerResult ServerConnection::answer(bool sent)
{
    if (!sent)
        return ServerResult();
    m_underWay = ++m_numbered;
    m_rowByRow = false;
    m_cancelled = false;
    m_whole = false;
    m_arrived = ServerResult();
    m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_answerLimit);
    while (!pull())
        if (!waitForMore(m_deadline))
            return ServerResult();
    m_underWay = 0;
    return std::move(m_arrived);
}

bool ServerConnection::send(const Queued& statement)
{
    std::vector<const char*> values;
    for (const std::string& value : statement.parameters)
        values.push_back(value.c_str());
    m_rowByRow = true;
    if (!sendStatement(statement.sql, values, statement.types.empty() ? nullptr : statement.types.data(), true)) {
        m_underWay = 0;
        return false;
    }
    m_underWay = statement.number;
    m_cancelled = false;
    m_whole = false;
    m_arrived = ServerResult();
    m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_answerLimit);
    return true;
}

std::uint64_t ServerConnection::sendRows(const std::string& sql, const std::vector<std::string>& parameters,
                                         const std::vector<Oid>& types, bool inBackground)
{
    Queued statement{++m_numbered, sql, parameters, types};
    m_queued.reset();
    m_kept = 0;
    m_keptResults.clear();
    if (!inBackground) {
        settle();
    } else if (m_underWay && !pull()) {
        // The newest goes when the connection is free; the one under way
        // is asked to stop.
        cancel();
        m_queued = std::move(statement);
        return m_queued->number;
    } else if (m_underWay) {
        // Its answer is all there: thrown away, and the connection is free
        // once the request to stop it, if any, has been dealt with.
        m_underWay = 0;
        m_arrived = ServerResult();
        if (m_canceller.joinable())
            m_canceller.join();
    }
    return send(statement) ? statement.number : 0;
}

ServerConnection::Arrival ServerConnection::arrival(std::uint64_t number)
{
    if (number != 0 && number == m_kept)
        return Arrival::Whole;
    for (;;) {
        const bool queued = m_queued && m_queued->number == number;
        if (number == 0 || (m_underWay != number && !queued))
            return Arrival::Gone;
        if (m_underWay == 0) {
            // The statement before it is over: the newest goes now, once
            // the request to stop the old one has surely been dealt with.
            if (m_canceller.joinable())
                m_canceller.join();
            const Queued next = std::move(*m_queued);
            m_queued.reset();
            if (!send(next))
                return Arrival::Whole; // next() says how it failed
        }
        if (m_underWay == number)
            return pullOne() ? Arrival::Whole : Arrival::Waiting;
        if (!pull())
            return Arrival::Waiting;
        m_underWay = 0; // the old one, stopped: thrown away
        m_arrived = ServerResult();
    }
}

ServerResult ServerConnection::next(std::uint64_t number)
{
    if (number != 0 && number == m_kept) {
        if (m_keptResults.empty()) {
            m_kept = 0;
            return ServerResult();
        }
        ServerResult result = std::move(m_keptResults.front());
        m_keptResults.pop_front();
        return result;
    }
    for (;;) {
        const Arrival arrived = arrival(number);
        if (arrived == Arrival::Gone)
            return ServerResult();
        if (arrived == Arrival::Whole) {
            if (m_underWay != number)
                return ServerResult(); // it could not be sent
            ServerResult result = std::move(m_arrived);
            if (!result.get()) {
                m_underWay = 0; // the end
            } else if (PQresultStatus(result.get()) != PGRES_SINGLE_TUPLE) {
                finish(); // its last result: the connection is free once the answer is read to its end
            }
            return result;
        }
        if (!waitForMore(m_deadline))
            return ServerResult();
    }
}

bool ServerConnection::pull()
{
    if (m_whole)
        return true;
    if (PQconsumeInput(m_connection) == 0 && PQstatus(m_connection) == CONNECTION_BAD)
        return m_whole = true;
    while (!busy()) {
        PGresult* next = take();
        if (!next)
            return m_whole = true;
        m_arrived = ServerResult(next);
        const ExecStatusType status = PQresultStatus(next);
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH
            || PQstatus(m_connection) == CONNECTION_BAD)
            return m_whole = true;
    }
    return false;
}

bool ServerConnection::pullOne()
{
    if (m_arrived.get() || m_whole)
        return true;
    // Reading the socket only when what libpq holds is not a whole result:
    // libpq moves what it holds at every read, and a row at a time that
    // would be every row again.
    if (busy()) {
        if (PQconsumeInput(m_connection) == 0 && PQstatus(m_connection) == CONNECTION_BAD)
            return m_whole = true;
        if (busy())
            return false;
    }
    PGresult* next = take();
    if (!next)
        m_whole = true;
    m_arrived = ServerResult(next);
    return true;
}

void ServerConnection::finish()
{
    m_arrived = ServerResult();
    while (!pull())
        if (!waitForMore(m_deadline))
            return;
    m_underWay = 0;
    m_arrived = ServerResult();
}

bool ServerConnection::waitForMore(std::chrono::steady_clock::time_point deadline, bool writing)
{
    using namespace std::chrono;
    const int wait = m_answerLimit > 0
                       ? int(std::max<long long>(0, duration_cast<milliseconds>(deadline - steady_clock::now()).count()))
                       : -1;
    pollfd socket{PQsocket(m_connection), short(writing ? POLLIN | POLLOUT : POLLIN), 0};
    const int ready = poll(&socket, 1, wait);
    if (ready == 0) {
        // Nothing came for the whole limit: a server that stopped, or a
        // network that lost it. The connection is given up.
        close();
        m_gaveUp = true;
        return false;
    }
    if (ready < 0 && errno != EINTR) {
        close();
        return false;
    }
    return true;
}

void ServerConnection::stop(std::uint64_t number)
{
    if (number != 0 && number == m_kept) {
        m_kept = 0;
        m_keptResults.clear();
    } else if (m_queued && m_queued->number == number) {
        m_queued.reset();
    } else if (number != 0 && number == m_underWay && !pull()) {
        cancel();
    }
}

void ServerConnection::cancel()
{
    if (m_cancelled || !m_connection)
        return;
    m_cancelled = true;
    PGcancel* request = PQgetCancel(m_connection);
    if (!request)
        return;
    if (m_canceller.joinable())
        m_canceller.detach();
    m_canceller = std::thread([request] {
        char error[256];
        PQcancel(request, error, sizeof error);
        PQfreeCancel(request);
    });
}

void ServerConnection::settle()
{
    m_queued.reset();
    if (m_underWay && m_rowByRow && !m_cancelled && pullOne()) {
        // Rows already coming are not asked for again: the rest of the
        // answer is read ahead and kept for next(). (One whose answer has
        // not begun is stopped, below.)
        const std::uint64_t number = m_underWay;
        std::deque<ServerResult> rest;
        for (;;) {
            if (!pullOne()) {
                if (!waitForMore(m_deadline))
                    break;
                continue;
            }
            if (!m_arrived.get())
                break;
            rest.push_back(std::move(m_arrived));
        }
        m_underWay = 0;
        m_kept = number;
        m_keptResults = std::move(rest);
    }
    if (m_underWay) {
        if (!pull()) {
            cancel();
            m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_answerLimit);
            while (!pull())
                if (!waitForMore(m_deadline))
                    break;
        }
        m_underWay = 0;
        m_arrived = ServerResult();
    }
    if (m_canceller.joinable())
        m_canceller.join();
}

} // namespace db
