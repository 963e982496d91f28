#include "ADOConnection.h"

#include "ConnectionString.h"
#include "RegisterName.h"
#include "DataSet.h"
#include "Exception.h"
#include "Messages.h"
#include "PostgresEngine.h"
#include "SqliteEngine.h"

#include <QCoreApplication>

#include <algorithm>

const char* const TADOConnection::Provider = "Microsoft.Jet.OLEDB.4.0";

TADOConnection::TADOConnection(QObject* owner) : TComponent(owner) {}

TADOConnection::~TADOConnection()
{
    // The window that owns the connection is going away: its data sets are
    // closed without telling anyone, for whoever would listen may be gone.
    for (TDataSet* dataSet : m_dataSets) {
        dataSet->closeQuietly();
        dataSet->m_connection = nullptr;
    }
}

void TADOConnection::attach(TDataSet* dataSet)
{
    if (!m_dataSets.contains(dataSet))
        m_dataSets.append(dataSet);
}

void TADOConnection::detach(TDataSet* dataSet)
{
    m_dataSets.removeAll(dataSet);
}

db::Engine& TADOConnection::engine() const
{
    if (!m_engine)
        throw Exception(QCoreApplication::translate("Register", "Registar nije otvoren."));
    return *m_engine;
}

void TADOConnection::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = std::max(0, milliseconds);
    if (m_engine)
        m_engine->setLockTimeout(m_busyTimeout);
}

void TADOConnection::Open()
{
    if (Connected())
        return;
    const ::ConnectionString settings = ::ConnectionString::parse(m_connectionString);
    const QString provider = settings.value(QStringLiteral("Provider"));
    if (provider.isNull())
        throw Exception(
            QCoreApplication::translate("Register", "Opis veze s registrom ne navodi dobavljača (Provider)."));
    if (provider.trimmed().compare(QLatin1String(Provider), Qt::CaseInsensitive) != 0)
        throw Exception(QCoreApplication::translate("Register",
                                                    "Dobavljač „%1” nije dostupan: ovaj program otvara "
                                                    "registar samo preko „%2”.")
                            .arg(provider, QLatin1String(Provider)));
    const QString path = settings.value(QStringLiteral("Data Source"));
    if (path.isEmpty())
        throw Exception(QCoreApplication::translate("Register",
                                                    "Opis veze s registrom ne navodi datoteku registra "
                                                    "(Data Source)."));
    m_engine = openEngine(path);
    m_path = path;
}

std::unique_ptr<db::Engine> TADOConnection::openEngine(const QString& path) const
{
    if (db::isServerRegister(path))
        return db::openPostgresEngine(path, m_busyTimeout, askPassword);
    return db::openSqliteEngine(path, m_mode == cmRead, m_mode == cmShareExclusive, m_busyTimeout, CacheKilobytes);
}

void TADOConnection::reopenIfReplaced()
{
    if (!m_engine || m_transaction || !m_engine->replaced())
        return;
    try {
        m_engine = openEngine(m_path);
    } catch (const Exception& error) {
        throw Exception(QCoreApplication::translate("Register",
                                                    "Datoteka registra „%1” je u međuvremenu zamenjena ili uklonjena, "
                                                    "a ono što sada stoji pod tim imenom ne može da se otvori: %2")
                            .arg(m_path, QString::fromStdString(error.Message())));
    }
}

void TADOConnection::Close()
{
    for (TDataSet* dataSet : m_dataSets)
        dataSet->Close();
    m_transaction.reset();
    m_engine.reset();
    m_path.clear();
}

int TADOConnection::BeginTrans()
{
    db::Engine& database = engine();
    if (m_transaction)
        throw Exception(db::transactionOpenMessage());
    m_transaction = database.beginRead(m_isolationLevel == ilReadCommitted ? db::ReadIsolation::Committed
                                                                           : db::ReadIsolation::OneMoment);
    return 1;
}

void TADOConnection::CommitTrans()
{
    if (!m_transaction)
        throw Exception(db::noTransactionMessage());
    const std::unique_ptr<db::ReadTransaction> transaction = std::move(m_transaction);
    transaction->commit();
}

void TADOConnection::RollbackTrans()
{
    if (!m_transaction)
        throw Exception(db::noTransactionMessage());
    m_transaction.reset();
}
