#pragma once
// The language of the program's texts, for the window and the commands
// alike: Serbian (Latin script), the program's own, or English where the
// desktop asks for it. kolvara_en.qm holds the English of the program's
// texts; qt_sr.qm the Serbian of Qt's own texts that a person meets, which
// Qt does not ship. Both are compiled into the program.

#include <QCoreApplication>
#include <QStringList>
#include <QTranslator>

#include <cstdio>

class TextLanguage {
public:
    // Shows the program's texts, and Qt's, in the first language of
    // preferred (tags such as "en-US" or "sr") that the program has; in
    // Serbian when it has none of them. Returns the language chosen ("sr"
    // or "en"). Needs the application object; texts translated afterwards
    // follow it.
    QString use(const QStringList& preferred);
    // The same for the desktop's own list of languages.
    QString useDesktops();

private:
    QTranslator m_ownTexts;
    QTranslator m_qtTexts;
};

// What every command of the program starts with: the application object,
// its texts in the desktop's language.
class CommandApplication : public QCoreApplication {
public:
    CommandApplication(int& argc, char** argv) : QCoreApplication(argc, argv) { m_language.useDesktops(); }

private:
    TextLanguage m_language;
};

// Writes a text of a command to a stream, in UTF-8, for a person to read.
void writeText(std::FILE* to, const QString& text);
