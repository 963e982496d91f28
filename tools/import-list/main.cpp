// kolvara-import-list: persons brought into a register from a CSV file or
// an Excel workbook, their countries and cities found by name; what would
// be written is said first, and with --check nothing is.

#include "ADOConnection.h"
#include "CommandLine.h"
#include "ConnectionString.h"
#include "Exception.h"
#include "Language.h"
#include "ListFile.h"
#include "PersonsImport.h"
#include "ServerRegister.h"

#include <QCoreApplication>
#include <QDir>

#include <unistd.h>

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("ImportList", text);
}

void describe(const ImportPlan& plan, const ImportColumns& columns, const ImportChoices& choices, bool written)
{
    if (!columns.ignored.isEmpty())
        writeText(stdout, say(QT_TRANSLATE_NOOP("ImportList", "Kolone koje se ne čitaju: %1.\n"))
                              .arg(columns.ignored.join(QStringLiteral(", "))));
    const PlanHints hints{say(QT_TRANSLATE_NOOP("ImportList", "--add-places ga dodaje")),
                          say(QT_TRANSLATE_NOOP("ImportList", "--add-existing ih dodaje"))};
    for (const QString& line : planLines(plan, choices, written, hints, std::size_t(-1)))
        writeText(stdout, line + QLatin1Char('\n'));
}

} // namespace

int main(int argc, char* argv[])
{
    CommandApplication application(argc, argv);
    CommandLine command(
        QStringLiteral("kolvara-import-list"),
        say(QT_TRANSLATE_NOOP("ImportList",
                              "Upisuje osobe iz LISTE (CSV ili Excel radna sveska .xlsx, prvi red naslovi kolona: "
                              "Ime, Prezime, Država, Grad, ili naslovi izvezene liste) u REGISTAR, sve u jednoj "
                              "transakciji. Države i gradovi se nalaze po imenu (slova se porede kao u pretrazi) "
                              "ili po broju. Prvo kaže šta bi upisao: nove osobe, one koje već postoje, mesta "
                              "kojih nema i redove koji se ne upisuju.\n"
                              "Izlazni kod: 0 upisano (ili samo provereno), 1 ništa nije upisano, 2 pogrešna "
                              "upotreba.")));
    command.addOption({QStringLiteral("check")}, say(QT_TRANSLATE_NOOP("ImportList", "samo kaže šta bi upisao")));
    command.addOption({QStringLiteral("add-places")},
                      say(QT_TRANSLATE_NOOP("ImportList", "dodaje države i gradove kojih nema u registru")));
    command.addOption({QStringLiteral("add-existing")},
                      say(QT_TRANSLATE_NOOP("ImportList", "upisuje i osobe koje već postoje")));
    command.addOption({QStringLiteral("encoding")},
                      say(QT_TRANSLATE_NOOP("ImportList", "pismo CSV datoteke: utf-8 ili windows-1250 (ako se "
                                                          "ne kaže: prepoznaje se)")),
                      QStringLiteral("E"));
    command.addPositional(say(QT_TRANSLATE_NOOP("ImportList", "REGISTAR")),
                          say(QT_TRANSLATE_NOOP("ImportList", "registar (datoteka ili URI)")));
    command.addPositional(say(QT_TRANSLATE_NOOP("ImportList", "LISTA")),
                          say(QT_TRANSLATE_NOOP("ImportList", "datoteka koja se čita: .csv ili .xlsx")));
    command.takesNames(2, 2);
    if (const int code = command.read(application.arguments()); code >= 0)
        return code;
    std::optional<list_import::Encoding> encoding;
    if (command.isSet(QStringLiteral("encoding"))) {
        const QString name = command.value(QStringLiteral("encoding")).toLower();
        if (name == QLatin1String("utf-8") || name == QLatin1String("utf8"))
            encoding = list_import::Encoding::Utf8;
        else if (name == QLatin1String("windows-1250") || name == QLatin1String("cp1250"))
            encoding = list_import::Encoding::Windows1250;
        else
            return command.refuse(say(QT_TRANSLATE_NOOP("ImportList", "--encoding je utf-8 ili windows-1250, ne "
                                                                      "„%1”."))
                                      .arg(name));
    }
    const ImportChoices choices{command.isSet(QStringLiteral("add-places")),
                                command.isSet(QStringLiteral("add-existing"))};
    const QString registerName = command.names().at(0);
    const QString listName = command.names().at(1);
    const QString connectAs = QString::fromStdString(askServerPassword(registerName.toStdString()));
    try {
        list_import::ListFile list = list_import::readListFile(listName, encoding);
        const ImportColumns columns = PersonsImport::columnsOf(list);
        TADOConnection connection;
        connection.setConnectionString(ConnectionString::forRegister(connectAs));
        if (command.isSet(QStringLiteral("check")))
            connection.setMode(cmRead);
        connection.Open();
        PersonsImport import(connection, std::move(list), columns);
        if (command.isSet(QStringLiteral("check"))) {
            describe(import.plan(choices), columns, choices, false);
            writeText(stdout, say(QT_TRANSLATE_NOOP("ImportList", "Ništa nije upisano (--check).\n")));
            return 0;
        }
        const bool terminal = ::isatty(STDERR_FILENO);
        const ImportPlan written = import.write(choices, [&](long long done, long long total) {
            if (terminal && done > 0) // none while the list is looked at again
                writeText(stderr, say(QT_TRANSLATE_NOOP("ImportList", "upisano %1 od %2\n")).arg(done).arg(total));
            return true;
        });
        describe(written, columns, choices, true);
    } catch (const Exception& failure) {
        writeText(stderr, QStringLiteral("kolvara-import-list: %1\n").arg(QString::fromStdString(failure.Message())));
        return 1;
    }
    return 0;
}
