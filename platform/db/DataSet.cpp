#include "DataSet.h"

#include "ADOConnection.h"
#include "DataSet_p.h"
#include "DataSource.h"
#include "Field.h"
#include "RowStore.h"
#include "UnicodeLike.h"

#include <QCoreApplication>

#include <algorithm>
#include <charconv>
#include <numeric>
#include <optional>

using namespace dataset_detail;

TDataSet::TDataSet(QObject* owner) : TComponent(owner), m_reader(m_fields, m_plan)
{
    connect(&m_reader, &ListReader::readAheadEnded, this, &TDataSet::readAheadEnded);
}

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
    m_reader.setConnection(connection);
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
    return m_current < 0 || m_reader.store().isNull(currentRow(), index);
}

std::int32_t TDataSet::fieldInteger(const TField* field)
{
    checkActive();
    if (m_current < 0)
        ensureAllRows();
    const int index = field->Index();
    if (m_state == dsEdit || m_state == dsInsert)
        return m_edit[index].integer;
    return m_current < 0 ? 0 : m_reader.store().integer(currentRow(), index);
}

std::string_view TDataSet::fieldText(const TField* field)
{
    checkActive();
    if (m_current < 0)
        ensureAllRows();
    const int index = field->Index();
    if (m_state == dsEdit || m_state == dsInsert)
        return m_edit[index].text;
    return m_current < 0 ? std::string_view() : m_reader.store().text(currentRow(), index);
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
    const std::int64_t rowid = onRow ? m_reader.rowId(currentRow()) : 0;
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
    dropReadAhead();
    if (!Active())
        return;
    closeQuietly(true);
    notify(TDataEvent::ActiveChange);
}

void TDataSet::closeQuietly(bool keepSearch)
{
    m_state = dsInactive;
    m_reader.close(keepSearch);
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
    const RowStore& rows = m_reader.store();
    Q_ASSERT(std::all_of(m_order.begin(), m_order.end(), [&](std::uint32_t row) { return row < rows.rowCount(); }));
    Q_ASSERT(!firstColumnIsRowid() || m_reader.rowIdCount() == rows.rowCount());
    Q_ASSERT(m_state == dsInactive || rows.columnCount() == std::size_t(m_fields.size()));
    Q_UNUSED(rows);
    Q_UNUSED(shown);
}

std::size_t TDataSet::bytesUsed() const
{
    return m_reader.bytesUsed() + m_order.capacity() * 4;
}

// The rows shown: those of the result (every row held, or the search's),
// less what the filter leaves out.
void TDataSet::rebuildOrder()
{
    m_order.clear();
    const RowStore& store = m_reader.store();
    if (const ListReader::Rows& found = m_reader.resultRows()) {
        for (std::uint32_t row : *found)
            if (!m_filtered || m_filterExpression.keepsEverything() || m_filterExpression.matches(store, row))
                m_order.push_back(row);
        return;
    }
    const std::size_t rows = store.rowCount();
    if (m_filtered && !m_filterExpression.keepsEverything()) {
        for (std::size_t row = 0; row < rows; ++row)
            if (m_filterExpression.matches(store, row))
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
            const bool null = m_reader.store().isNull(row, key.column);
            if (key.null || null) {
                all = key.null && null;
            } else if (key.integerField) {
                all = m_reader.store().integer(row, key.column) == key.integer;
            } else {
                const std::string_view text = m_reader.store().text(row, key.column);
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

bool TDataSet::mayHaveChanged(bool whenUnknown, const TDataSet* other)
{
    if (!Active() || !m_reader.rowsRead())
        return false;
    m_connection->reopenIfReplaced();
    return m_reader.mayHaveChanged(whenUnknown, other && other->m_connection == m_connection ? &other->m_reader : nullptr);
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
    return m_reader.store().isNull(m_order[index], field);
}

std::string TDataSet::displayText(int index, int field) const
{
    std::string spare;
    return std::string(displayText(index, field, spare));
}

std::string_view TDataSet::displayText(int index, int field, std::string& spare) const
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
    const bool integer = m_reader.store().kind(field) == FieldKind::Integer;
    if (edited && !integer)
        return edited->text;
    const std::size_t row = edited ? 0 : m_order[index];
    if (!integer)
        return m_reader.store().text(row, field);
    spare.resize(12); // "-2147483648"
    const auto written = std::to_chars(spare.data(), spare.data() + spare.size(),
                                       edited ? edited->integer : m_reader.store().integer(row, field));
    return {spare.data(), std::size_t(written.ptr - spare.data())};
}
