#include "DataSet.h"

#include "Sqlite.h"

#include "ADOConnection.h"
#include "DataSource.h"
#include "Field.h"
#include "UnicodeLike.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>

namespace {

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && sqlite3_strnicmp(a.data(), b.data(), int(a.size())) == 0;
}

// Reads an integer cell, whatever the database stored in it. False when
// the cell holds something that is not a whole number in 32 bits.
bool readInteger(sqlite3_stmt* statement, int column, int type, std::int32_t& value)
{
    switch (type) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(statement, column);
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
            return false;
        value = static_cast<std::int32_t>(v);
        return true;
    }
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(statement, column);
        if (d != static_cast<double>(static_cast<std::int64_t>(d)) || d < std::numeric_limits<std::int32_t>::min()
            || d > std::numeric_limits<std::int32_t>::max())
            return false;
        value = static_cast<std::int32_t>(d);
        return true;
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return text && TField::parseInteger(std::string_view(text, sqlite3_column_bytes(statement, column)), value);
    }
    }
}

std::string cellText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, sqlite3_column_bytes(statement, column)) : std::string();
}

// Runs one statement that needs no result, for savepoints.
void run(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throwSqliteError(db, "");
}

// A savepoint around one write: released when the write is done, rolled
// back when anything in between throws. When it is the outermost
// transaction, a failed write rolls the whole transaction back, so that the
// file is not even committed unchanged.
class WriteSavepoint {
public:
    explicit WriteSavepoint(sqlite3* db) : m_db(db), m_outermost(sqlite3_get_autocommit(db) != 0)
    {
        run(db, "SAVEPOINT dataset_write");
    }
    void release()
    {
        run(m_db, "RELEASE dataset_write");
        m_open = false;
    }
    ~WriteSavepoint()
    {
        if (!m_open)
            return;
        if (m_outermost) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        } else {
            sqlite3_exec(m_db, "ROLLBACK TO dataset_write", nullptr, nullptr, nullptr);
            sqlite3_exec(m_db, "RELEASE dataset_write", nullptr, nullptr, nullptr);
        }
    }

private:
    sqlite3* m_db;
    bool m_outermost;
    bool m_open = true;
};

} // namespace

TDataSet::TDataSet(QObject* owner) : TComponent(owner) {}

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
    checkInactive("change the connection of");
    if (m_connection)
        m_connection->detach(this);
    m_connection = connection;
    if (m_connection)
        m_connection->attach(this);
}

void TDataSet::checkInactive(const char* what) const
{
    if (Active())
        throw Exception(std::string("Cannot ") + what + " " + describe() + " while it is open.");
}

void TDataSet::checkActive() const
{
    if (!Active() || m_state == dsOpening)
        throw Exception(describe() + " is not open.");
}

// ---------------------------------------------------------------- fields

void TDataSet::addField(TField* field)
{
    checkInactive("add a field to");
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
        throw Exception(describe() + ": field '" + name.toStdString() + "' not found.");
    return field;
}

bool TDataSet::fieldIsNull(const TField* field) const
{
    checkActive();
    if (m_current < 0)
        ensureAllRows();
    const int index = field->Index();
    if (m_state == dsEdit || m_state == dsInsert)
        return m_edit[index].null;
    return m_current < 0 || m_store.isNull(currentRow(), index);
}

std::int32_t TDataSet::fieldInteger(const TField* field) const
{
    checkActive();
    if (m_current < 0)
        ensureAllRows();
    const int index = field->Index();
    if (m_state == dsEdit || m_state == dsInsert)
        return m_edit[index].integer;
    return m_current < 0 ? 0 : m_store.integer(currentRow(), index);
}

std::string_view TDataSet::fieldText(const TField* field) const
{
    checkActive();
    if (m_current < 0)
        ensureAllRows();
    const int index = field->Index();
    if (m_state == dsEdit || m_state == dsInsert)
        return m_edit[index].text;
    return m_current < 0 ? std::string_view() : m_store.text(currentRow(), index);
}

void TDataSet::setFieldValue(TField* field, bool null, std::int32_t integer, std::string_view text)
{
    checkActive();
    if (m_state != dsEdit && m_state != dsInsert)
        throw Exception(describe() + " is not being edited: field '" + field->FieldName().toStdString()
                        + "' can be changed only in edit or insert state.");
    if (field->ReadOnly())
        throw Exception("Field '" + field->FieldName().toStdString() + "' cannot be modified.");
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
        throw Exception(describe() + " has no connection.");
    m_connection->Open();
    m_state = dsOpening;
    try {
        if (firstColumnIsRowid()) {
            // A table: prepare its statement (so that a missing table or
            // column is told now) and read its rows when they are wanted.
            load(selectText() + " WHERE 0");
            m_allRows = false;
        } else {
            load(selectText());
        }
    } catch (...) {
        closeQuietly();
        throw;
    }
    m_state = dsBrowse;
    m_current = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    notify(TDataEvent::ActiveChange);
}

void TDataSet::ensureAllRows() const
{
    if (m_allRows || m_state == dsInactive || m_state == dsOpening)
        return;
    auto* self = const_cast<TDataSet*>(this);
    // The one row found by a key may be current: stay on it.
    const bool onRow = self->m_current >= 0 && !self->m_order.empty();
    const std::int64_t rowid = onRow ? self->m_rowids[self->currentRow()] : 0;
    const TDataSetState state = m_state;
    self->m_state = dsOpening;
    try {
        self->load(selectText());
    } catch (...) {
        self->closeQuietly();
        self->notify(TDataEvent::ActiveChange);
        throw;
    }
    self->m_state = state;
    self->m_allRows = true;
    self->m_current = self->m_order.empty() ? -1 : 0;
    if (const int found = onRow ? self->indexOfKey(rowid) : -1; found >= 0)
        self->m_current = found;
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
    closeQuietly();
    notify(TDataEvent::ActiveChange);
}

void TDataSet::closeQuietly()
{
    m_state = dsInactive;
    m_store.clear();
    m_rowids.clear();
    m_order.clear();
    m_edit.clear();
    m_current = -1;
    m_bof = m_eof = true;
    m_allRows = true;
    ++m_generation;
}

void TDataSet::load(const std::string& statementText, const std::vector<std::int64_t>& parameters)
{
    sqlite3* db = m_connection->nativeHandle();
    Statement statement(db, statementText);
    sqlite3_stmt* st = statement.get();
    for (std::size_t i = 0; i < parameters.size(); ++i)
        sqlite3_bind_int64(st, int(i) + 1, parameters[i]);
    if (!sqlite3_stmt_readonly(st))
        throw Exception(describe() + " can only be opened on a statement that reads: this one would change the database.");
    const int first = firstColumnIsRowid() ? 1 : 0;
    bindFields(st, first);
    resolveWriteTarget(st, first);
    if (m_filtered) {
        m_filterExpression = FilterExpression::parse(m_filter.toStdString());
        m_filterExpression.bind(m_fields);
    }

    std::vector<FieldKind> kinds;
    for (TField* field : m_fields)
        kinds.push_back(field->kind());
    m_store.reset(kinds);
    m_rowids.clear();
    const std::size_t fieldCount = m_fields.size();
    std::vector<bool> integer(fieldCount);
    for (std::size_t f = 0; f < fieldCount; ++f)
        integer[f] = m_fields[f]->kind() == FieldKind::Integer;
    // Values are read through the column's value object: one call into the
    // engine per value instead of two or three. The connection is used by
    // one thread only, which is what that way of reading asks.
    while (statement.step()) {
        if (first)
            m_rowids.push_back(sqlite3_column_int64(st, 0));
        for (std::size_t f = 0; f < fieldCount; ++f) {
            sqlite3_value* value = sqlite3_column_value(st, m_columnOf[f]);
            const int type = sqlite3_value_type(value);
            if (type == SQLITE_NULL) {
                m_store.appendNull(f);
            } else if (!integer[f]) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
                if (!text)
                    throw Exception(describe() + ": out of memory while reading the rows.");
                m_store.appendText(f, text, sqlite3_value_bytes(value));
            } else {
                std::int32_t number = 0;
                const sqlite3_int64 whole = type == SQLITE_INTEGER ? sqlite3_value_int64(value) : 0;
                const bool fits = type == SQLITE_INTEGER ? whole >= INT32_MIN && whole <= INT32_MAX
                                                         : readInteger(st, m_columnOf[f], type, number);
                if (type == SQLITE_INTEGER)
                    number = static_cast<std::int32_t>(whole);
                if (!fits)
                    throw Exception(describe() + ": the value '" + cellText(st, m_columnOf[f]) + "' of field '"
                                    + m_fields[f]->FieldName().toStdString()
                                    + "' is not a whole number between -2147483648 and 2147483647.");
                m_store.appendInteger(f, number);
            }
        }
        m_store.endRow();
    }
    ++m_generation;
    rebuildOrder();
}

void TDataSet::bindFields(sqlite3_stmt* st, int first)
{
    const int columns = sqlite3_column_count(st);
    // A result column is known by its name; where two share a name, each
    // carries its table's name in front ("DRZAVE.Naziv", "GRADOVI.Naziv").
    std::vector<std::string> names(columns);
    for (int c = first; c < columns; ++c)
        names[c] = sqlite3_column_name(st, c);
    std::vector<std::string> qualified = names;
    for (int c = first; c < columns; ++c)
        for (int d = first; d < columns; ++d)
            if (c != d && sameName(names[c], names[d])) {
                const char* table = sqlite3_column_table_name(st, c);
                if (table)
                    qualified[c] = std::string(table) + "." + names[c];
                break;
            }

    if (m_fields.isEmpty() || m_dynamicFields) {
        const QList<TField*> old = m_fields;
        m_fields.clear();
        for (TField* f : old) {
            f->m_dataSet = nullptr;
            delete f;
        }
        m_dynamicFields = true;
        sqlite3* db = sqlite3_db_handle(st);
        for (int c = first; c < columns; ++c) {
            const char* declared = sqlite3_column_decltype(st, c);
            const bool integer = declared && sqlite3_strlike("%INT%", declared, 0) == 0;
            bool autoIncrement = false;
            const char* table = sqlite3_column_table_name(st, c);
            const char* origin = sqlite3_column_origin_name(st, c);
            if (integer && table && origin) {
                int notNull = 0, primaryKey = 0, autoinc = 0;
                if (sqlite3_table_column_metadata(db, sqlite3_column_database_name(st, c), table, origin, nullptr,
                                                  nullptr, &notNull, &primaryKey, &autoinc) == SQLITE_OK)
                    autoIncrement = autoinc != 0;
            }
            TField* field = autoIncrement ? new TAutoIncField(this)
                          : integer       ? static_cast<TField*>(new TIntegerField(this))
                                          : new TWideStringField(this);
            if (field->kind() == FieldKind::Text)
                field->setSize(0); // the database sets no limit that the data set knows of
            field->setFieldName(QString::fromStdString(qualified[c]));
            field->m_dataSet = this;
            m_fields.append(field);
        }
    }

    m_columnOf.assign(m_fields.size(), -1);
    for (int f = 0; f < m_fields.size(); ++f) {
        TField* field = m_fields[f];
        const std::string wanted = field->FieldName().toStdString();
        int found = -1;
        for (int c = first; c < columns && found < 0; ++c)
            if (sameName(qualified[c], wanted) || sameName(names[c], wanted))
                found = c;
        // "TABLE.Column" also finds a column that alone has that name.
        const std::size_t dot = wanted.find('.');
        for (int c = first; c < columns && found < 0 && dot != std::string::npos; ++c) {
            const char* table = sqlite3_column_table_name(st, c);
            if (table && sameName(table, std::string_view(wanted).substr(0, dot))
                && sameName(names[c], std::string_view(wanted).substr(dot + 1)))
                found = c;
        }
        if (found < 0)
            throw Exception(describe() + ": field '" + wanted + "' not found in the database "
                            "(no column of that name in what the statement reads).");
        m_columnOf[f] = found;
        const char* table = sqlite3_column_table_name(st, found);
        const char* origin = sqlite3_column_origin_name(st, found);
        field->m_originTable = table ? table : "";
        field->m_originColumn = origin ? origin : "";
    }
}

void TDataSet::resolveWriteTarget(sqlite3_stmt* st, int first)
{
    m_target = WriteTarget{};
    if (first) {
        m_target.table = tableName();
        m_target.keyColumn = "rowid";
    } else {
        // The key: the auto-increment field, else a field that is by itself
        // the primary key of its table.
        for (int f = 0; f < m_fields.size() && m_target.keyField < 0; ++f)
            if (qobject_cast<TAutoIncField*>(m_fields[f]) && !m_fields[f]->originColumn().empty())
                m_target.keyField = f;
        sqlite3* db = sqlite3_db_handle(st);
        for (int f = 0; f < m_fields.size() && m_target.keyField < 0; ++f) {
            const TField* field = m_fields[f];
            if (field->originColumn().empty())
                continue;
            Statement info(db, "SELECT name FROM pragma_table_info(?1) WHERE pk > 0");
            sqlite3_bind_text(info.get(), 1, field->originTable().c_str(), -1, SQLITE_TRANSIENT);
            int keys = 0;
            bool isKey = false;
            while (info.step()) {
                ++keys;
                isKey = isKey || sameName(cellText(info.get(), 0), field->originColumn());
            }
            if (keys == 1 && isKey)
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

bool TDataSet::numbersNewKeys(sqlite3* db)
{
    if (m_target.keyField < 0 || !qobject_cast<TAutoIncField*>(m_fields[m_target.keyField]))
        return false;
    // Asked at the first insert rather than at every open: the list is
    // opened again on every keystroke of a search, and inserts are rare.
    if (!m_target.numberNewKeys) {
        // Only an INTEGER PRIMARY KEY is numbered by the database itself.
        Statement info(db, "SELECT count(*) FILTER (WHERE pk > 0), "
                           "max(pk > 0 AND name = ?2 COLLATE NOCASE AND upper(type) = 'INTEGER') "
                           "FROM pragma_table_info(?1)");
        sqlite3_bind_text(info.get(), 1, m_target.table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(info.get(), 2, m_target.keyColumn.c_str(), -1, SQLITE_TRANSIENT);
        info.step();
        m_target.numberNewKeys = !(sqlite3_column_int(info.get(), 0) == 1 && sqlite3_column_int(info.get(), 1) == 1);
    }
    return *m_target.numberNewKeys;
}

void TDataSet::rebuildOrder()
{
    const std::size_t rows = m_store.rowCount();
    m_order.clear();
    if (m_filtered && !m_filterExpression.keepsEverything()) {
        for (std::size_t row = 0; row < rows; ++row)
            if (m_filterExpression.matches(m_store, row))
                m_order.push_back(static_cast<std::uint32_t>(row));
    } else {
        m_order.resize(rows);
        std::iota(m_order.begin(), m_order.end(), 0u);
    }
}

// ---------------------------------------------------------------- moving

int TDataSet::RecordCount() const
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
        throw Exception(describe() + ": Locate needs at least one key field.");
    QVariantList values;
    if (fields.size() == 1 && keyValues.typeId() != QMetaType::QVariantList)
        values.append(keyValues);
    else
        values = keyValues.toList();
    if (values.size() != fields.size())
        throw Exception(describe() + ": Locate got " + std::to_string(values.size()) + " values for "
                        + std::to_string(fields.size()) + " key fields.");

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
            const bool null = m_store.isNull(row, key.column);
            if (key.null || null) {
                all = key.null && null;
            } else if (key.integerField) {
                all = m_store.integer(row, key.column) == key.integer;
            } else {
                const std::string_view text = m_store.text(row, key.column);
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
    std::string where;
    std::vector<std::int64_t> parameters;
    for (int i = 0; i < fields.size(); ++i) {
        bool number = false;
        const std::int64_t value = values[i].toLongLong(&number);
        if (fields[i]->kind() != FieldKind::Integer || fields[i]->originColumn().empty() || !number)
            return std::nullopt;
        where += std::string(where.empty() ? " WHERE " : " AND ") + quoteIdentifier(fields[i]->originColumn())
                 + " = ?" + std::to_string(i + 1);
        parameters.push_back(value);
    }
    // In table order, the first row with that key.
    load(selectText() + where + " ORDER BY rowid LIMIT 1", parameters);
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
    return Active() && !m_target.table.empty() && m_connection
           && sqlite3_db_readonly(m_connection->nativeHandle(), "main") == 0;
}

void TDataSet::checkCanModify() const
{
    checkActive();
    if (!CanModify())
        throw Exception(describe() + " cannot be modified: it is read-only.");
}

template <typename Operation>
void TDataSet::withErrorEvent(ErrorSignal signal, Operation operation)
{
    for (;;) {
        try {
            operation();
            return;
        } catch (const EAbort&) {
            throw;
        } catch (Exception& error) {
            TDataAction action = daFail;
            emit(this->*signal)(this, error, action);
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
    emit BeforeEdit(this);
    withErrorEvent(&TDataSet::OnEditError, [this] { beginEdit(); });
}

void TDataSet::beginEdit()
{
    checkCanModify();
    if (m_current < 0)
        ensureAllRows();
    if (m_current < 0)
        throw Exception("There is no row to edit: the list is empty.");
    const std::size_t row = currentRow();
    m_edit.assign(m_fields.size(), EditValue{});
    for (int f = 0; f < m_fields.size(); ++f) {
        EditValue& value = m_edit[f];
        value.null = m_store.isNull(row, f);
        if (!value.null) {
            if (m_store.kind(f) == FieldKind::Integer)
                value.integer = m_store.integer(row, f);
            else
                value.text = m_store.text(row, f);
        }
    }
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
    notify(TDataEvent::UpdateRecord); // controls hand over what was typed
    withErrorEvent(&TDataSet::OnPostError, [this] { writeRow(); });
    const bool inserted = m_state == dsInsert;
    m_state = dsBrowse;
    m_edit.clear();
    notify(TDataEvent::StateChange);
    notify(inserted ? TDataEvent::DataSetChange : TDataEvent::RecordChange);
    emit AfterPost(this);
}

std::string TDataSet::explainRefusal(int code, const std::string& engineMessage) const
{
    sqlite3* db = m_connection->nativeHandle();
    // The value a column of the update table is being given.
    auto valueOf = [this](const std::string& column, bool& null) -> std::string {
        null = true;
        for (int f : m_target.fields)
            if (sameName(m_fields[f]->originColumn(), column)) {
                const EditValue& v = m_edit[f];
                null = v.null;
                return v.null ? std::string() : m_fields[f]->kind() == FieldKind::Integer ? std::to_string(v.integer)
                                                                                          : v.text;
            }
        return {};
    };
    switch (code) {
    case SQLITE_CONSTRAINT_NOTNULL: {
        // "NOT NULL constraint failed: TABLE.COLUMN"
        const std::size_t dot = engineMessage.rfind('.');
        const std::string column = dot == std::string::npos ? engineMessage : engineMessage.substr(dot + 1);
        return "Not saved: " + column + " needs a value.";
    }
    case SQLITE_CONSTRAINT_FOREIGNKEY: {
        // Find the reference that points nowhere, and say which.
        Statement list(db, "SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?1) ORDER BY id, seq");
        sqlite3_bind_text(list.get(), 1, m_target.table.c_str(), -1, SQLITE_TRANSIENT);
        struct Reference {
            int id = -1;
            std::string parent;
            std::vector<std::string> from, to;
        };
        std::vector<Reference> references;
        while (list.step()) {
            const int id = sqlite3_column_int(list.get(), 0);
            if (references.empty() || references.back().id != id)
                references.push_back({id, cellText(list.get(), 1), {}, {}});
            references.back().from.push_back(cellText(list.get(), 2));
            references.back().to.push_back(cellText(list.get(), 3));
        }
        for (const Reference& reference : references) {
            std::string where, described;
            std::vector<std::string> values;
            bool anyNull = false;
            for (std::size_t i = 0; i < reference.from.size(); ++i) {
                bool null = false;
                values.push_back(valueOf(reference.from[i], null));
                anyNull = anyNull || null;
                // A reference to the parent's primary key may leave "to" empty.
                const std::string to = reference.to[i].empty() ? "rowid" : reference.to[i];
                where += (i ? " AND " : "") + quoteIdentifier(to) + " = ?" + std::to_string(i + 1);
                described += (i ? " and " : "") + reference.from[i] + " " + values.back();
            }
            if (anyNull)
                continue; // a reference with an empty part points at nothing and is allowed
            Statement probe(db, "SELECT 1 FROM " + quoteIdentifier(reference.parent) + " WHERE " + where);
            for (std::size_t i = 0; i < values.size(); ++i)
                sqlite3_bind_text(probe.get(), int(i) + 1, values[i].c_str(), -1, SQLITE_TRANSIENT);
            if (!probe.step())
                return "Not saved: " + described + " name no row of table " + reference.parent + ".";
        }
        return "Not saved: the row refers to something the register does not hold.";
    }
    case SQLITE_CONSTRAINT_CHECK:
        // "CHECK constraint failed: length(Ime) <= 255"
        return "Not saved: a value breaks the rule \""
               + engineMessage.substr(std::min(engineMessage.size(), engineMessage.find(": ") + 2)) + "\" of table "
               + m_target.table + ".";
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return "Not saved: another row of table " + m_target.table + " already has that key.";
    case SQLITE_BUSY:
    case SQLITE_BUSY_SNAPSHOT:
    case SQLITE_LOCKED:
        return "Not saved: another program is writing to the register. Try again in a moment.";
    case SQLITE_READONLY:
    case SQLITE_READONLY_DBMOVED:
        return "Not saved: the register can only be read now (" + engineMessage + ").";
    case SQLITE_FULL:
        return "Not saved: the disk is full. Make room and save again.";
    default:
        return engineMessage;
    }
}

void TDataSet::writeRow()
{
    checkCanModify();
    sqlite3* db = m_connection->nativeHandle();
    const bool inserting = m_state == dsInsert;

    std::vector<int> written;
    for (int f : m_target.fields)
        if (m_edit[f].modified && (inserting || f != m_target.keyField))
            written.push_back(f);

    std::string returning;
    for (int f : m_target.fields)
        returning += (returning.empty() ? "" : ", ") + quoteIdentifier(m_fields[f]->originColumn());
    if (m_target.keyField < 0)
        returning += std::string(returning.empty() ? "" : ", ") + "rowid";
    const std::string table = quoteIdentifier(m_target.table);
    const std::string keyColumn = m_target.keyField < 0 ? "rowid" : quoteIdentifier(m_target.keyColumn);

    std::string sql;
    std::int64_t key = 0;
    if (inserting) {
        std::string columns, values;
        for (std::size_t i = 0; i < written.size(); ++i) {
            columns += (i ? ", " : "") + quoteIdentifier(m_fields[written[i]]->originColumn());
            values += (i ? ", ?" : "?") + std::to_string(i + 1);
        }
        if (numbersNewKeys(db) && !m_edit[m_target.keyField].modified) {
            columns += (columns.empty() ? "" : ", ") + keyColumn;
            values += (values.empty() ? "" : ", ") + ("(SELECT coalesce(max(" + keyColumn + "), 0) + 1 FROM " + table + ")");
        }
        if (columns.empty())
            sql = "INSERT INTO " + table + " DEFAULT VALUES";
        else
            sql = "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ")";
        sql += " RETURNING " + returning;
    } else {
        key = keyOf(currentRow());
        if (written.empty()) {
            // Nothing changed: still make sure the row is there.
            sql = "SELECT " + returning + " FROM " + table + " WHERE " + keyColumn + " = ?1";
        } else {
            std::string assignments;
            for (std::size_t i = 0; i < written.size(); ++i)
                assignments += (i ? ", " : "") + quoteIdentifier(m_fields[written[i]]->originColumn()) + " = ?"
                               + std::to_string(i + 1);
            sql = "UPDATE " + table + " SET " + assignments + " WHERE " + keyColumn + " = ?"
                  + std::to_string(written.size() + 1) + " RETURNING " + returning;
        }
    }

    std::vector<EditValue> returned(m_fields.size());
    std::int64_t returnedRowid = 0;
    WriteSavepoint savepoint(db);
    {
        Statement statement(db, sql);
        sqlite3_stmt* st = statement.get();
        int parameter = 1;
        for (int f : written) {
            const EditValue& value = m_edit[f];
            if (value.null)
                sqlite3_bind_null(st, parameter);
            else if (m_fields[f]->kind() == FieldKind::Integer)
                sqlite3_bind_int(st, parameter, value.integer);
            else
                sqlite3_bind_text(st, parameter, value.text.data(), int(value.text.size()), SQLITE_STATIC);
            ++parameter;
        }
        if (!inserting)
            sqlite3_bind_int64(st, parameter, key);
        int rows = 0;
        for (;;) {
            bool more = false;
            try {
                more = statement.step();
            } catch (const Exception& error) {
                throw Exception(explainRefusal(sqlite3_extended_errcode(db), error.Message()));
            }
            if (!more)
                break;
            if (++rows > 1)
                continue;
            int column = 0;
            for (int f : m_target.fields) {
                EditValue& value = returned[f];
                value.null = sqlite3_column_type(st, column) == SQLITE_NULL;
                if (value.null) {
                } else if (m_fields[f]->kind() == FieldKind::Text) {
                    value.text = cellText(st, column);
                } else if (!readInteger(st, column, sqlite3_column_type(st, column), value.integer)) {
                    throw Exception(describe() + ": the database stored '" + cellText(st, column) + "' in field '"
                                    + m_fields[f]->FieldName().toStdString() + "', which is not a whole number.");
                }
                ++column;
            }
            if (m_target.keyField < 0)
                returnedRowid = sqlite3_column_int64(st, column);
        }
        if (rows == 0)
            throw Exception("The row with " + (m_target.keyField < 0 ? std::string("rowid") : m_target.keyColumn)
                            + " " + std::to_string(key) + " no longer exists in table " + m_target.table
                            + " (another program may have deleted it). Nothing was saved.");
        if (rows > 1)
            throw Exception("The row with " + m_target.keyColumn + " " + std::to_string(key) + " is not the only one "
                            "in table " + m_target.table + " with that key. Nothing was saved.");
    }
    savepoint.release();

    // The write is done: the row now holds what was edited, and what the
    // database stored for the update table's columns.
    std::size_t row;
    if (inserting) {
        row = m_store.addRow();
        if (firstColumnIsRowid())
            m_rowids.resize(m_store.rowCount(), 0);
    } else {
        row = currentRow();
    }
    for (int f = 0; f < m_fields.size(); ++f)
        if (!std::count(m_target.fields.begin(), m_target.fields.end(), f))
            returned[f] = m_edit[f];
    for (int f = 0; f < m_fields.size(); ++f) {
        const EditValue& value = returned[f];
        if (value.null)
            m_store.setNull(row, f);
        else if (m_store.kind(f) == FieldKind::Integer)
            m_store.setInteger(row, f, value.integer);
        else
            m_store.setText(row, f, value.text);
    }
    if (firstColumnIsRowid())
        m_rowids[row] = returnedRowid;
    if (inserting) {
        m_order.insert(m_order.begin() + m_insertAt, static_cast<std::uint32_t>(row));
        m_current = m_insertAt;
    }
}

std::int64_t TDataSet::keyOf(std::size_t row) const
{
    if (m_target.keyField < 0)
        return m_rowids[row];
    if (m_store.isNull(row, m_target.keyField))
        throw Exception("This row has no " + m_target.keyColumn + ": it cannot be changed or deleted.");
    return m_store.integer(row, m_target.keyField);
}

void TDataSet::Cancel()
{
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    const bool inserting = m_state == dsInsert;
    m_state = dsBrowse;
    m_edit.clear();
    if (inserting && m_order.empty())
        m_current = -1;
    notify(TDataEvent::StateChange);
    notify(inserting ? TDataEvent::DataSetChange : TDataEvent::RecordChange);
}

bool TDataSet::Modified() const
{
    return std::any_of(m_edit.begin(), m_edit.end(), [](const EditValue& v) { return v.modified; });
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
        throw Exception("There is no row to delete: the list is empty.");
    const std::uint64_t generation = m_generation;
    const std::size_t row = currentRow();
    emit BeforeDelete(this);
    withErrorEvent(&TDataSet::OnDeleteError, [&] {
        // The row chosen for deletion is gone from the data set when the
        // rows were read again meanwhile (or the data set was closed): then
        // there is nothing left here to delete, and surely not whatever row
        // happens to be current now.
        if (!Active() || m_generation != generation)
            throw Exception("The row to delete is no longer in " + describe()
                            + ": its rows were read again before the deletion. Nothing else was deleted.");
        checkCanModify();
        removeRow(row, keyOf(row));
    });
}

void TDataSet::removeRow(std::size_t row, std::int64_t key)
{
    sqlite3* db = m_connection->nativeHandle();
    const std::string keyColumn = m_target.keyField < 0 ? "rowid" : quoteIdentifier(m_target.keyColumn);
    WriteSavepoint savepoint(db);
    {
        Statement statement(db, "DELETE FROM " + quoteIdentifier(m_target.table) + " WHERE " + keyColumn + " = ?1");
        sqlite3_bind_int64(statement.get(), 1, key);
        try {
            statement.step();
        } catch (const Exception& error) {
            if (sqlite3_extended_errcode(db) == SQLITE_CONSTRAINT_FOREIGNKEY)
                throw Exception("Not deleted: other rows of the register still refer to this row of "
                                + m_target.table + ". Change or delete them first.");
            throw Exception(explainRefusal(sqlite3_extended_errcode(db), error.Message()));
        }
    }
    const int changes = sqlite3_changes(db);
    if (changes == 0)
        throw Exception("The row with " + (m_target.keyField < 0 ? std::string("rowid") : m_target.keyColumn) + " "
                        + std::to_string(key) + " no longer exists in table " + m_target.table
                        + " (another program may have deleted it).");
    if (changes > 1)
        throw Exception("The row with " + m_target.keyColumn + " " + std::to_string(key) + " is not the only one in "
                        "table " + m_target.table + " with that key. Nothing was deleted.");
    savepoint.release();

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
    m_state = dsOpening;
    try {
        load(selectText());
    } catch (...) {
        closeQuietly();
        notify(TDataEvent::ActiveChange);
        throw;
    }
    m_state = dsBrowse;
    m_allRows = true;
    m_current = m_order.empty() ? -1 : std::clamp(recNo, 1, static_cast<int>(m_order.size())) - 1;
    if (const int found = hasKey ? indexOfKey(key) : -1; found >= 0)
        m_current = found;
    notify(TDataEvent::DataSetChange);
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

int TDataSet::displayRowCount() const
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
    return m_store.isNull(m_order[index], field);
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
        return m_store.kind(field) == FieldKind::Integer ? std::to_string(edited->integer) : edited->text;
    const std::size_t row = m_order[index];
    return m_store.kind(field) == FieldKind::Integer ? std::to_string(m_store.integer(row, field))
                                                     : std::string(m_store.text(row, field));
}
