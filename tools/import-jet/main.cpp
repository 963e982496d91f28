// kolvara-import-jet: brings a register kept in an Access (Jet 3, Jet 4 or
// ACE) file into a new register file of this program.

#include "CommandLine.h"
#include "Importer.h"
#include "Language.h"

#include <QCoreApplication>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string keptName(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".access";
    return path.substr(0, dot) + ".access" + path.substr(dot);
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

int runImport(const ImportOptions& options);

// The reading library is not hardened against every damaged file: a page
// broken in the wrong place can crash it. The import runs in a child
// process; if that dies, this one says so plainly and clears away whatever
// the child had begun, so that nothing half-written is left.
int runSupervised(const ImportOptions& options)
{
    struct stat before;
    const bool keptExisted = !options.keepOldAs.empty() && ::stat(options.keepOldAs.c_str(), &before) == 0;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child < 0)
        return runImport(options);
    if (child == 0) {
        const int code = runImport(options);
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
                                    "\nkolvara-import-jet: čitanje „%1” nije uspelo (%2): datoteka je "
                                    "oštećena tako da je čitač Access baza ne može preći. Popravite "
                                    "je u Access-u (Compact and Repair) i ponovo pokrenite uvoz.\n"
                                    "Ništa nije napisano.\n"))
                  .arg(text(options.source),
                       QString::fromLocal8Bit(WIFSIGNALED(status) ? strsignal(WTERMSIG(status)) : "stopped")));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    TextLanguage language;
    language.useDesktops();
    CommandLine command(
        QStringLiteral("kolvara-import-jet"),
        say(QT_TRANSLATE_NOOP("ImportJet",
                              "Prenosi osobe, države i gradove Access registra STARI u nov registar NOVI "
                              "(ako se ne kaže: proba.mdb u fascikli STAROG). STARI se samo čita. Redove "
                              "koje registar odbija navodi, i tada ne piše ništa, osim uz --set-aside ili "
                              "--skip.\n"
                              "Izlazni kod: 0 sve je preneto, 1 ništa nije napisano, 2 pogrešna upotreba, "
                              "3 napisano, ali su neki redovi izostavljeni zbog --skip.")));
    command.addOption({QStringLiteral("replace")},
                      say(QT_TRANSLATE_NOOP("ImportJet",
                                            "nov registar dobija ime STAROG; STARI se čuva nepromenjen pod "
                                            "svojim imenom sa „.access” pre nastavka")));
    command.addOption({QStringLiteral("force")}, say(QT_TRANSLATE_NOOP("ImportJet", "zameni postojeći NOVI")));
    command.addOption({QStringLiteral("set-aside")},
                      say(QT_TRANSLATE_NOOP("ImportJet",
                                            "redove koje registar odbija prepiši u tabele <TABELA>_SET_ASIDE")));
    command.addOption({QStringLiteral("skip")},
                      say(QT_TRANSLATE_NOOP("ImportJet", "redove koje registar odbija izostavi")));
    command.addOption({QStringLiteral("codepage")},
                      say(QT_TRANSLATE_NOOP("ImportJet",
                                            "tekst Jet 3 datoteke čitaj u Windows kodnoj strani N (ako se ne "
                                            "kaže: onoj koju datoteka beleži)")),
                      QStringLiteral("N"));
    command.addPositional(say(QT_TRANSLATE_NOOP("ImportJet", "STARI")),
                          say(QT_TRANSLATE_NOOP("ImportJet", "Access registar (.mdb, .accdb)")));
    const QString target = say(QT_TRANSLATE_NOOP("ImportJet", "NOVI"));
    command.addPositional(target, say(QT_TRANSLATE_NOOP("ImportJet", "nov registar")), "[" + target + "]");
    command.takesNames(1, 2);
    command.contradict(QStringLiteral("set-aside"), QStringLiteral("skip"));
    if (const int code = command.read(application.arguments()); code >= 0)
        return code;

    ImportOptions options;
    options.force = command.isSet(QStringLiteral("force"));
    if (command.isSet(QStringLiteral("set-aside")))
        options.refused = RefusedRows::SetAside;
    if (command.isSet(QStringLiteral("skip")))
        options.refused = RefusedRows::Skip;
    if (command.isSet(QStringLiteral("codepage"))) {
        bool number = false;
        options.codePage = command.value(QStringLiteral("codepage")).toInt(&number);
        if (!number || options.codePage <= 0)
            return command.refuse(say(QT_TRANSLATE_NOOP("ImportJet",
                                                        "uz --codepage ide broj Windows kodne strane, na "
                                                        "primer 1250.")));
    }
    const bool replace = command.isSet(QStringLiteral("replace"));
    const QStringList names = command.names();
    if (replace && names.size() > 1)
        return command.refuse(say(QT_TRANSLATE_NOOP("ImportJet",
                                                    "uz --replace nov registar dobija ime starog: ne navodi se "
                                                    "NOVI.")));
    std::vector<std::string> paths;
    for (const QString& name : names)
        paths.push_back(name.toStdString());
    options.source = paths[0];
    if (replace) {
        options.target = options.source;
        options.keepOldAs = keptName(options.source);
    } else if (paths.size() > 1) {
        options.target = paths[1];
    } else {
        options.target = folderOf(options.source) + "proba.mdb";
        if (options.target == options.source || options.target == "./" + options.source) {
            return command.refuse(say(QT_TRANSLATE_NOOP("ImportJet",
                                                        "navedite ime novog registra, ili --replace da ga "
                                                        "postavite na mesto starog (stara datoteka se čuva kao "
                                                        "%1)."))
                                      .arg(text(keptName(options.source))));
        }
    }

    return runSupervised(options);
}

namespace {

int runImport(const ImportOptions& options)
{
    ImportReport report;
    try {
        report = importJet(options, showProgress);
    } catch (const ImportError& error) {
        writeText(stderr,
                  say(QT_TRANSLATE_NOOP("ImportJet", "kolvara-import-jet: %1\nNišta nije napisano.\n"))
                      .arg(QString::fromUtf8(error.what())));
        return 1;
    }

    QString read
        = say(QT_TRANSLATE_NOOP("ImportJet", "Pročitano je „%1” (%2")).arg(text(options.source), text(report.format));
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
                                        "kolvara-import-jet: %1 redova ne može u registar takvih "
                                        "kakvi su, pa ništa nije napisano:\n"))
                      .arg(report.refused.size()));
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
    writeText(stdout, say(QT_TRANSLATE_NOOP("ImportJet", "Napisan je %1.\n")).arg(text(options.target)));
    return skipped ? 3 : 0;
}

} // namespace
