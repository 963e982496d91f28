// kolvara-copy-register: copies a register between a file and a PostgreSQL
// server, either way: onto a server to start sharing it, back into a file
// for a backup. All or nothing, the import's way: rows the target refuses
// are listed, and nothing is written unless --set-aside or --skip says what
// to do with them.

#include "ImportCommand.h"
#include "Language.h"

#include <QCoreApplication>

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("CopyRegister", text);
}

} // namespace

int main(int argc, char* argv[])
{
    CommandApplication application(argc, argv);
    CommandLine command(
        QStringLiteral("kolvara-copy-register"),
        say(QT_TRANSLATE_NOOP("CopyRegister",
                              "Kopira registar IZVOR u nov registar CILJ, iz datoteke na PostgreSQL server ili sa "
                              "servera u datoteku. Registar na serveru se navodi URI-jem "
                              "(postgresql://korisnik@server/baza); lozinku daje ~/.pgpass, ili se traži na terminalu. "
                              "Piše se sve ili ništa; CILJ koji već drži registar ostaje kakav je, osim uz "
                              "--force. Redove koje CILJ odbija navodi, i tada ne piše ništa, osim uz "
                              "--set-aside ili --skip.\n"
                              "Izlazni kod: 0 sve je kopirano, 1 ništa nije napisano, 2 pogrešna upotreba, "
                              "3 napisano, ali su neki redovi izostavljeni zbog --skip.")));
    command.addOption({QStringLiteral("force")}, say(QT_TRANSLATE_NOOP("CopyRegister", "zameni registar u CILJU")));
    addRefusedRowsOptions(command,
                          say(QT_TRANSLATE_NOOP("CopyRegister",
                                                "redove koje CILJ odbija prepiši u tabele <TABELA>_SET_ASIDE")),
                          say(QT_TRANSLATE_NOOP("CopyRegister", "redove koje CILJ odbija izostavi")));
    command.addPositional(say(QT_TRANSLATE_NOOP("CopyRegister", "IZVOR")),
                          say(QT_TRANSLATE_NOOP("CopyRegister", "registar koji se kopira (datoteka ili URI)")));
    command.addPositional(say(QT_TRANSLATE_NOOP("CopyRegister", "CILJ")),
                          say(QT_TRANSLATE_NOOP("CopyRegister", "nov registar (datoteka ili URI)")));
    command.takesNames(2, 2);
    if (const int code = command.read(application.arguments()); code >= 0)
        return code;

    ImportOptions options;
    options.fromRegister = true;
    options.source = command.names().at(0).toStdString();
    options.target = command.names().at(1).toStdString();
    options.force = command.isSet(QStringLiteral("force"));
    options.refused = refusedRowsOf(command);
    if (options.source == options.target)
        return command.refuse(say(QT_TRANSLATE_NOOP("CopyRegister", "IZVOR i CILJ su isti registar.")));
    return runImportCommand("kolvara-copy-register", options);
}
