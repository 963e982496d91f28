// How a data set binds what it reads: the statement's result columns
// matched to its fields, and the table its writes go to. The rows
// themselves are its reader's to read (ListReader.h); the states and
// promises are drawn in DataSet.h.

#include "DataSet.h"

#include "ADOConnection.h"
#include "DataSet_p.h"
#include "Field.h"

#include <algorithm>

using namespace dataset_detail;

void TDataSet::load(const std::string& sql, const std::vector<std::int64_t>& parameters, bool readRows)
{
    const bool byRowId = firstColumnIsRowid();
    m_reader.read(sql, parameters, readRows, byRowId, [&](db::ReadStatement& statement) {
        if (!statement.readsOnly())
            throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1 se otvara samo naredbom koja čita, a ova bi menjala registar."))
                                .arg(QString::fromStdString(describe())));
        bindFields(statement, byRowId ? 1 : 0);
        resolveWriteTarget(byRowId);
    });
    bindFilter();
    ++m_generation;
    rebuildOrder();
}

void TDataSet::bindFilter()
{
    if (m_filtered) {
        m_filterExpression = FilterExpression::parse(m_filter.toStdString());
        m_filterExpression.bind(m_fields);
    }
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
