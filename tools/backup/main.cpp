// kolvara-backup: the copies the program keeps of a register file, by hand:
// one taken now (replacing the day's copy, which the window takes once a
// day), the list of them, or one put back in the register's place. Where
// they are kept and which are kept: RegisterBackup.h.

#include "CommandLine.h"
#include "Exception.h"
#include "Language.h"
#include "RegisterBackup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("Backup", text);
}

QString quoted(const QString& path)
{
    return QStringLiteral("\u201E") + path + QStringLiteral("\u201D");
}

// A copy named by its day: the newest copy of that day, or "" for none.
QString copyOfDay(const QString& registerPath, const QString& text)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (!day.isValid())
        return {};
    for (const backup::Copy& copy : backup::listBackups(registerPath))
        if (copy.day == day)
            return copy.path;
    return {};
}

} // namespace

int main(int argc, char* argv[])
{
    CommandApplication application(argc, argv);
    CommandLine command(
        QStringLiteral("kolvara-backup"),
        say(QT_TRANSLATE_NOOP("Backup",
                              "Pravi rezervnu kopiju datoteke REGISTAR sada (današnja kopija, ako je već ima, biva "
                              "zamenjena), navodi njene kopije (--list) ili vraća jednu na njeno mesto (--restore). "
                              "Kopije se čuvaju u $XDG_DATA_HOME/kolvara/backups (~/.local/share/kolvara/backups), u "
                              "fascikli svakog registra: najnovija kopija svakog od poslednjih 7 dana i svake od 4 "
                              "nedelje pre njih. Vraćanje prvo proveri kopiju, a dotadašnji registar ostavi pored "
                              "njega pod imenom sa „.before-restore-” i vremenom. Registar na serveru kopira "
                              "pg_dump.\n"
                              "Izlazni kod: 0 urađeno, 1 nije uspelo (razlog je napisan), 2 pogrešna upotreba.")));
    command.addOption({QStringLiteral("list")},
                      say(QT_TRANSLATE_NOOP("Backup", "navedi kopije registra, najnoviju prvu: datum, veličina u "
                                                      "bajtovima, putanja")));
    command.addOption({QStringLiteral("restore")},
                      say(QT_TRANSLATE_NOOP("Backup", "vrati KOPIJU (putanju ili datum iz --list) na mesto registra")),
                      say(QT_TRANSLATE_NOOP("Backup", "KOPIJA")));
    command.addPositional(say(QT_TRANSLATE_NOOP("Backup", "REGISTAR")),
                          say(QT_TRANSLATE_NOOP("Backup", "datoteka registra")));
    command.takesNames(1, 1);
    command.contradict(QStringLiteral("list"), QStringLiteral("restore"));
    if (const int code = command.read(application.arguments()); code >= 0)
        return code;
    const QString registerPath = command.names().at(0);
    try {
        if (command.isSet(QStringLiteral("list"))) {
            const QList<backup::Copy> copies = backup::listBackups(registerPath);
            if (copies.isEmpty())
                writeText(stdout, say(QT_TRANSLATE_NOOP("Backup", "Registar %1 još nema rezervnih kopija (u %2).\n"))
                                      .arg(quoted(registerPath), quoted(backup::folderFor(registerPath))));
            for (const backup::Copy& copy : copies) {
                QString when = copy.day.toString(Qt::ISODate);
                if (copy.time.isValid())
                    when += QLatin1Char(' ') + copy.time.toString(QStringLiteral("HH:mm:ss"));
                writeText(stdout, QStringLiteral("%1  %2  %3\n").arg(when).arg(copy.size).arg(copy.path));
            }
        } else if (command.isSet(QStringLiteral("restore"))) {
            QString copy = command.value(QStringLiteral("restore"));
            if (!QFileInfo::exists(copy)) {
                if (const QString ofDay = copyOfDay(registerPath, copy); !ofDay.isEmpty())
                    copy = ofDay;
            }
            const QString aside = backup::restoreBackup(registerPath, copy);
            writeText(stdout, aside.isEmpty()
                                  ? say(QT_TRANSLATE_NOOP("Backup", "Registar %1 je vraćen iz kopije %2; "
                                                                    "dotadašnjeg registra nije bilo.\n"))
                                        .arg(quoted(registerPath), quoted(copy))
                                  : say(QT_TRANSLATE_NOOP("Backup", "Registar %1 je vraćen iz kopije %2; "
                                                                    "dotadašnji je sačuvan kao %3.\n"))
                                        .arg(quoted(registerPath), quoted(copy), quoted(aside)));
        } else {
            const QString path = backup::takeBackup(registerPath);
            writeText(stdout, say(QT_TRANSLATE_NOOP("Backup", "Kopija registra %1 je u %2 (%3 MB).\n"))
                                  .arg(quoted(registerPath), quoted(path))
                                  .arg(QLocale::system().toString(QFileInfo(path).size() / 1e6, 'f', 1)));
        }
    } catch (const Exception& failure) {
        writeText(stderr, QStringLiteral("kolvara-backup: %1\n").arg(QString::fromStdString(failure.Message())));
        return 1;
    }
    return 0;
}
