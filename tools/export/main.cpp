// kolvara-export: the rows the window would list for four search texts,
// written to a CSV file or an Excel workbook, for scripts. The same
// statement as the window's, the same writer as its "Izvezi listu…".

#include "ADOConnection.h"
#include "ADOQuery.h"
#include "CommandLine.h"
#include "ConnectionString.h"
#include "Exception.h"
#include "Field.h"
#include "Language.h"
#include "ListExport.h"
#include "PersonsStatement.h"
#include "ServerRegister.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("Export", text);
}

} // namespace

int main(int argc, char* argv[])
{
    CommandApplication application(argc, argv);
    CommandLine command(
        QStringLiteral("kolvara-export"),
        say(QT_TRANSLATE_NOOP("Export",
                              "Piše osobe iz REGISTRA koje bi prozor prikazao za date početke imena, prezimena, "
                              "države i grada, njegovim redom i sa njegovim naslovima kolona, u IZLAZ: CSV "
                              "(UTF-8, RFC 4180) ili Excel radnu svesku (.xlsx). IZLAZ se pojavljuje ceo ili "
                              "nikako; postojeći ostaje kakav je, osim uz --force. Registar na serveru se "
                              "navodi URI-jem (postgresql://korisnik@server/baza).\n"
                              "Izlazni kod: 0 zapisano, 1 ništa nije zapisano, 2 pogrešna upotreba.")));
    const struct {
        const char* option;
        const char* description;
    } boxes[] = {{"ime", QT_TRANSLATE_NOOP("Export", "početak imena")},
                 {"prezime", QT_TRANSLATE_NOOP("Export", "početak prezimena")},
                 {"drzava", QT_TRANSLATE_NOOP("Export", "početak naziva države")},
                 {"grad", QT_TRANSLATE_NOOP("Export", "početak naziva grada")}};
    for (const auto& box : boxes)
        command.addOption({QString::fromLatin1(box.option)}, say(box.description), QStringLiteral("T"));
    command.addOption({QStringLiteral("force")}, say(QT_TRANSLATE_NOOP("Export", "zameni postojeći IZLAZ")));
    command.addPositional(say(QT_TRANSLATE_NOOP("Export", "REGISTAR")),
                          say(QT_TRANSLATE_NOOP("Export", "registar (datoteka ili URI)")));
    command.addPositional(say(QT_TRANSLATE_NOOP("Export", "IZLAZ")),
                          say(QT_TRANSLATE_NOOP("Export", "datoteka koja se piše: .csv ili .xlsx")));
    command.takesNames(2, 2);
    if (const int code = command.read(application.arguments()); code >= 0)
        return code;
    const QString registerName = command.names().at(0);
    const QString out = command.names().at(1);
    if (QFileInfo::exists(out) && !command.isSet(QStringLiteral("force"))) {
        writeText(stderr, QStringLiteral("kolvara-export: %1\n")
                              .arg(say(QT_TRANSLATE_NOOP("Export", "„%1” već postoji; ostaje kakav je (--force ga "
                                                                   "zamenjuje)."))
                                       .arg(out)));
        return 1;
    }
    const QString connectAs = QString::fromStdString(askServerPassword(registerName.toStdString()));
    try {
        TADOConnection connection;
        connection.setConnectionString(ConnectionString::forRegister(connectAs));
        connection.setMode(cmRead);
        connection.Open();
        TADOQuery list;
        list.setConnection(&connection);
        list.SQL().Add(personsStatement(command.value("ime").toStdString(), command.value("prezime").toStdString(),
                                        command.value("drzava").toStdString(), command.value("grad").toStdString()));
        list.Open();
        QStringList titles;
        for (const std::string& column : personsColumns())
            titles << QString::fromStdString(column);
        list_export::writeList(list, titles, out);
        writeText(stdout, say(QT_TRANSLATE_NOOP("Export", "Zapisano je %1 osoba u %2.\n"))
                              .arg(list.RecordCount())
                              .arg(out));
    } catch (const Exception& failure) {
        writeText(stderr, QStringLiteral("kolvara-export: %1\n").arg(QString::fromStdString(failure.Message())));
        return 1;
    }
    return 0;
}
