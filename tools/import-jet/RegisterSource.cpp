#include "RegisterSource.h"

#include "ADOConnection.h"
#include "ADOTable.h"
#include "ConnectionString.h"
#include "Exception.h"
#include "Field.h"
#include "PostgresEngine.h"
#include "ServerConnection.h"

#include <QObject>

namespace {

// Whether the register is on a server that went away: a table that cannot
// be opened then is no table missing.
bool serverGone(const TADOConnection& connection)
{
    const PGconn* server = connection.Connected() ? db::postgresHandle(connection.engine()) : nullptr;
    return server && PQstatus(server) != CONNECTION_OK;
}

class RegisterTable : public JetTable {
public:
    RegisterTable(const std::string& name, TADOTable* table) : m_name(name), m_table(table)
    {
        for (TField* field : table->Fields()) {
            const bool integer = field->kind() == FieldKind::Integer;
            m_columns.push_back({field->FieldName().toStdString(), integer ? JetKind::Integer : JetKind::Text,
                                 integer ? "Integer" : "Text"});
        }
        m_table->First();
    }
    const std::string& name() const override { return m_name; }
    const std::vector<JetColumn>& columns() const override { return m_columns; }
    std::int64_t rowCount() const override { return m_table->RecordCount(); }
    bool next(std::vector<JetValue>& values) override
    {
        if (m_table->Eof())
            return false;
        values.assign(m_columns.size(), JetValue{});
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            TField* field = m_table->Fields()[int(c)];
            JetValue& value = values[c];
            value.null = field->IsNull();
            if (value.null)
                continue;
            if (m_columns[c].kind == JetKind::Integer)
                value.integer = field->AsInteger();
            else
                value.text = field->AsString();
        }
        m_table->Next();
        return true;
    }

private:
    std::string m_name;
    TADOTable* m_table;
    std::vector<JetColumn> m_columns;
};

} // namespace

RegisterSource::RegisterSource(const std::string& name) : m_owner(std::make_unique<QObject>())
{
    m_connection = new TADOConnection(m_owner.get());
    m_connection->setConnectionString(ConnectionString::forRegister(QString::fromStdString(name)));
    m_connection->setMode(cmRead);
    m_connection->Open();
    // Every table at one moment: never a person whose city was written
    // after the cities were read.
    m_connection->setIsolationLevel(ilSnapshot);
    m_connection->BeginTrans();
}

RegisterSource::~RegisterSource()
{
    finishedReading();
}

void RegisterSource::finishedReading()
{
    if (m_connection->InTransaction())
        m_connection->RollbackTrans();
}

std::unique_ptr<JetTable> RegisterSource::table(const std::string& name)
{
    auto* table = new TADOTable(m_owner.get());
    table->setConnection(m_connection);
    table->setTableName(QString::fromStdString(name));
    try {
        table->Open();
    } catch (const Exception& error) {
        delete table;
        if (serverGone(*m_connection))
            throw JetError(error.Message());
        return nullptr;
    }
    try {
        return std::make_unique<RegisterTable>(name, table);
    } catch (const Exception& error) {
        if (serverGone(*m_connection))
            throw JetError(error.Message());
        throw;
    }
}
