#include "Messages.h"

#include <QStringList>

namespace db {

std::string danglingReferenceMessage(const std::vector<std::string>& labels, const std::vector<std::string>& values)
{
    if (labels.size() == 1)
        return QCoreApplication::translate("Register", "Nije sačuvano: %1 %2 ne postoji u registru.")
            .arg(QString::fromStdString(labels[0]), QString::fromStdString(values[0]))
            .toStdString();
    QStringList described;
    for (std::size_t i = 0; i < labels.size(); ++i)
        described << QString::fromStdString(labels[i] + " " + values[i]);
    return QCoreApplication::translate("Register", "Nije sačuvano: %1 (%2) ne postoji u registru.")
        .arg(QString::fromStdString(labels.back()), described.join(QStringLiteral(", ")))
        .toStdString();
}

QString shownValue(FieldKind kind, const CellValue& value)
{
    if (value.null)
        return QCoreApplication::translate("Register", "(bez vrednosti)");
    if (kind == FieldKind::Integer)
        return QString::number(value.integer);
    // A control character shows as a sign (a line break as ↵, a tab as →,
    // others as �) that the window's fonts have, so that a value cannot
    // pass for more lines of the message; first-strong isolates keep a
    // right-to-left name from carrying the quotes and the sentence with it.
    QString text = QString::fromStdString(value.text);
    for (QChar& c : text)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QChar(0x21B5);
        else if (c == QLatin1Char('\t'))
            c = QChar(0x2192);
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QChar(0xFFFD);
    return QCoreApplication::translate("Register", "„%1”")
        .arg(QStringLiteral("\u2068") + text + QStringLiteral("\u2069"));
}

std::string notWholeNumberMessage(const std::string& stored, const std::string& label)
{
    return QCoreApplication::translate("Register", "Registar je sačuvao „%1” kao %2, a to nije ceo broj.")
        .arg(QString::fromStdString(stored), QString::fromStdString(label))
        .toStdString();
}

std::string missingValueMessage(const std::string& label)
{
    return QCoreApplication::translate("Register", "Nije sačuvano: nedostaje %1.")
        .arg(QString::fromStdString(label))
        .toStdString();
}

namespace {

// The data layer's texts as the engines' messages carry them.
std::string sayText(const char* text)
{
    return say(text).toStdString();
}

} // namespace

std::string busyMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register",
                                 "Nije sačuvano: drugi program upravo piše u registar. Pokušajte ponovo za trenutak."));
}

std::string lockedMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register",
                                 "Registar je zaključao drugi program koji upravo piše u njega. Pokušajte ponovo za "
                                 "trenutak."));
}

std::string readOnlyMessage(const std::string& detail)
{
    return QCoreApplication::translate("Register", "Nije sačuvano: registar se sada može samo čitati (%1).")
        .arg(QString::fromStdString(detail))
        .toStdString();
}

std::string rightsMessage(bool reading)
{
    return reading ? sayText(QT_TRANSLATE_NOOP("Register",
                                               "Registar ne može da se pročita: ovaj radni sto nema pravo da ga "
                                               "čita. Zamolite onoga ko upravlja serverom registra da vašoj ulozi "
                                               "da to pravo."))
                   : sayText(QT_TRANSLATE_NOOP("Register",
                                               "Nije sačuvano: ovaj radni sto nema pravo da menja registar. Ako treba "
                                               "da menjate, zamolite onoga ko upravlja serverom registra da vašoj "
                                               "ulozi da to pravo."));
}

std::string diskFullMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register", "Nije sačuvano: disk je pun. Oslobodite prostor i sačuvajte ponovo."));
}

std::string duplicateKeyMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register", "Nije sačuvano: u registru već postoji zapis s tim brojem."));
}

std::string brokenRuleMessage(const std::string& rule)
{
    return QCoreApplication::translate("Register", "Nije sačuvano: vrednost ne ispunjava pravilo registra „%1”.")
        .arg(QString::fromStdString(rule))
        .toStdString();
}

std::string unknownReferenceMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register", "Nije sačuvano: zapis upućuje na nešto čega u registru nema."));
}

std::string stillReferencedMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register",
                                 "Nije obrisano: drugi zapisi registra još upućuju na ovaj. Prvo njih izmenite ili "
                                 "obrišite."));
}

std::string transactionOpenMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register", "Veza već ima otvorenu transakciju."));
}

std::string noTransactionMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register", "Veza nema otvorenu transakciju."));
}

std::string severalStatementsMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register", "SQL tekst ima više od jedne naredbe, a odjednom se izvršava samo jedna."));
}

std::string conflictMessage()
{
    return sayText(QT_TRANSLATE_NOOP("Register",
                                 "Nije sačuvano: drugi korisnik je u isto vreme menjao iste zapise registra. Ništa "
                                 "nije upisano; pokušajte ponovo."));
}

} // namespace db
