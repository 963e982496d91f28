#include "KolvaraMain.h"

#include "Application.h"
#include "CommandLine.h"
#include "Exception.h"
#include "PersonalRegister.h"
#include "Unit1.h"

#include <QDir>

#include <memory>

namespace {

std::unique_ptr<CommandLine> describeCommandLine()
{
    auto command = std::make_unique<CommandLine>(
        QStringLiteral("kolvara"),
        QCoreApplication::translate("Start", "Pretraga i uređivanje registra osoba. Bez imena registra otvara "
                                             "vaš registar (prvi put nudi da ga napravi); u fascikli u kojoj je "
                                             "program napravljen otvara proba.mdb pored programa.\n"
                                             "Sa serverom na drugom računaru veza je šifrovana (TLS). Da bi program "
                                             "proverio da je to pravi server pre nego što mu pošalje lozinku, "
                                             "stavite sertifikat izdavaoca serverovog sertifikata u "
                                             "~/.postgresql/root.crt (ili ga navedite u URI-ju: "
                                             "?sslrootcert=putanja). Lozinku držite u ~/.pgpass, ne u URI-ju; "
                                             "kad je nema, program je traži."));
    const QString name = QCoreApplication::translate("Start", "REGISTAR");
    command->addPositional(name, QCoreApplication::translate("Start", "registar koji treba otvoriti: datoteka, ili URI baze na "
                                                             "PostgreSQL serveru (postgresql://korisnik@server/baza)"),
                           "[" + name + "]");
    command->takesNames(0, 1);
    return command;
}

} // namespace

int kolvaraMain(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // --help, --version and a wrong use need no window, and so work where
    // there is no display: they are answered by a plain application.
    const std::unique_ptr<CommandLine> command = describeCommandLine();
    if (!command->goesOn(arguments)) {
        CommandApplication application(argc, argv);
        return describeCommandLine()->read(arguments);
    }
    const QStringList named = command->names();

    TApplication application(argc, argv);
    try {
        application.Initialize();
        if (!named.isEmpty()) {
            application.setRegisterName(named.constFirst());
        } else if (const QString offered = personal_register::offeredFolder(QCoreApplication::applicationDirPath());
                   !offered.isEmpty()) {
            const std::optional<QString> own = personal_register::findOrMake(offered);
            if (!own)
                return 0;
            application.setRegisterName(*own);
        }
        application.CreateForm(Form1);
        application.Run();
    } catch (...) {
        // A window that could not be made (no database, say) ends the
        // program after its one message; so does anything else that escapes.
        application.showCurrentException();
    }
    Form1 = nullptr;
    return 0;
}
