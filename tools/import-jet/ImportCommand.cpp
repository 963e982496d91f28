#include "ImportCommand.h"

#include "ServerRegister.h"

#include "Language.h"

#include <QCoreApplication>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("ImportJet", text);
}

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

void showProgress(std::int64_t done, std::int64_t total)
{
    if (total < 20000 || !isatty(STDERR_FILENO))
        return;
    const int percent = int(std::min<std::int64_t>(100, done * 100 / total));
    const int bar = percent / 4;
    writeText(stderr,
              say(QT_TRANSLATE_NOOP("ImportJet", "\rČitam redove [%1] %2%"))
                  .arg(QString(bar, QLatin1Char('#')) + QString(25 - bar, QLatin1Char(' ')))
                  .arg(percent, 3));
    if (done >= total)
        std::fputc('\n', stderr);
}

int runImport(const char* command, const ImportOptions& options);

// The reading library is not hardened against every damaged file: a page
// broken in the wrong place can crash it. The import runs in a child
// process; if that dies, this one says so plainly and clears away whatever
// the child had begun, so that nothing half-written is left.
int runSupervised(const char* command, const ImportOptions& options)
{
    struct stat before;
    const bool keptExisted = !options.keepOldAs.empty() && ::stat(options.keepOldAs.c_str(), &before) == 0;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child < 0)
        return runImport(command, options);
    if (child == 0) {
        const int code = runImport(command, options);
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(code);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    std::remove((options.target + ".partial").c_str());
    // A second name of the old file, made just before the end: taken away
    // only while the old file still has its own name too.
    struct stat old, kept;
    if (!options.keepOldAs.empty() && !keptExisted && ::stat(options.source.c_str(), &old) == 0
        && ::stat(options.keepOldAs.c_str(), &kept) == 0 && old.st_ino == kept.st_ino && old.st_dev == kept.st_dev)
        ::unlink(options.keepOldAs.c_str());
    writeText(stderr,
              say(QT_TRANSLATE_NOOP("ImportJet",
                                    "\n%3: čitanje „%1” nije uspelo (%2): datoteka je "
                                    "oštećena tako da je čitač Access baza ne može preći. Popravite "
                                    "je u Access-u (Compact and Repair) i ponovo pokrenite uvoz.\n"
                                    "Ništa nije napisano.\n"))
                  .arg(text(shownTarget(options.source)),
                       QString::fromLocal8Bit(WIFSIGNALED(status) ? strsignal(WTERMSIG(status)) : "stopped"),
                       QString::fromUtf8(command)));
    return 1;
}

} // namespace

int runImportCommand(const char* command, const ImportOptions& options)
{
    ImportOptions connecting = options;
    connecting.source = askServerPassword(options.source);
    connecting.target = askServerPassword(options.target);
    return runSupervised(command, connecting);
}

void addRefusedRowsOptions(CommandLine& command, const QString& setAside, const QString& skip)
{
    command.addOption({QStringLiteral("set-aside")}, setAside);
    command.addOption({QStringLiteral("skip")}, skip);
    command.contradict(QStringLiteral("set-aside"), QStringLiteral("skip"));
}

RefusedRows refusedRowsOf(const CommandLine& command)
{
    return command.isSet(QStringLiteral("set-aside")) ? RefusedRows::SetAside
         : command.isSet(QStringLiteral("skip"))      ? RefusedRows::Skip
                                                      : RefusedRows::Stop;
}

namespace {

int runImport(const char* command, const ImportOptions& options)
{
    ImportReport report;
    try {
        report = importJet(options, showProgress);
    } catch (const ImportError& error) {
        writeText(stderr,
                  say(QT_TRANSLATE_NOOP("ImportJet", "%2: %1\nNišta nije napisano.\n"))
                      .arg(QString::fromUtf8(error.what()), QString::fromUtf8(command)));
        return 1;
    }

    QString read
        = say(QT_TRANSLATE_NOOP("ImportJet", "Pročitano je „%1” (%2")).arg(text(shownTarget(options.source)), text(report.format));
    if (report.codePage)
        read += say(QT_TRANSLATE_NOOP("ImportJet", ", tekst u kodnoj strani %1")).arg(report.codePage);
    writeText(stdout, read + QStringLiteral(").\n"));
    std::int64_t skipped = 0;
    for (const TableReport& table : report.tables) {
        QString line = say(QT_TRANSLATE_NOOP("ImportJet", "  %1 pročitano redova: %2"))
                           .arg(text(table.name), -8)
                           .arg(table.read);
        if (report.written)
            line += say(QT_TRANSLATE_NOOP("ImportJet", ", upisano: %1")).arg(table.written);
        if (table.setAside)
            line += say(QT_TRANSLATE_NOOP("ImportJet", ", izdvojeno u %1_SET_ASIDE: %2"))
                        .arg(text(table.name))
                        .arg(table.setAside);
        if (table.skipped)
            line += say(QT_TRANSLATE_NOOP("ImportJet", ", izostavljeno: %1")).arg(table.skipped);
        writeText(stdout, line + QStringLiteral("\n"));
        skipped += table.skipped;
    }
    if (!report.written) {
        writeText(stderr,
                  say(QT_TRANSLATE_NOOP("ImportJet",
                                        "%2: %1 redova ne može u registar takvih "
                                        "kakvi su, pa ništa nije napisano:\n"))
                      .arg(report.refused.size())
                      .arg(QString::fromUtf8(command)));
        for (const RefusedRow& row : report.refused)
            writeText(stderr, QStringLiteral("  %1 %2: %3\n").arg(text(row.table), text(row.key), text(row.reason)));
        writeText(stderr,
                  say(QT_TRANSLATE_NOOP("ImportJet",
                                        "Ispravite ih u staroj datoteci, ili ponovo pokrenite uvoz "
                                        "sa --set-aside (čuvaju se u tabelama <TABELA>_SET_ASIDE) "
                                        "ili --skip (izostavljaju se).\n")));
        return 1;
    }
    for (const RefusedRow& row : report.refused)
        writeText(stdout,
                  QStringLiteral("  %1 %2 %3: %4\n")
                      .arg(options.refused == RefusedRows::SetAside
                               ? say(QT_TRANSLATE_NOOP("ImportJet", "izdvojeno"))
                               : say(QT_TRANSLATE_NOOP("ImportJet", "izostavljeno")),
                           text(row.table), text(row.key), text(row.reason)));
    if (!options.keepOldAs.empty())
        writeText(stdout,
                  say(QT_TRANSLATE_NOOP("ImportJet", "Stari registar je sačuvan nepromenjen kao %1.\n"))
                      .arg(text(options.keepOldAs)));
    writeText(stdout, say(QT_TRANSLATE_NOOP("ImportJet", "Napisan je %1.\n")).arg(text(shownTarget(options.target))));
    return skipped ? 3 : 0;
}

} // namespace
