#include "ListReader.h"

#include "ADOConnection.h"
#include "Exception.h"
#include "Field.h"
#include "RowStore.h"
#include "SearchStatement.h"
#include "UnicodeLike.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

ListReader::ListReader(const QList<TField*>& fields, const db::ReadPlan& plan)
    : m_fields(fields), m_plan(plan), m_store(std::make_unique<RowStore>())
{
}

ListReader::~ListReader() = default;

void ListReader::setConnection(TADOConnection* connection)
{
    m_searches.forget(); // rows of another register answer nothing here
    m_store->clear();
    m_connection = connection;
}

db::Engine& ListReader::engine() const
{
    return m_connection->engine();
}

// ---------------------------------------------------------------- reading

void ListReader::read(const std::string& sql, const std::vector<std::int64_t>& parameters, bool readRows,
                      bool byRowId, const std::function<void(db::ReadStatement&)>& bind)
{
    // The stamp before any row is read: a change committed meanwhile makes
    // the next search read again.
    m_readStamp = readRows ? engine().changeStamp() : std::nullopt;
    std::optional<SearchStatement> search;
    if (readRows && parameters.empty() && !byRowId)
        search = SearchStatement::parse(sql);
    const auto conditions = search && m_readStamp ? memoryConditions(*search) : std::nullopt;
    const std::string walk = conditions ? engine().commonWalk() : std::string();
    if (!walk.empty() && answerFromHeld(search->base, *conditions, walk))
        return;
    const bool readsBase = !walk.empty() && search->base != sql;
    std::unique_ptr<db::ReadStatement> statement =
        engine().prepareRead(readsBase ? search->base : sql, parameters, readRows);
    bind(*statement);
    m_resultRows.reset();
    m_rowsRead = readRows;
    if (search && searchInMemory(*search, *statement, readsBase))
        return;
    if (readsBase) // the search after all, as its base could not find it
        statement = engine().prepareRead(sql, parameters, readRows);
    m_searches.forget();
    m_store->reset(m_plan.kinds);
    m_rowids.clear();
    if (readRows)
        statement->readAll(m_plan, *m_store, m_rowids);
    else
        statement->tryRun();
}

void ListReader::close(bool keepSearch)
{
    if (!keepSearch || !m_searches.holding()) {
        m_searches.forget();
        m_store->clear();
    }
    m_resultRows.reset();
    m_rowids.clear();
}

std::optional<std::vector<SearchMemory::Condition>> ListReader::memoryConditions(const SearchStatement& search) const
{
    std::vector<SearchMemory::Condition> conditions;
    for (const SearchStatement::Condition& c : search.conditions) {
        const auto field = std::find(m_plan.columnOf.begin(), m_plan.columnOf.end(), c.column);
        // A pattern too long for the engine's LIKE is refused by the engine.
        if (field == m_plan.columnOf.end() || m_plan.kinds[field - m_plan.columnOf.begin()] != FieldKind::Text
            || c.pattern.size() > unicode_like::MaxPatternLength)
            return std::nullopt;
        conditions.push_back({static_cast<int>(field - m_plan.columnOf.begin()), c.pattern});
    }
    return conditions;
}

SearchMemory::Source ListReader::heldAs(const std::string& base, std::string walk) const
{
    std::vector<std::string> names;
    for (const TField* field : m_fields)
        names.push_back(field->FieldName().toStdString());
    return {base, std::move(walk), m_readStamp.value_or(db::ChangeStamp{}), m_plan.columnOf, m_plan.kinds,
            std::move(names)};
}

bool ListReader::answerFromHeld(const std::string& base, const std::vector<SearchMemory::Condition>& conditions,
                                const std::string& walk)
{
    if (!m_searches.holds(heldAs(base, walk)))
        return false;
    m_rowsRead = true;
    m_resultRows = m_searches.find(*m_store, conditions, engine().likeFolding());
    return true;
}

bool ListReader::searchInMemory(const SearchStatement& search, db::ReadStatement& statement, bool statementIsBase)
{
    std::optional<std::vector<SearchMemory::Condition>> conditions = memoryConditions(search);
    if (!conditions || !m_readStamp)
        return false;
    SearchMemory::Source source = heldAs(search.base, statement.walk());
    if (source.walk.empty())
        return false;
    if (!m_searches.holds(source)) {
        // Read the base in full once; the searches that follow are found in it.
        // Its text, not the statement's, even without conditions: that is
        // the text a read ahead has read.
        std::unique_ptr<db::ReadStatement> base;
        if (!statementIsBase) {
            try {
                base = engine().prepareRead(search.base, {}, true);
            } catch (const Exception&) {
                return false;
            }
            if (base->walk() != source.walk || base->columns().size() != statement.columns().size())
                return false;
        }
        m_searches.forget();
        m_store->reset(m_plan.kinds);
        m_rowids.clear();
        try {
            (base ? *base : statement).readAll(m_plan, *m_store, m_rowids);
        } catch (const Exception&) {
            // A row the search leaves out may be one the list cannot take
            // (a number too large, too little memory for every row): then
            // the statement itself runs and says what it says.
            if (conditions->empty())
                throw;
            return false;
        }
        m_searches.hold(std::move(source));
    }
    m_resultRows = m_searches.find(*m_store, std::move(*conditions), engine().likeFolding());
    return true;
}

// ---------------------------------------------------------------- rows written

std::size_t ListReader::addRow(std::int64_t rowId)
{
    const std::size_t row = m_store->addRow();
    if (m_plan.rowIdFirst) {
        m_rowids.resize(m_store->rowCount(), 0);
        m_rowids[row] = rowId;
    }
    if (m_resultRows) {
        auto rows = std::make_shared<std::vector<std::uint32_t>>(*m_resultRows);
        rows->push_back(static_cast<std::uint32_t>(row));
        m_resultRows = std::move(rows);
    }
    m_searches.forget();
    return row;
}

void ListReader::removeRow(std::size_t row)
{
    m_searches.forget();
    if (m_resultRows) {
        auto rows = std::make_shared<std::vector<std::uint32_t>>(*m_resultRows);
        rows->erase(std::remove(rows->begin(), rows->end(), static_cast<std::uint32_t>(row)), rows->end());
        m_resultRows = std::move(rows);
    }
}

bool ListReader::mayHaveChanged(bool whenUnknown, const ListReader* other) const
{
    const std::optional<db::ChangeStamp> now = other ? other->m_readStamp : engine().changeStamp();
    return now && m_readStamp ? *now != *m_readStamp : whenUnknown;
}

std::size_t ListReader::bytesUsed() const
{
    return m_store->bytesUsed() + m_searches.bytesUsed();
}

// ---------------------------------------------------------------- reading ahead

bool ListReader::readAhead(const std::string& sql, std::function<void()> done)
{
    const bool wasReading = readingAhead();
    endReadAhead(false); // a newer read follows, or the caller opens at once
    int socket = -1;
    try {
        // A search whose base the rows held may answer: that base is what
        // opening reads, and only when the register changed since.
        std::string base;
        const db::ChangeStamp* held = nullptr;
        const std::optional<SearchStatement> search = SearchStatement::parse(sql);
        if (search && memoryConditions(*search)) {
            base = search->base;
            if (m_searches.holding() && m_searches.source().base == base)
                held = &m_searches.source().stamp;
        }
        if (m_connection)
            socket = engine().startRead(sql, {}, base, held);
    } catch (const Exception&) {
        // opening says what is wrong
    }
    if (socket < 0) {
        if (wasReading)
            emit readAheadEnded();
        return false;
    }
    m_aheadDone = std::move(done);
    m_aheadSocket = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(m_aheadSocket, &QSocketNotifier::activated, this, [this] { checkReadAhead(); });
    if (const int limit = engine().answerLimit(); limit > 0) {
        // Past the limit the open says what became of the server.
        m_aheadLimit = new QTimer(this);
        m_aheadLimit->setSingleShot(true);
        connect(m_aheadLimit, &QTimer::timeout, this, [this] { finishReadAhead(true); });
        m_aheadLimit->start(limit);
    }
    return true;
}

void ListReader::checkReadAhead()
{
    db::Engine::Arrival arrival = db::Engine::Arrival::Whole; // a failure: opening says what failed
    try {
        arrival = engine().readArrival();
    } catch (const Exception&) {
    }
    if (arrival != db::Engine::Arrival::Waiting)
        finishReadAhead(arrival == db::Engine::Arrival::Whole);
}

void ListReader::finishReadAhead(bool arrived)
{
    const std::function<void()> done = arrived ? std::move(m_aheadDone) : nullptr;
    endReadAhead(true);
    if (done)
        done();
    // What the read found and opening did not take (its rows, or the stamp
    // that said the rows held would do) goes now: it tells of a moment past.
    if (!readingAhead() && m_connection && m_connection->Connected())
        engine().dropRead();
}

void ListReader::endReadAhead(bool tell)
{
    const bool wasReading = m_aheadSocket != nullptr; // (what to call may have been taken already)
    // Either may be the one whose signal is being delivered.
    if (m_aheadSocket) {
        m_aheadSocket->setEnabled(false);
        m_aheadSocket->disconnect(this);
        m_aheadSocket->deleteLater();
        m_aheadSocket = nullptr;
    }
    if (m_aheadLimit) {
        m_aheadLimit->stop();
        m_aheadLimit->disconnect(this);
        m_aheadLimit->deleteLater();
        m_aheadLimit = nullptr;
    }
    m_aheadDone = nullptr;
    if (tell && wasReading)
        emit readAheadEnded();
}

void ListReader::dropReadAhead()
{
    if (!readingAhead())
        return;
    endReadAhead(true);
    if (m_connection && m_connection->Connected())
        engine().dropRead();
}
