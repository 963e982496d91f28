// How a data set reads: the statement's result columns matched to its
// fields, the rows taken from the engine or found in the rows held (see
// SearchMemory), and the table its writes go to. The states and promises
// are drawn in DataSet.h.

#include "DataSet.h"

#include "ADOConnection.h"
#include "DataSet_p.h"
#include "Field.h"
#include "RowStore.h"
#include "SearchStatement.h"
#include "UnicodeLike.h"

#include <algorithm>

using namespace dataset_detail;

void TDataSet::load(const std::string& sql, const std::vector<std::int64_t>& parameters, bool readRows)
{
    // The stamp before any row is read: a change committed meanwhile makes
    // the next search read again.
    m_readStamp = readRows ? engine().changeStamp() : std::nullopt;
    const bool byRowId = firstColumnIsRowid();
    std::optional<SearchStatement> search;
    if (readRows && parameters.empty() && !byRowId)
        search = SearchStatement::parse(sql);
    // Where every statement walks alike (a server), a search over the rows
    // held is found in them without a statement, and another one reads its
    // base in full to be found there.
    const auto conditions = search && m_readStamp ? memoryConditions(*search) : std::nullopt;
    const std::string walk = conditions ? engine().commonWalk() : std::string();
    if (!walk.empty() && answerFromHeld(search->base, *conditions, walk))
        return;
    const bool readsBase = !walk.empty() && search->base != sql;
    std::unique_ptr<db::ReadStatement> statement =
        engine().prepareRead(readsBase ? search->base : sql, parameters, readRows);
    if (!statement->readsOnly())
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 se otvara samo naredbom koja čita, a ova bi menjala registar."))
                            .arg(QString::fromStdString(describe())));
    bindFields(*statement, byRowId ? 1 : 0);
    resolveWriteTarget(byRowId);
    bindFilter();
    ++m_generation;
    m_resultRows.reset();
    m_rowsRead = readRows;
    if (!search || !searchInMemory(*search, *statement, readsBase)) {
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
    rebuildOrder();
}

void TDataSet::bindFilter()
{
    if (m_filtered) {
        m_filterExpression = FilterExpression::parse(m_filter.toStdString());
        m_filterExpression.bind(m_fields);
    }
}

bool TDataSet::readAhead(const std::string& sql, std::function<void()> done)
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

void TDataSet::checkReadAhead()
{
    db::Engine::Arrival arrival = db::Engine::Arrival::Whole; // a failure: opening says what failed
    try {
        arrival = engine().readArrival();
    } catch (const Exception&) {
    }
    if (arrival != db::Engine::Arrival::Waiting)
        finishReadAhead(arrival == db::Engine::Arrival::Whole);
}

void TDataSet::finishReadAhead(bool arrived)
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

void TDataSet::endReadAhead(bool tell)
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

void TDataSet::dropReadAhead()
{
    if (!readingAhead())
        return;
    endReadAhead(true);
    if (m_connection && m_connection->Connected())
        engine().dropRead();
}

std::optional<std::vector<SearchMemory::Condition>> TDataSet::memoryConditions(const SearchStatement& search) const
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

SearchMemory::Source TDataSet::heldAs(const std::string& base, std::string walk) const
{
    std::vector<std::string> names;
    for (const TField* field : m_fields)
        names.push_back(field->FieldName().toStdString());
    return {base, std::move(walk), m_readStamp.value_or(db::ChangeStamp{}), m_plan.columnOf, m_plan.kinds,
            std::move(names)};
}

bool TDataSet::answerFromHeld(const std::string& base, const std::vector<SearchMemory::Condition>& conditions,
                              const std::string& walk)
{
    if (!m_searches.holds(heldAs(base, walk)))
        return false;
    bindFilter();
    ++m_generation;
    m_rowsRead = true;
    m_resultRows = m_searches.find(*m_store, conditions, engine().likeFolding());
    rebuildOrder();
    return true;
}

bool TDataSet::searchInMemory(const SearchStatement& search, db::ReadStatement& statement, bool statementIsBase)
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

void TDataSet::bindFields(db::ReadStatement& statement, int first)
{
    const std::vector<db::ResultColumn>& result = statement.columns();
    const int columns = static_cast<int>(result.size());
    // A result column is known by its name; where two share a name, each
    // carries its table's name in front ("DRZAVE.Naziv", "GRADOVI.Naziv").
    std::vector<std::string> qualified(columns);
    for (int c = first; c < columns; ++c) {
        qualified[c] = result[c].name;
        for (int d = first; d < columns; ++d)
            if (c != d && sameName(result[c].name, result[d].name)) {
                if (!result[c].table.empty())
                    qualified[c] = result[c].table + "." + result[c].name;
                break;
            }
    }

    if (m_fields.isEmpty() || m_dynamicFields) {
        const QList<TField*> old = m_fields;
        m_fields.clear();
        for (TField* f : old) {
            f->m_dataSet = nullptr;
            delete f;
        }
        m_dynamicFields = true;
        statement.findKinds(); // what kind of field each column makes
        for (int c = first; c < columns; ++c) {
            TField* field = result[c].autoIncrement ? new TAutoIncField(this)
                          : result[c].integer       ? static_cast<TField*>(new TIntegerField(this))
                                                    : new TWideStringField(this);
            if (field->kind() == FieldKind::Text)
                field->setSize(0); // the database sets no limit that the data set knows of
            field->setFieldName(QString::fromStdString(qualified[c]));
            field->m_dataSet = this;
            m_fields.append(field);
        }
    }

    m_plan.columnOf.assign(m_fields.size(), -1);
    m_plan.kinds.resize(m_fields.size());
    m_plan.labels.resize(m_fields.size());
    m_plan.rowIdFirst = first > 0;
    for (int f = 0; f < m_fields.size(); ++f) {
        TField* field = m_fields[f];
        const std::string wanted = field->FieldName().toStdString();
        int found = -1;
        for (int c = first; c < columns && found < 0; ++c)
            if (sameName(qualified[c], wanted) || sameName(result[c].name, wanted))
                found = c;
        // "TABLE.Column" also finds a column that alone has that name.
        const std::size_t dot = wanted.find('.');
        for (int c = first; c < columns && found < 0 && dot != std::string::npos; ++c)
            if (sameName(result[c].table, std::string_view(wanted).substr(0, dot))
                && sameName(result[c].name, std::string_view(wanted).substr(dot + 1)))
                found = c;
        if (found < 0)
            throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                                  "Registar ne može da se pročita: u njemu nema kolone „%1” "
                                                  "(%2)."))
                                .arg(field->FieldName(), field->DisplayLabel()));
        m_plan.columnOf[f] = found;
        m_plan.kinds[f] = field->kind();
        m_plan.labels[f] = field->DisplayLabel().toStdString();
        field->m_originTable = result[found].table;
        field->m_originColumn = result[found].origin;
    }
}

void TDataSet::resolveWriteTarget(bool byRowId)
{
    m_target = WriteTarget{};
    if (byRowId) {
        m_target.table = tableName();
        m_target.keyColumn = "rowid";
    } else {
        // The key: the auto-increment field, else a field that is by itself
        // the primary key of its table.
        for (int f = 0; f < m_fields.size() && m_target.keyField < 0; ++f)
            if (qobject_cast<TAutoIncField*>(m_fields[f]) && !m_fields[f]->originColumn().empty())
                m_target.keyField = f;
        for (int f = 0; f < m_fields.size() && m_target.keyField < 0; ++f) {
            const TField* field = m_fields[f];
            if (field->originColumn().empty())
                continue;
            const std::vector<std::string> key = engine().primaryKey(field->originTable());
            if (key.size() == 1 && sameName(key[0], field->originColumn()))
                m_target.keyField = f;
        }
        if (m_target.keyField < 0)
            return; // nothing to write through: read-only
        m_target.table = m_fields[m_target.keyField]->originTable();
        m_target.keyColumn = m_fields[m_target.keyField]->originColumn();
    }
    for (int f = 0; f < m_fields.size(); ++f)
        if (!m_fields[f]->originColumn().empty() && sameName(m_fields[f]->originTable(), m_target.table))
            m_target.fields.push_back(f);
}

bool TDataSet::numbersNewKeys()
{
    if (m_target.keyField < 0 || !qobject_cast<TAutoIncField*>(m_fields[m_target.keyField]))
        return false;
    // Asked at the first insert rather than at every open: the list is
    // opened again on every keystroke of a search, and inserts are rare.
    if (!m_target.numberNewKeys)
        m_target.numberNewKeys = !engine().numbersKeysItself(m_target.table, m_target.keyColumn);
    return *m_target.numberNewKeys;
}
