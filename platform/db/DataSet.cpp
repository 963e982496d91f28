#include "DataSet.h"

#include "ADOConnection.h"
#include "DataSource.h"
#include "Field.h"
#include "RowStore.h"
#include "SearchStatement.h"
#include "UnicodeLike.h"

#include <QCoreApplication>

#include <algorithm>
#include <numeric>
#include <optional>

namespace {

// A text for a person, in the program's language (see Exception.h).
QString say(const char* text)
{
    return QCoreApplication::translate("Register", text);
}

// Names of tables, columns and fields compare without regard to case (ASCII).
bool sameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

std::vector<std::string> splitNames(std::string_view text)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(';', start), text.size());
        std::string name(text.substr(start, end - start));
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        names.push_back(name);
        start = end + 1;
    }
    return names;
}

} // namespace

TDataSet::TDataSet(QObject* owner) : TComponent(owner), m_store(std::make_unique<RowStore>()) {}

TDataSet::~TDataSet()
{
    closeQuietly();
    for (TDataSource* source : m_sources)
        source->m_dataSet = nullptr;
    for (TField* field : m_fields)
        field->m_dataSet = nullptr;
    if (m_connection)
        m_connection->detach(this);
}

void TDataSet::setConnection(TADOConnection* connection)
{
    checkInactive(QT_TRANSLATE_NOOP("Register", "menjanje veze s registrom"));
    if (m_connection)
        m_connection->detach(this);
    m_searches.forget(); // rows of another register answer nothing here
    m_store->clear();
    m_connection = connection;
    if (m_connection)
        m_connection->attach(this);
}

void TDataSet::checkInactive(const char* what) const
{
    if (Active())
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 je otvoren, pa sada ne može: %2.")).arg(QString::fromStdString(describe()), say(what)));
}

void TDataSet::checkActive() const
{
    if (!Active() || m_state == dsOpening)
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 nije otvoren.")).arg(QString::fromStdString(describe())));
}

// ---------------------------------------------------------------- fields

void TDataSet::addField(TField* field)
{
    checkInactive(QT_TRANSLATE_NOOP("Register", "dodavanje polja"));
    if (m_dynamicFields) {
        // Fields described by the window replace those made from a result.
        const QList<TField*> made = m_fields;
        m_fields.clear();
        m_dynamicFields = false;
        for (TField* f : made) {
            f->m_dataSet = nullptr;
            delete f;
        }
    }
    field->m_dataSet = this;
    m_fields.append(field);
}

void TDataSet::removeField(TField* field)
{
    if (Active())
        closeQuietly();
    m_fields.removeAll(field);
    field->m_dataSet = nullptr;
}

TField* TDataSet::FindField(const QString& name) const
{
    for (TField* field : m_fields)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field;
    return nullptr;
}

TField* TDataSet::FieldByName(const QString& name) const
{
    TField* field = FindField(name);
    if (!field)
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 nema polje „%2”.")).arg(QString::fromStdString(describe()), name));
    return field;
}

bool TDataSet::fieldIsNull(const TField* field)
{
    checkActive();
    if (m_current < 0)
        ensureAllRows();
    const int index = field->Index();
    if (m_state == dsEdit || m_state == dsInsert)
        return m_edit[index].null;
    return m_current < 0 || m_store->isNull(currentRow(), index);
}

std::int32_t TDataSet::fieldInteger(const TField* field)
{
    checkActive();
    if (m_current < 0)
        ensureAllRows();
    const int index = field->Index();
    if (m_state == dsEdit || m_state == dsInsert)
        return m_edit[index].integer;
    return m_current < 0 ? 0 : m_store->integer(currentRow(), index);
}

std::string_view TDataSet::fieldText(const TField* field)
{
    checkActive();
    if (m_current < 0)
        ensureAllRows();
    const int index = field->Index();
    if (m_state == dsEdit || m_state == dsInsert)
        return m_edit[index].text;
    return m_current < 0 ? std::string_view() : m_store->text(currentRow(), index);
}

void TDataSet::setFieldValue(TField* field, bool null, std::int32_t integer, std::string_view text)
{
    checkActive();
    if (m_state != dsEdit && m_state != dsInsert)
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 se ne menja sada: polje „%2” menja se samo dok se zapis menja ili dodaje."))
                            .arg(QString::fromStdString(describe()), field->FieldName()));
    if (field->ReadOnly())
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 se ne može menjati.")).arg(field->DisplayLabel()));
    EditValue& value = m_edit[field->Index()];
    value.null = null;
    value.integer = null ? 0 : integer;
    value.text = null ? std::string() : std::string(text);
    value.modified = true;
    notify(TDataEvent::FieldChange, field);
}

// ---------------------------------------------------------------- data sources

void TDataSet::attachSource(TDataSource* source)
{
    if (!m_sources.contains(source))
        m_sources.append(source);
}

void TDataSet::detachSource(TDataSource* source)
{
    m_sources.removeAll(source);
}

void TDataSet::notify(TDataEvent event, TField* field)
{
    checkInvariants();
    const QList<TDataSource*> sources = m_sources;
    for (TDataSource* source : sources)
        source->dataEvent(event, field);
}

// ---------------------------------------------------------------- open and close

void TDataSet::Open()
{
    if (Active())
        return;
    if (!m_connection)
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 nema vezu s registrom.")).arg(QString::fromStdString(describe())));
    m_connection->Open();
    // A table prepares its statement (so that a missing table or column is
    // told now) and reads its rows when they are wanted.
    const bool table = firstColumnIsRowid();
    reload(dsBrowse, selectText(), {}, !table);
    m_allRows = !table;
    m_current = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    notify(TDataEvent::ActiveChange);
}

void TDataSet::ensureAllRows()
{
    if (m_allRows || m_state == dsInactive || m_state == dsOpening)
        return;
    // The one row found by a key may be current: stay on it.
    const bool onRow = m_current >= 0 && !m_order.empty();
    const std::int64_t rowid = onRow ? m_rowids[currentRow()] : 0;
    reload(m_state, selectText());
    m_allRows = true;
    m_current = m_order.empty() ? -1 : 0;
    if (const int found = onRow ? indexOfKey(rowid) : -1; found >= 0)
        m_current = found;
}

int TDataSet::indexOfKey(std::int64_t key) const
{
    for (std::size_t i = 0; i < m_order.size(); ++i)
        if (keyOf(m_order[i]) == key)
            return static_cast<int>(i);
    return -1;
}

void TDataSet::Close()
{
    if (!Active())
        return;
    closeQuietly(true);
    notify(TDataEvent::ActiveChange);
}

void TDataSet::closeQuietly(bool keepSearch)
{
    m_state = dsInactive;
    if (!keepSearch || !m_searches.holding()) {
        m_searches.forget();
        m_store->clear();
    }
    m_resultRows.reset();
    m_rowids.clear();
    m_order.clear();
    m_edit.clear();
    m_current = -1;
    m_bof = m_eof = true;
    m_allRows = true;
    ++m_generation;
}

db::Engine& TDataSet::engine() const
{
    if (!m_connection)
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 nema vezu s registrom.")).arg(QString::fromStdString(describe())));
    return m_connection->engine();
}

void TDataSet::reload(TDataSetState after, const std::string& sql, const std::vector<std::int64_t>& parameters,
                      bool readRows)
{
    const bool wasOpen = Active();
    m_state = dsOpening;
    try {
        m_connection->reopenIfReplaced();
        load(sql, parameters, readRows);
    } catch (...) {
        closeQuietly(true); // what failed never touched rows still held
        if (wasOpen)
            notify(TDataEvent::ActiveChange);
        throw;
    }
    m_state = after;
}

void TDataSet::load(const std::string& sql, const std::vector<std::int64_t>& parameters, bool readRows)
{
    const std::unique_ptr<db::ReadStatement> statement = engine().prepareRead(sql, parameters, readRows);
    if (!statement->readsOnly())
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 se otvara samo naredbom koja čita, a ova bi menjala registar."))
                            .arg(QString::fromStdString(describe())));
    const bool byRowId = firstColumnIsRowid();
    bindFields(*statement, byRowId ? 1 : 0);
    resolveWriteTarget(byRowId);
    if (m_filtered) {
        m_filterExpression = FilterExpression::parse(m_filter.toStdString());
        m_filterExpression.bind(m_fields);
    }
    ++m_generation;
    m_resultRows.reset();
    m_rowsRead = readRows;
    m_readStamp = readRows ? engine().changeStamp() : std::nullopt; // before any row is read
    if (!readRows || !parameters.empty() || byRowId || !searchInMemory(sql, *statement, m_readStamp)) {
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

bool TDataSet::searchInMemory(const std::string& sql, db::ReadStatement& statement,
                              const std::optional<db::ChangeStamp>& stamp)
{
    const std::optional<SearchStatement> search = SearchStatement::parse(sql);
    if (!search)
        return false;
    std::vector<SearchMemory::Condition> conditions;
    for (const SearchStatement::Condition& c : search->conditions) {
        const auto field = std::find(m_plan.columnOf.begin(), m_plan.columnOf.end(), c.column);
        // A pattern too long for the engine's LIKE is refused by the engine.
        if (field == m_plan.columnOf.end() || m_plan.kinds[field - m_plan.columnOf.begin()] != FieldKind::Text
            || c.pattern.size() > unicode_like::MaxPatternLength)
            return false;
        conditions.push_back({static_cast<int>(field - m_plan.columnOf.begin()), c.pattern});
    }
    db::Engine& database = engine();
    if (!stamp)
        return false;
    SearchMemory::Source source{search->base, statement.walk(), *stamp, m_plan.columnOf, m_plan.kinds};
    if (source.walk.empty())
        return false;
    if (!m_searches.holds(source)) {
        // Read the base in full once; the searches that follow are found in it.
        std::unique_ptr<db::ReadStatement> base;
        if (!conditions.empty()) {
            try {
                base = database.prepareRead(search->base, {}, true);
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
            if (!base)
                throw;
            return false;
        }
        m_searches.hold(std::move(source));
    }
    m_resultRows = m_searches.find(*m_store, std::move(conditions));
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

void TDataSet::checkInvariants() const
{
    const int shown = static_cast<int>(m_order.size());
    Q_ASSERT(m_state != dsInactive || (m_order.empty() && m_current == -1 && m_edit.empty()));
    // The current row is a shown one; only a row inserted into an empty
    // list stands at 0 with no row shown.
    Q_ASSERT(m_current >= -1 && m_current < std::max(shown, m_state == dsInsert ? 1 : 0));
    Q_ASSERT(m_state != dsBrowse || (m_current < 0) == (shown == 0));
    Q_ASSERT((m_state == dsEdit || m_state == dsInsert) ? m_edit.size() == std::size_t(m_fields.size())
                                                          : m_edit.empty());
    Q_ASSERT(m_state != dsInsert || (m_insertAt >= 0 && m_insertAt <= shown));
    Q_ASSERT(
        std::all_of(m_order.begin(), m_order.end(), [this](std::uint32_t row) { return row < m_store->rowCount(); }));
    Q_ASSERT(!firstColumnIsRowid() || m_rowids.size() == m_store->rowCount());
    Q_ASSERT(m_state == dsInactive || m_store->columnCount() == std::size_t(m_fields.size()));
    Q_UNUSED(shown);
}

std::size_t TDataSet::bytesUsed() const
{
    return m_store->bytesUsed() + m_order.capacity() * 4 + m_searches.bytesUsed();
}

// The rows shown: those of the result (every row held, or the search's),
// less what the filter leaves out.
void TDataSet::rebuildOrder()
{
    m_order.clear();
    if (m_resultRows) {
        for (std::uint32_t row : *m_resultRows)
            if (!m_filtered || m_filterExpression.keepsEverything() || m_filterExpression.matches(*m_store, row))
                m_order.push_back(row);
        return;
    }
    const std::size_t rows = m_store->rowCount();
    if (m_filtered && !m_filterExpression.keepsEverything()) {
        for (std::size_t row = 0; row < rows; ++row)
            if (m_filterExpression.matches(*m_store, row))
                m_order.push_back(static_cast<std::uint32_t>(row));
    } else {
        m_order.resize(rows);
        std::iota(m_order.begin(), m_order.end(), 0u);
    }
}

// ---------------------------------------------------------------- moving

int TDataSet::RecordCount()
{
    checkActive();
    ensureAllRows();
    return static_cast<int>(m_order.size());
}

void TDataSet::moveTo(int index)
{
    if (index == m_current)
        return;
    m_current = index;
    notify(TDataEvent::Scroll);
}

void TDataSet::First()
{
    checkActive();
    ensureAllRows();
    CheckBrowseMode();
    m_bof = true;
    m_eof = m_order.empty();
    moveTo(m_order.empty() ? -1 : 0);
}

void TDataSet::Last()
{
    checkActive();
    ensureAllRows();
    CheckBrowseMode();
    m_eof = true;
    m_bof = m_order.empty();
    moveTo(static_cast<int>(m_order.size()) - 1);
}

void TDataSet::Next()
{
    MoveBy(1);
}

void TDataSet::Prior()
{
    MoveBy(-1);
}

int TDataSet::MoveBy(int distance)
{
    checkActive();
    ensureAllRows();
    CheckBrowseMode();
    const int count = static_cast<int>(m_order.size());
    if (count == 0) {
        m_bof = m_eof = true;
        return 0;
    }
    const long target = static_cast<long>(m_current) + distance;
    const int clamped = static_cast<int>(std::clamp<long>(target, 0, count - 1));
    m_bof = target < 0;
    m_eof = target >= count;
    const int moved = clamped - m_current;
    moveTo(clamped);
    return moved;
}

void TDataSet::setRecNo(int recNo)
{
    checkActive();
    ensureAllRows();
    CheckBrowseMode();
    const int count = static_cast<int>(m_order.size());
    if (count == 0)
        return;
    m_bof = m_eof = false;
    moveTo(std::clamp(recNo, 1, count) - 1);
}

bool TDataSet::Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options)
{
    checkActive();
    CheckBrowseMode();
    QList<TField*> fields;
    for (const QString& name : keyFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        fields.append(FieldByName(name.trimmed()));
    if (fields.isEmpty())
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1: traženje zapisa traži bar jedno polje.")).arg(QString::fromStdString(describe())));
    QVariantList values;
    if (fields.size() == 1 && keyValues.typeId() != QMetaType::QVariantList)
        values.append(keyValues);
    else
        values = keyValues.toList();
    if (values.size() != fields.size())
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1: traženje zapisa dobilo je %2 vrednosti za %3 polja."))
                            .arg(QString::fromStdString(describe()))
                            .arg(values.size())
                            .arg(fields.size()));

    // Bring each wanted value to its field's kind once.
    struct Key {
        int column;
        bool integerField;
        bool null;
        std::int64_t integer;
        std::string text;
    };
    std::vector<Key> keys;
    for (int i = 0; i < fields.size(); ++i) {
        Key key{fields[i]->Index(), fields[i]->kind() == FieldKind::Integer, values[i].isNull(), 0, {}};
        if (!key.null && key.integerField) {
            bool ok = false;
            key.integer = values[i].toLongLong(&ok);
            if (!ok)
                return false; // no integer equals a value that is not a number
        } else if (!key.null) {
            key.text = values[i].toString().toStdString();
        }
        keys.push_back(std::move(key));
    }
    if (!m_allRows) {
        if (const std::optional<bool> found = locateByQuery(fields, values))
            return *found;
        ensureAllRows();
    }
    const bool caseless = options.contains(loCaseInsensitive);
    const bool partial = options.contains(loPartialKey);
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        const std::size_t row = m_order[i];
        bool all = true;
        for (const Key& key : keys) {
            const bool null = m_store->isNull(row, key.column);
            if (key.null || null) {
                all = key.null && null;
            } else if (key.integerField) {
                all = m_store->integer(row, key.column) == key.integer;
            } else {
                const std::string_view text = m_store->text(row, key.column);
                all = caseless ? unicode_like::equalFolded(text, key.text, partial)
                               : (partial ? text.substr(0, key.text.size()) == key.text : text == key.text);
            }
            if (!all)
                break;
        }
        if (all) {
            m_bof = m_eof = false;
            moveTo(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

// A table whose rows are not read yet finds a row by whole-number keys with
// one statement, and holds that row alone until more is asked of it. Returns
// nothing when the keys are not such that one statement can find them.
std::optional<bool> TDataSet::locateByQuery(const QList<TField*>& fields, const QVariantList& values)
{
    std::vector<std::string> columns;
    std::vector<std::int64_t> parameters;
    for (int i = 0; i < fields.size(); ++i) {
        bool number = false;
        const std::int64_t value = values[i].toLongLong(&number);
        if (fields[i]->kind() != FieldKind::Integer || fields[i]->originColumn().empty() || !number)
            return std::nullopt;
        columns.push_back(fields[i]->originColumn());
        parameters.push_back(value);
    }
    // In table order, the first row with that key.
    reload(m_state, engine().tableStatement(m_target.table, columns), parameters);
    if (m_order.empty()) {
        m_current = -1;
        return false;
    }
    m_current = 0;
    m_bof = m_eof = false;
    notify(TDataEvent::DataSetChange);
    return true;
}

// ---------------------------------------------------------------- editing

bool TDataSet::CanModify() const
{
    return Active() && !m_target.table.empty() && m_connection && m_connection->Connected()
           && !m_connection->engine().readOnly();
}

void TDataSet::checkCanModify() const
{
    checkActive();
    if (!CanModify())
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "Spisak se ne može menjati: registar je samo za čitanje.")));
}

template <typename Operation>
void TDataSet::withErrorEvent(const TDataSetErrorEvent& event, Operation operation)
{
    for (;;) {
        try {
            operation();
            return;
        } catch (const EAbort&) {
            throw;
        } catch (Exception& error) {
            TDataAction action = daFail;
            if (event)
                event(this, error, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                throw EAbort();
            // daRetry: the handler has mended the cause; try once more.
        }
    }
}

void TDataSet::Edit()
{
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    checkActive();
    if (BeforeEdit)
        BeforeEdit(this);
    withErrorEvent(OnEditError, [this] { beginEdit(); });
}

void TDataSet::beginEdit()
{
    checkCanModify();
    if (m_current < 0)
        ensureAllRows();
    if (m_current < 0)
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "Nema zapisa za izmenu: spisak je prazan.")));
    const std::size_t row = currentRow();
    m_edit.assign(m_fields.size(), EditValue{});
    m_seen.assign(m_fields.size(), db::CellValue{});
    for (int f = 0; f < m_fields.size(); ++f) {
        m_seen[f] = storedValue(row, f);
        static_cast<db::CellValue&>(m_edit[f]) = m_seen[f];
    }
    m_registerNow.clear();
    m_state = dsEdit;
    notify(TDataEvent::StateChange);
}

void TDataSet::Insert()
{
    checkActive();
    ensureAllRows();
    CheckBrowseMode();
    checkCanModify();
    m_edit.assign(m_fields.size(), EditValue{});
    m_insertAt = std::max(m_current, 0);
    if (m_current < 0)
        m_current = 0;
    m_state = dsInsert;
    notify(TDataEvent::StateChange);
    notify(TDataEvent::DataSetChange);
}

void TDataSet::Post()
{
    checkActive();
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    UpdateRecord(); // controls hand over what was typed
    if (BeforePost)
        BeforePost(this);
    withErrorEvent(OnPostError, [this] { writeRow(); });
    const bool inserted = m_state == dsInsert;
    m_state = dsBrowse;
    m_edit.clear();
    notify(TDataEvent::StateChange);
    notify(inserted ? TDataEvent::DataSetChange : TDataEvent::RecordChange);
    if (AfterPost)
        AfterPost(this);
}

void TDataSet::writeRow()
{
    m_connection->reopenIfReplaced();
    checkCanModify();
    const bool inserting = m_state == dsInsert;
    db::RowWrite write;
    write.table = m_target.table;
    write.keyColumn = m_target.keyField < 0 ? std::string() : m_target.keyColumn;
    bool anyWritten = false;
    for (int f : m_target.fields) {
        write.columns.push_back(m_fields[f]->originColumn());
        write.labels.push_back(m_fields[f]->DisplayLabel().toStdString());
        write.kinds.push_back(m_fields[f]->kind());
        write.values.push_back(m_edit[f]);
        const bool written = m_edit[f].modified && (inserting || f != m_target.keyField);
        write.written.push_back(written);
        anyWritten = anyWritten || written;
    }
    if (inserting) {
        write.kind = db::RowWrite::Kind::Insert;
        write.numberKey = numbersNewKeys() && !m_edit[m_target.keyField].modified;
    } else {
        // Nothing changed: still make sure the row is there.
        write.kind = anyWritten ? db::RowWrite::Kind::Update : db::RowWrite::Kind::Check;
        write.key = keyOf(currentRow());
        compareWithSeen(write);
    }

    for (std::size_t i = 0; i < m_target.fields.size(); ++i)
        if ((inserting || write.written[i]) && write.values[i].null && m_fields[m_target.fields[i]]->Required())
            throw Exception(db::missingValueMessage(write.labels[i]));

    db::Engine& database = engine();
    db::WrittenRow result;
    {
        const std::unique_ptr<db::WriteTransaction> transaction = database.beginWrite();
        checkReferences(write, inserting);
        result = database.writeRow(write);
        if (result.rows == 0 && write.kind == db::RowWrite::Kind::Update && !throwIfChangedElsewhere(write)) {
            // Changed elsewhere into just what this save writes: nothing to
            // ask, and the save goes on over what the row holds now.
            write.seen = m_registerNow;
            m_registerNow.clear();
            result = database.writeRow(write);
        }
        if (result.rows == 0)
            throw Exception(
                say(QT_TRANSLATE_NOOP("Register",
                                      "Nije sačuvano: ovog zapisa više nema u registru (možda ga je obrisao drugi "
                                      "program).")));
        if (result.rows > 1)
            throw Exception(
                say(QT_TRANSLATE_NOOP("Register",
                                      "Nije sačuvano: u registru je više zapisa s brojem %1, a sme biti samo jedan."))
                    .arg(write.key));
        try {
            transaction->commit();
        } catch (const EUnknownOutcome& unknown) {
            QStringList typed;
            for (std::size_t i = 0; i < write.columns.size(); ++i)
                if (write.written[i])
                    typed << QString::fromStdString(write.labels[i]) + QLatin1Char(' ')
                                 + db::shownValue(write.kinds[i], write.values[i]);
            throw EUnknownOutcome(say(QT_TRANSLATE_NOOP("Register",
                                                        "Ne zna se da li je sačuvano: veza s registrom je prekinuta "
                                                        "dok se upis završavao, a registar se posle toga nije mogao "
                                                        "pitati (%1). Kad proradi, pogledajte da li je zapis upisan "
                                                        "pre nego što ga ponovo sačuvate. Upisano je bilo: %2."))
                                      .arg(QString::fromStdString(unknown.Message()), typed.join(QStringLiteral(", ")))
                                      .toStdString());
        }
    }

    // The write is done: the row now holds what was edited, and what the
    // database stored for the update table's columns.
    std::size_t row;
    if (inserting) {
        row = m_store->addRow();
        if (firstColumnIsRowid())
            m_rowids.resize(m_store->rowCount(), 0);
    } else {
        row = currentRow();
    }
    std::vector<const db::CellValue*> stored(m_fields.size());
    for (int f = 0; f < m_fields.size(); ++f)
        stored[f] = &m_edit[f];
    for (std::size_t i = 0; i < m_target.fields.size(); ++i)
        stored[m_target.fields[i]] = &result.values[i];
    for (int f = 0; f < m_fields.size(); ++f) {
        const db::CellValue& value = *stored[f];
        if (value.null)
            m_store->setNull(row, f);
        else if (m_store->kind(f) == FieldKind::Integer)
            m_store->setInteger(row, f, value.integer);
        else
            m_store->setText(row, f, value.text);
    }
    if (firstColumnIsRowid())
        m_rowids[row] = result.rowId;
    if (inserting) {
        m_order.insert(m_order.begin() + m_insertAt, static_cast<std::uint32_t>(row));
        m_current = m_insertAt;
        if (m_resultRows) {
            auto rows = std::make_shared<std::vector<std::uint32_t>>(*m_resultRows);
            rows->push_back(static_cast<std::uint32_t>(row));
            m_resultRows = std::move(rows);
        }
    }
    m_registerNow.clear();
    // The rows held are no longer what any statement read.
    m_searches.forget();
}

void TDataSet::compareWithSeen(db::RowWrite& write)
{
    const auto targetIndex = [this](const std::string& name) {
        const auto at = std::find_if(m_target.fields.begin(), m_target.fields.end(),
                                     [&](int f) { return sameName(m_fields[f]->FieldName().toStdString(), name); });
        return at == m_target.fields.end() ? -1 : int(at - m_target.fields.begin());
    };
    // Fields that name one thing together (a city by its country and its
    // number) are one value: written and compared whole, so that two desks
    // never leave a pair that neither chose.
    for (const Reference& reference : m_references) {
        if (reference.fields.size() < 2)
            continue;
        std::vector<int> pair;
        for (const std::string& name : reference.fields)
            pair.push_back(targetIndex(name));
        if (std::find(pair.begin(), pair.end(), -1) != pair.end())
            continue;
        if (std::any_of(pair.begin(), pair.end(), [&](int i) { return write.written[i]; }))
            for (int i : pair)
                write.written[i] = true;
    }
    if (std::find(write.written.begin(), write.written.end(), true) != write.written.end())
        write.kind = db::RowWrite::Kind::Update;
    // Where a key may be given again to a new row (the largest plus one, or
    // a row id), a row with the same key may be another row: there every
    // column must be as seen, not only the written ones.
    const bool keyMayBeReused = m_target.keyField < 0 || numbersNewKeys();
    for (std::size_t i = 0; i < m_target.fields.size(); ++i) {
        const int f = m_target.fields[i];
        write.seen.push_back(m_seen[f]);
        write.compared.push_back(f != m_target.keyField && (write.written[i] || keyMayBeReused));
    }
}

bool TDataSet::throwIfChangedElsewhere(const db::RowWrite& write)
{
    db::RowWrite probe = write;
    probe.kind = db::RowWrite::Kind::Check;
    const db::WrittenRow now = engine().writeRow(probe);
    if (now.rows != 1)
        return true; // gone: the caller says so
    m_registerNow = now.values;
    std::vector<EUpdateConflict::Entry> entries;
    QStringList lines;
    for (std::size_t i = 0; i < write.columns.size(); ++i) {
        // A field in which the register differs from what is written here,
        // or, where the whole row must be as seen, from what was seen.
        const bool differs = write.written[i] ? write.values[i] != now.values[i]
                                              : write.compared[i] && write.seen[i] != now.values[i];
        if (!differs)
            continue;
        const int f = m_target.fields[i];
        entries.push_back(
            {m_fields[f]->FieldName(), m_fields[f]->DisplayLabel(), write.kinds[i], m_edit[f], now.values[i]});
        lines << say(QT_TRANSLATE_NOOP("Register", "%1: upisano je %2, a u registru je sada %3."))
                     .arg(entries.back().label, db::shownValue(write.kinds[i], m_edit[f]),
                          db::shownValue(write.kinds[i], now.values[i]));
    }
    if (entries.empty())
        return false;
    throw EUpdateConflict(say(QT_TRANSLATE_NOOP("Register",
                                                "Nije sačuvano: ovaj zapis je u međuvremenu izmenjen na drugom mestu "
                                                "(drugi korisnik ili program). Ništa nije upisano."))
                              + QLatin1Char('\n') + lines.join(QLatin1Char('\n')),
                          std::move(entries));
}

void TDataSet::overwriteOnRetry()
{
    if ((m_state != dsEdit && m_state != dsInsert) || m_registerNow.size() != m_target.fields.size())
        return;
    for (std::size_t i = 0; i < m_target.fields.size(); ++i)
        m_seen[m_target.fields[i]] = m_registerNow[i];
    m_registerNow.clear();
}

void TDataSet::setReferences(const std::vector<std::string>& references)
{
    std::vector<Reference> parsed;
    for (const std::string& text : references) {
        // FIELD;FIELD=TABLE(COLUMN;COLUMN)
        const std::size_t equals = text.find('=');
        const std::size_t open = text.find('(', equals == std::string::npos ? 0 : equals);
        const std::size_t close = text.rfind(')');
        if (equals == std::string::npos || open == std::string::npos || close != text.size() - 1 || close < open)
            throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1: „%2” nije upućivanje (POLJE;POLJE=TABELA(KOLONA;KOLONA))."))
                                .arg(QString::fromStdString(describe()), QString::fromStdString(text)));
        Reference reference;
        reference.fields = splitNames(std::string_view(text).substr(0, equals));
        reference.table = splitNames(std::string_view(text).substr(equals + 1, open - equals - 1)).front();
        reference.columns = splitNames(std::string_view(text).substr(open + 1, close - open - 1));
        const auto empty = [](const std::string& name) { return name.empty(); };
        if (reference.table.empty() || reference.fields.size() != reference.columns.size()
            || std::any_of(reference.fields.begin(), reference.fields.end(), empty)
            || std::any_of(reference.columns.begin(), reference.columns.end(), empty))
            throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1: „%2” nije upućivanje (POLJE;POLJE=TABELA(KOLONA;KOLONA))."))
                                .arg(QString::fromStdString(describe()), QString::fromStdString(text)));
        parsed.push_back(std::move(reference));
    }
    m_references = std::move(parsed);
}

void TDataSet::checkReferences(const db::RowWrite& write, bool inserting)
{
    for (const Reference& reference : m_references) {
        std::vector<FieldKind> kinds;
        std::vector<db::CellValue> values;
        std::vector<std::string> shown, labels;
        bool touched = inserting, anyNull = false;
        for (const std::string& name : reference.fields) {
            const TField* field = FieldByName(QString::fromStdString(name));
            const auto at = std::find(m_target.fields.begin(), m_target.fields.end(), field->Index());
            if (at == m_target.fields.end())
                throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1: polje „%2” jednog upućivanja ne upisuje se sa zapisom."))
                                    .arg(QString::fromStdString(describe()), QString::fromStdString(name)));
            const std::size_t i = static_cast<std::size_t>(at - m_target.fields.begin());
            touched = touched || write.written[i];
            anyNull = anyNull || write.values[i].null;
            kinds.push_back(write.kinds[i]);
            labels.push_back(write.labels[i]);
            values.push_back(write.values[i]);
            shown.push_back(write.kinds[i] == FieldKind::Integer ? std::to_string(write.values[i].integer)
                                                                 : write.values[i].text);
        }
        // A reference with an empty part names nothing and is kept, as the
        // database's own guard keeps it.
        if (touched && !anyNull && !engine().rowExists(reference.table, reference.columns, kinds, values))
            throw Exception(db::danglingReferenceMessage(labels, shown));
    }
}

db::CellValue TDataSet::storedValue(std::size_t row, int field) const
{
    db::CellValue value;
    value.null = m_store->isNull(row, field);
    if (!value.null) {
        if (m_store->kind(field) == FieldKind::Integer)
            value.integer = m_store->integer(row, field);
        else
            value.text = m_store->text(row, field);
    }
    return value;
}

std::int64_t TDataSet::keyOf(std::size_t row) const
{
    if (m_target.keyField < 0)
        return m_rowids[row];
    if (m_store->isNull(row, m_target.keyField))
        throw Exception(
            say(QT_TRANSLATE_NOOP("Register", "Ovaj zapis nema broj (%1), pa ne može da se menja ni da se briše."))
                .arg(m_fields[m_target.keyField]->DisplayLabel()));
    return m_store->integer(row, m_target.keyField);
}

void TDataSet::Cancel()
{
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    const bool inserting = m_state == dsInsert;
    m_state = dsBrowse;
    m_edit.clear();
    m_registerNow.clear();
    if (inserting && m_order.empty())
        m_current = -1;
    notify(TDataEvent::StateChange);
    notify(inserting ? TDataEvent::DataSetChange : TDataEvent::RecordChange);
}

bool TDataSet::Modified() const
{
    return std::any_of(m_edit.begin(), m_edit.end(), [](const EditValue& v) { return v.modified; });
}

void TDataSet::UpdateRecord()
{
    if (m_state == dsEdit || m_state == dsInsert)
        notify(TDataEvent::UpdateRecord);
}

void TDataSet::CheckBrowseMode()
{
    if (m_state == dsEdit || m_state == dsInsert)
        Post();
}

void TDataSet::Delete()
{
    checkActive();
    if (m_state == dsInsert) {
        Cancel(); // the new row was never written: dropping it is deleting it
        return;
    }
    Cancel();
    if (m_current < 0)
        ensureAllRows();
    if (m_current < 0)
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "Nema zapisa za brisanje: spisak je prazan.")));
    const std::uint64_t generation = m_generation;
    const std::size_t row = currentRow();
    if (BeforeDelete)
        BeforeDelete(this);
    withErrorEvent(OnDeleteError, [&] {
        // The row chosen for deletion is gone from the data set when the
        // rows were read again meanwhile (or the data set was closed): then
        // there is nothing left here to delete, and surely not whatever row
        // happens to be current now.
        if (!Active() || m_generation != generation)
            throw Exception(
                say(QT_TRANSLATE_NOOP("Register",
                                      "Nije obrisano: spisak je u međuvremenu ponovo pročitan. Ništa drugo nije "
                                      "obrisano.")));
        checkCanModify();
        removeRow(row, keyOf(row));
    });
}

void TDataSet::removeRow(std::size_t row, std::int64_t key)
{
    m_connection->reopenIfReplaced();
    db::Engine& database = engine();
    {
        // The row goes only as this data set read it: every column of it.
        db::RowWrite write;
        write.kind = db::RowWrite::Kind::Delete;
        write.table = m_target.table;
        write.keyColumn = m_target.keyField < 0 ? std::string() : m_target.keyColumn;
        write.key = key;
        for (int f : m_target.fields) {
            write.columns.push_back(m_fields[f]->originColumn());
            write.labels.push_back(m_fields[f]->DisplayLabel().toStdString());
            write.kinds.push_back(m_fields[f]->kind());
            write.seen.push_back(storedValue(row, f));
            write.values.push_back(write.seen.back());
            write.written.push_back(false);
            write.compared.push_back(f != m_target.keyField);
        }
        const std::unique_ptr<db::WriteTransaction> transaction = database.beginWrite();
        const int changes = database.deleteRow(write);
        if (changes == 0) {
            write.kind = db::RowWrite::Kind::Check;
            if (database.writeRow(write).rows > 0)
                throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                                      "Nije obrisano: ovaj zapis je u međuvremenu izmenjen na drugom "
                                                      "mestu (drugi korisnik ili program). Pogledajte ga ponovo, pa "
                                                      "ga obrišite ako i dalje treba.")));
        }
        if (changes == 0)
            throw Exception(
                say(QT_TRANSLATE_NOOP("Register",
                                      "Nije obrisano: ovog zapisa više nema u registru (možda ga je obrisao drugi "
                                      "program).")));
        if (changes > 1)
            throw Exception(
                say(QT_TRANSLATE_NOOP("Register",
                                      "Nije obrisano: u registru je više zapisa s brojem %1, a sme biti samo jedan."))
                    .arg(key));
        transaction->commit();
    }

    m_searches.forget(); // the rows held are no longer what any statement read
    if (m_resultRows) {
        auto rows = std::make_shared<std::vector<std::uint32_t>>(*m_resultRows);
        rows->erase(std::remove(rows->begin(), rows->end(), static_cast<std::uint32_t>(row)), rows->end());
        m_resultRows = std::move(rows);
    }
    const auto at = std::find(m_order.begin(), m_order.end(), static_cast<std::uint32_t>(row));
    if (at != m_order.end()) {
        const int index = static_cast<int>(at - m_order.begin());
        m_order.erase(at);
        if (m_current > index || m_current >= static_cast<int>(m_order.size()))
            --m_current;
    }
    notify(TDataEvent::DataSetChange);
}

void TDataSet::Refresh()
{
    checkActive();
    CheckBrowseMode();
    const bool hasKey = !m_target.table.empty() && m_current >= 0;
    const std::int64_t key = hasKey ? keyOf(currentRow()) : 0;
    const int recNo = RecNo();
    reload(dsBrowse, selectText());
    m_allRows = true;
    m_current = m_order.empty() ? -1 : std::clamp(recNo, 1, static_cast<int>(m_order.size())) - 1;
    if (const int found = hasKey ? indexOfKey(key) : -1; found >= 0)
        m_current = found;
    notify(TDataEvent::DataSetChange);
}

bool TDataSet::mayHaveChanged(bool whenUnknown)
{
    if (!Active() || !m_rowsRead)
        return false;
    m_connection->reopenIfReplaced();
    const std::optional<db::ChangeStamp> now = engine().changeStamp();
    return now && m_readStamp ? *now != *m_readStamp : whenUnknown;
}

// ---------------------------------------------------------------- filter

void TDataSet::setFilter(const QString& filter)
{
    if (filter == m_filter)
        return;
    FilterExpression expression = FilterExpression::parse(filter.toStdString());
    if (Active() && m_filtered) {
        ensureAllRows();
        CheckBrowseMode();
        expression.bind(m_fields);
        m_filter = filter;
        m_filterExpression = std::move(expression);
        rebuildOrder();
        m_current = m_order.empty() ? -1 : 0;
        notify(TDataEvent::DataSetChange);
        return;
    }
    m_filter = filter;
}

void TDataSet::setFiltered(bool filtered)
{
    if (filtered == m_filtered)
        return;
    if (!Active()) {
        m_filtered = filtered;
        return;
    }
    ensureAllRows();
    CheckBrowseMode();
    if (filtered) {
        FilterExpression expression = FilterExpression::parse(m_filter.toStdString());
        expression.bind(m_fields);
        m_filterExpression = std::move(expression);
    }
    const std::int64_t key = (m_current >= 0 && !m_target.table.empty()) ? keyOf(currentRow()) : 0;
    const bool hadRow = m_current >= 0 && !m_target.table.empty();
    m_filtered = filtered;
    rebuildOrder();
    m_current = m_order.empty() ? -1 : 0;
    // Switching the filter off comes back to the row that was current.
    if (const int found = !filtered && hadRow ? indexOfKey(key) : -1; found >= 0)
        m_current = found;
    notify(TDataEvent::DataSetChange);
}

// ---------------------------------------------------------------- display

int TDataSet::displayRowCount()
{
    if (!Active())
        return 0;
    ensureAllRows();
    return static_cast<int>(m_order.size()) + (m_state == dsInsert ? 1 : 0);
}

bool TDataSet::displayIsNull(int index, int field) const
{
    if (m_state == dsInsert) {
        if (index == m_insertAt)
            return m_edit[field].null;
        if (index > m_insertAt)
            --index;
    } else if (m_state == dsEdit && index == m_current) {
        return m_edit[field].null;
    }
    return m_store->isNull(m_order[index], field);
}

std::string TDataSet::displayText(int index, int field) const
{
    if (displayIsNull(index, field))
        return {};
    const EditValue* edited = nullptr;
    if (m_state == dsInsert && index == m_insertAt)
        edited = &m_edit[field];
    else if (m_state == dsEdit && index == m_current)
        edited = &m_edit[field];
    if (m_state == dsInsert && index > m_insertAt)
        --index;
    if (edited)
        return m_store->kind(field) == FieldKind::Integer ? std::to_string(edited->integer) : edited->text;
    const std::size_t row = m_order[index];
    return m_store->kind(field) == FieldKind::Integer ? std::to_string(m_store->integer(row, field))
                                                      : std::string(m_store->text(row, field));
}
