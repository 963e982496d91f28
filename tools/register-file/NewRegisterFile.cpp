#include "NewRegisterFile.h"

#include "Exception.h"
#include "RegisterBackup.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A message for a person, in the program's language.
std::string say(const char* text, const std::string& a)
{
    return QCoreApplication::translate("RegisterFile", text).arg(QString::fromStdString(a)).toStdString();
}

std::string say(const char* text, const std::string& a, const std::string& b)
{
    return QCoreApplication::translate("RegisterFile", text)
        .arg(QString::fromStdString(a), QString::fromStdString(b))
        .toStdString();
}

void syncPath(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0 || ::fsync(fd) != 0) {
        const std::string reason = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        throw RegisterFileError(
            say(QT_TRANSLATE_NOOP("RegisterFile", "„%1” ne može da se upiše na disk: %2"), path, reason));
    }
    ::close(fd);
}

} // namespace

void execOrThrow(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        throw RegisterFileError(message);
    }
}

NewRegisterFile::NewRegisterFile(std::string path, bool replace)
    : m_path(std::move(path)), m_temporary(m_path + ".partial"), m_replace(replace)
{
    // A folder that is not there would get the engine's "unable to open"
    // from create(); a person needs to hear which folder is missing.
    const std::size_t slash = m_path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : m_path.substr(0, slash + 1);
    struct stat place;
    if (::stat(folder.c_str(), &place) != 0 || !S_ISDIR(place.st_mode))
        throw RegisterFileError(say(QT_TRANSLATE_NOOP("RegisterFile",
                                                      "fascikla „%1” ne postoji: napravite je ili izaberite "
                                                      "drugu."),
                                    folder));
    struct stat existing;
    if (!replace && ::stat(m_path.c_str(), &existing) == 0)
        throw RegisterFileError(say(QT_TRANSLATE_NOOP("RegisterFile",
                                                      "„%1” već postoji i ostaje kakav je (--force "
                                                      "ga zamenjuje)."),
                                    m_path));
}

NewRegisterFile::~NewRegisterFile()
{
    m_db.reset();
    if (!m_published)
        std::remove(m_temporary.c_str());
}

sqlite3* NewRegisterFile::create()
{
    std::remove(m_temporary.c_str());
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(m_temporary.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    m_db.reset(raw);
    if (rc != SQLITE_OK)
        throw RegisterFileError(say(QT_TRANSLATE_NOOP("RegisterFile", "„%1” ne može da se napravi: %2"), m_temporary,
                                    raw ? sqlite3_errmsg(raw) : "out of memory"));
    execOrThrow(raw, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;");
    execOrThrow(raw, registerSchema);
    execOrThrow(raw, "PRAGMA foreign_keys = OFF");
    return raw;
}

void NewRegisterFile::addHistory()
{
    if (m_history || !m_db)
        return;
    execOrThrow(m_db.get(), "BEGIN");
    execOrThrow(m_db.get(), registerHistory);
    execOrThrow(m_db.get(), "COMMIT");
    m_history = true;
}

void NewRegisterFile::publish()
{
    addHistory();
    if (m_db && sqlite3_close(m_db.get()) != SQLITE_OK)
        throw RegisterFileError(say(QT_TRANSLATE_NOOP("RegisterFile", "„%1” ne može da se zatvori: %2"), m_temporary,
                                    sqlite3_errmsg(m_db.get())));
    m_db.release();
    syncPath(m_temporary, O_RDONLY);
    // A register replaced is copied first into the person's data folder (as
    // the window's daily copies are); a copy that cannot be made costs a
    // line on stderr, not the new register.
    if (m_replace) {
        try {
            const QString copy = backup::takeBackupBeforeRewrite(QString::fromStdString(m_path));
            if (!copy.isEmpty())
                std::fprintf(stderr, "%s\n",
                             say(QT_TRANSLATE_NOOP("RegisterFile", "Dosadašnji registar je sačuvan u „%1”."),
                                 copy.toStdString())
                                 .c_str());
        } catch (const Exception& failure) {
            std::fprintf(stderr, "%s\n", failure.what());
        }
    }
    // Without replace, link() puts the file in place only where no file is,
    // even one that appeared while this run was writing.
    const bool placed = m_replace ? std::rename(m_temporary.c_str(), m_path.c_str()) == 0
                                  : ::link(m_temporary.c_str(), m_path.c_str()) == 0;
    if (!placed)
        throw RegisterFileError(say(QT_TRANSLATE_NOOP("RegisterFile", "registar ne može da se postavi na „%1”: %2"),
                                    m_path, std::strerror(errno)));
    m_published = true;
    std::remove(m_temporary.c_str());
    const std::size_t slash = m_path.find_last_of('/');
    syncPath(slash == std::string::npos ? "." : m_path.substr(0, slash + 1), O_RDONLY | O_DIRECTORY);
}
