#include "CommandLine.h"

#include "Language.h"
#include "RegisterName.h"

#include <QCoreApplication>

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("CommandLine", text);
}

} // namespace

CommandLine::CommandLine(const QString& name, const QString& description) : m_name(name)
{
    QCoreApplication::setApplicationName(name);
    QCoreApplication::setApplicationVersion(QStringLiteral(KOLVARA_VERSION));
    m_parser.setApplicationDescription(description);
    m_parser.addHelpOption();
    m_parser.addVersionOption();
}

void CommandLine::addOption(const QStringList& names, const QString& description, const QString& valueName)
{
    m_parser.addOption(QCommandLineOption(names, description, valueName));
    if (!valueName.isEmpty())
        m_valued.push_back(names.constFirst());
}

void CommandLine::addPositional(const QString& name, const QString& description, const QString& syntax)
{
    m_parser.addPositionalArgument(name, description, syntax);
}

void CommandLine::takesNames(int fewest, int most)
{
    m_fewest = fewest;
    m_most = most;
}

void CommandLine::contradict(const QString& one, const QString& other)
{
    m_contradictions.emplace_back(one, other);
}

CommandLine::Reading CommandLine::reading(const QStringList& arguments, QString& problem)
{
    if (!m_parser.parse(arguments)) {
        problem = m_parser.errorText();
        return Reading::Wrong;
    }
    if (m_parser.isSet(QStringLiteral("help")) || m_parser.isSet(QStringLiteral("help-all")))
        return Reading::Help;
    if (m_parser.isSet(QStringLiteral("version")))
        return Reading::Version;
    for (const QString& option : m_valued) {
        for (const QString& value : m_parser.values(option)) {
            if (value.trimmed().isEmpty()) {
                problem = say(QT_TRANSLATE_NOOP("CommandLine", "uz --%1 ide vrednost, a data je prazna.")).arg(option);
                return Reading::Wrong;
            }
        }
    }
    for (const auto& [one, other] : m_contradictions) {
        if (m_parser.isSet(one) && m_parser.isSet(other)) {
            problem = say(QT_TRANSLATE_NOOP("CommandLine", "--%1 i --%2 ne mogu zajedno: izaberite jednu."))
                          .arg(one, other);
            return Reading::Wrong;
        }
    }
    const QStringList names = m_parser.positionalArguments();
    if (names.size() < m_fewest) {
        problem = say(QT_TRANSLATE_NOOP("CommandLine", "nedostaje ime datoteke ili registra."));
        return Reading::Wrong;
    }
    if (names.size() > m_most) {
        problem = say(QT_TRANSLATE_NOOP("CommandLine", "previše imena: „%1” je suvišno.")).arg(names.at(m_most));
        return Reading::Wrong;
    }
    for (const QString& name : names) {
        if (name.trimmed().isEmpty()) {
            problem = say(QT_TRANSLATE_NOOP("CommandLine", "ime datoteke ili registra je prazno."));
            return Reading::Wrong;
        }
    }
    return Reading::GoOn;
}

int CommandLine::read(const QStringList& arguments)
{
    QString problem;
    switch (reading(arguments, problem)) {
    case Reading::GoOn:
        // It works, but every user of this computer can read it.
        for (const QString& name : names())
            if (db::namesPassword(name))
                writeText(stderr, QStringLiteral("%1: %2\n").arg(m_name, passwordWarning()));
        return -1;
    case Reading::Help:
        writeText(stdout, m_parser.helpText());
        return 0;
    case Reading::Version:
        writeText(stdout, QStringLiteral("%1 %2\n").arg(m_name, QCoreApplication::applicationVersion()));
        return 0;
    case Reading::Wrong:
        break;
    }
    return refuse(problem);
}

bool CommandLine::goesOn(const QStringList& arguments)
{
    QString problem;
    return reading(arguments, problem) == Reading::GoOn;
}

QString CommandLine::passwordWarning()
{
    return say(QT_TRANSLATE_NOOP("CommandLine", "upozorenje: lozinka u imenu registra vidljiva je svakom korisniku "
                                                "ovog računara (u spisku procesa). Stavite je u ~/.pgpass, ili je "
                                                "izostavite, pa će biti tražena."));
}

int CommandLine::refuse(const QString& message) const
{
    writeText(stderr, QStringLiteral("%1: %2\n").arg(m_name, message)
                          + say(QT_TRANSLATE_NOOP("CommandLine", "Za uputstvo: %1 --help\n")).arg(m_name));
    return 2;
}
