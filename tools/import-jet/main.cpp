// kolvara-import-jet: brings a register kept in an Access (Jet 3, Jet 4 or
// ACE) file into a new register file of this program.

#include "CommandLine.h"
#include "ImportCommand.h"
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

} // namespace

int main(int argc, char* argv[])
{
    CommandApplication application(argc, argv);
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
    addRefusedRowsOptions(command,
                          say(QT_TRANSLATE_NOOP("ImportJet",
                                                "redove koje registar odbija prepiši u tabele <TABELA>_SET_ASIDE")),
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
    if (const int code = command.read(application.arguments()); code >= 0)
        return code;

    ImportOptions options;
    options.force = command.isSet(QStringLiteral("force"));
    options.refused = refusedRowsOf(command);
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

    return runImportCommand("kolvara-import-jet", options);
}

