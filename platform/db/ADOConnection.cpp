#include "ADOConnection.h"

#include "ConnectionString.h"
#include "Sqlite.h"
#include "DataSet.h"
#include "Exception.h"
#include "UnicodeLike.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <unistd.h>

const char* const TADOConnection::Provider = "Microsoft.Jet.OLEDB.4.0";

namespace {

std::string quoted(const QString& path)
{
    return "\"" + path.toStdString() + "\"";
}

void execute(sqlite3* db, const char* sql, const std::string& context)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throwSqliteError(db, context);
}

} // namespace

std::string whyNotADatabase(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return "The database file " + quoted(path) + " does not exist.";
    if (info.isDir())
        return quoted(path) + " is a folder, not a database file.";
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "The database file " + quoted(path) + " cannot be read: "
               + file.errorString().toStdString() + ".";
    const QByteArray header = file.read(100);
    if (header.isEmpty())
        return "The database file " + quoted(path) + " is empty: it holds no register.";
    if (header.size() >= 20) {
        const QByteArray signature = header.mid(4, 16);
        if (signature == QByteArray("Standard Jet DB\0", 16) || signature == QByteArray("Standard ACE DB\0", 16)) {
            const bool ace = signature.startsWith("Standard ACE");
            return quoted(path) + " is a Microsoft Access database (" + (ace ? "ACE" : "Jet")
                   + " format), a register kept by an older program. Bring it in once with the import "
                     "command in this program's folder:\n    kolvara-import-jet --replace "
                   + quoted(path) + "\nIt writes a new register in its place and keeps the old file, "
                     "unchanged, beside it. Then start this program again.";
        }
    }
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16)))
        return quoted(path) + " is not a database file that this program can open "
                              "(it is not an SQLite 3 database).";
    return {};
}

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

void TADOConnection::setBusyTimeout(int milliseconds)
{
    m_busyTimeout = std::max(0, milliseconds);
    if (m_db)
        sqlite3_busy_timeout(m_db.get(), m_busyTimeout);
}

void TADOConnection::Open()
{
    if (Connected())
        return;
    const ::ConnectionString settings = ::ConnectionString::parse(m_connectionString);
    const QString provider = settings.value(QStringLiteral("Provider"));
    if (provider.isNull())
        throw Exception("The connection string names no provider.");
    if (provider.trimmed().compare(QLatin1String(Provider), Qt::CaseInsensitive) != 0)
        throw Exception("Provider \"" + provider.toStdString() + "\" is not available: "
                        "this program opens its register through \"" + Provider + "\" only.");
    const QString path = settings.value(QStringLiteral("Data Source"));
    if (path.isEmpty())
        throw Exception("The connection string names no data source (database file).");

    const std::string problem = whyNotADatabase(path);
    if (!problem.empty())
        throw Exception(problem);
    const bool readOnly = m_mode == cmRead;
    // Honour a file marked read-only even where the user could write it anyway
    // (as the administrator), instead of changing what its owner protected.
    if (!readOnly && !(QFileInfo(path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)))
        throw Exception("The database file " + quoted(path) + " is read-only. "
                        "Allow writing to it (in the file's properties) and start the program again.");

    // Every save writes a journal beside the file first, so that a crash
    // cannot leave half a save behind: without a writable folder no save
    // could ever go through. Say so now rather than at the first save.
    const QString folder = QFileInfo(path).absolutePath();
    if (!readOnly && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        throw Exception("The folder " + quoted(folder) + " of the database file cannot be written to, "
                        "and every save needs to write a journal there. Allow writing to the folder "
                        "and start the program again.");

    sqlite3* raw = nullptr;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    SqliteHandle db(raw);
    if (rc != SQLITE_OK)
        throwSqliteError(db.get(), "Cannot open the database file " + quoted(path));
    if (!readOnly && sqlite3_db_readonly(db.get(), "main") == 1)
        throw Exception("The database file " + quoted(path) + " can only be read, not written. "
                        "Allow writing to it and to its folder, and start the program again.");
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), m_busyTimeout);
    const std::string context = "Cannot read the database file " + quoted(path);
    execute(db.get(), "PRAGMA foreign_keys = ON", context);
    // Every search reads the whole list again: keep the file's pages in
    // memory (up to CacheKilobytes) instead of asking the system each time.
    execute(db.get(), ("PRAGMA cache_size = -" + std::to_string(CacheKilobytes)).c_str(), context);
    if (m_mode == cmShareExclusive)
        execute(db.get(), "PRAGMA locking_mode = EXCLUSIVE", context);
    // Reading the schema reads the file's first pages: a damaged file says so now.
    execute(db.get(), "SELECT count(*) FROM sqlite_schema", context);
    if (unicode_like::install(db.get()) != SQLITE_OK)
        throwSqliteError(db.get(), context);
    m_db = std::move(db);
    m_path = path;
}

void TADOConnection::Close()
{
    for (TDataSet* dataSet : m_dataSets)
        dataSet->Close();
    m_db.reset();
    m_path.clear();
}
