#pragma once
// The connection to the register.
//
// The connection string names a provider and a data source: a file path, for
// example "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/home/ana/proba.mdb;
// Persist Security Info=False", or a PostgreSQL connection URI
// ("postgresql://ana@server/register"). Opening makes the engine that speaks
// to the register (Engine.h; an SQLite file, SqliteEngine.h, or a server,
// PostgresEngine.h): everything that depends on the kind of database lives
// there, and the data sets of the connection reach the database only
// through it. The file is never created.
// A lock held by another program is waited for, up to BusyTimeoutMs, before a
// statement gives up.

#include "Component.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace db {
class Engine;
class ReadTransaction;
}
class TDataSet;

enum TConnectMode {
    cmUnknown, cmRead, cmWrite, cmReadWrite,
    cmShareDenyRead, cmShareDenyWrite, cmShareExclusive, cmShareDenyNone
};

// What the reads of the connection's transaction see of others' commits:
// ilReadCommitted, what was committed when each statement began;
// ilRepeatableRead and ilSnapshot alike, the register as it was at
// BeginTrans, to the transaction's end.
enum TIsolationLevel { ilReadCommitted, ilRepeatableRead, ilSnapshot };

class TADOConnection : public TComponent {
    Q_OBJECT
public:
    // How long a statement waits for another program's lock on the file.
    static constexpr int BusyTimeoutMs = 5000;
    // Most memory the engine keeps of the file's pages (it takes only what it reads).
    static constexpr int CacheKilobytes = 128 * 1024;

    explicit TADOConnection(QObject* owner = nullptr);
    ~TADOConnection() override;

    QString ConnectionString() const { return m_connectionString; }
    // Takes effect at the next Open.
    void setConnectionString(const QString& text) { m_connectionString = text; }

    // How long, in milliseconds, a statement waits for another program's lock
    // before it gives up (BusyTimeoutMs unless set); applies at once.
    int BusyTimeout() const { return m_busyTimeout; }
    void setBusyTimeout(int milliseconds);

    bool LoginPrompt() const { return m_loginPrompt; }
    void setLoginPrompt(bool prompt) { m_loginPrompt = prompt; }

    // cmRead opens the file read-only; cmShareExclusive keeps other programs
    // out while connected; every other mode shares the file.
    TConnectMode Mode() const { return m_mode; }
    void setMode(TConnectMode mode) { m_mode = mode; }

    // Throws Exception with a message that names the file.
    void Open();
    // Closes every data set of the connection, then the file.
    void Close();
    bool Connected() const { return bool(m_engine); }
    // When the register's file was replaced under the open connection (a
    // restore, a copy from another desk), opens the file that now has its
    // name instead; the data sets read it at their next reading, and an edit
    // under way is saved against it. Throws Exception, in a person's words,
    // when the new file cannot be opened. Nothing inside a transaction.
    void reopenIfReplaced();

    // The connection's transaction reads only: every data set of the
    // connection reads in it, and a write in it is refused as on a register
    // that can only be read. On a file, a moment held (ilRepeatableRead,
    // ilSnapshot) keeps another program's commit waiting until the
    // transaction ends, up to that program's lock timeout; on a server
    // nobody waits. Inside it a server that went away is not connected to
    // again: every read fails until the transaction ends.
    TIsolationLevel IsolationLevel() const { return m_isolationLevel; }
    // Takes effect at the next BeginTrans.
    void setIsolationLevel(TIsolationLevel level) { m_isolationLevel = level; }
    // Begins the transaction and returns its level of nesting (1): one at a
    // time. Throws Exception when one is open already or not connected.
    int BeginTrans();
    // Ends the transaction; throws Exception when none is open, or when
    // ending it failed (it is ended all the same).
    void CommitTrans();
    // Ends the transaction quietly; throws Exception when none is open.
    void RollbackTrans();
    bool InTransaction() const { return bool(m_transaction); }

    // The file, or the server's URI, opened (empty while not connected).
    QString DatabasePath() const { return m_path; }
    // The engine of the open register; throws Exception when not connected.
    // (Tools that run bare statements beside it reach its handle through its
    // face: db::sqliteHandle, db::postgresHandle.)
    db::Engine& engine() const;

    // Asked for the password of a register on a server that wants one
    // which libpq's own places (~/.pgpass, a service file) do not give, and again
    // with the server's refusal while it refuses (three times at most);
    // nothing when the person declines. Unset: no one is asked.
    std::function<std::optional<std::string>(const QString& register_, const QString& refusal)> askPassword;

    // The one provider name the connection accepts.
    static const char* const Provider;

private:
    friend class TDataSet;
    std::unique_ptr<db::Engine> openEngine(const QString& path) const;
    void attach(TDataSet* dataSet);
    void detach(TDataSet* dataSet);

    QString m_connectionString;
    bool m_loginPrompt = false;
    int m_busyTimeout = BusyTimeoutMs;
    TConnectMode m_mode = cmShareDenyNone;
    TIsolationLevel m_isolationLevel = ilReadCommitted;
    std::unique_ptr<db::Engine> m_engine;
    std::unique_ptr<db::ReadTransaction> m_transaction; // ends before the engine it is of
    QString m_path;
    QList<TDataSet*> m_dataSets;
};
