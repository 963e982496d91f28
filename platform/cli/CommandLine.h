#pragma once
// The command line of the program and of its commands, read by Qt's
// QCommandLineParser. Every one of them so answers --help and --version,
// takes --option=value, --option value and -- (the end of the options), and
// ends with 2 after one plain line that names what was wrong: an unknown
// option, a missing or empty value, two options that contradict each other,
// too few or too many names. --help and --version end with 0.
//
// Texts are translated when the parser is filled, so the application object
// and the language come first. A register named with its password works,
// with a warning: the process list shows it to every user of the computer.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class CommandLine {
public:
    // name: the command as a person types it; description: what it does,
    // printed by --help under the usage line.
    CommandLine(const QString& name, const QString& description);

    // An option without a value, or with one when valueName is given.
    void addOption(const QStringList& names, const QString& description, const QString& valueName = {});
    // A name given after the options, in the order they come.
    void addPositional(const QString& name, const QString& description, const QString& syntax = {});
    // How many names the command takes after its options.
    void takesNames(int fewest, int most);
    // Two options that cannot be given together.
    void contradict(const QString& one, const QString& other);

    // Reads arguments (the program's name first). Returns -1 when the
    // command is to go on; otherwise it has printed the help, the version
    // or what was wrong, and returns the exit code to end with.
    int read(const QStringList& arguments);
    // Reads arguments without printing anything: whether read() would go on.
    // Needs no application object.
    bool goesOn(const QStringList& arguments);

    bool isSet(const QString& name) const { return m_parser.isSet(name); }
    QString value(const QString& name) const { return m_parser.value(name); }
    QStringList names() const { return m_parser.positionalArguments(); }

    // The warning given for a register named with its password, by every
    // command and by the window, in the person's language.
    static QString passwordWarning();

    // Prints "name: message" and how to ask for help, for a wrong use found
    // after reading (a number out of range, say); returns 2.
    int refuse(const QString& message) const;

private:
    enum class Reading { GoOn, Help, Version, Wrong };
    Reading reading(const QStringList& arguments, QString& problem);

    QString m_name;
    QCommandLineParser m_parser;
    std::vector<QString> m_valued;
    std::vector<std::pair<QString, QString>> m_contradictions;
    int m_fewest = 0;
    int m_most = 0;
};
