#include "Language.h"

#include <QCoreApplication>
#include <QLocale>

QString TextLanguage::use(const QStringList& preferred)
{
    QString language = QStringLiteral("sr");
    for (const QString& tag : preferred) {
        const QString code = tag.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
        if (code == QLatin1String("sr") || code == QLatin1String("en")) {
            language = code;
            break;
        }
    }
    QCoreApplication::removeTranslator(&m_ownTexts);
    QCoreApplication::removeTranslator(&m_qtTexts);
    // The program is written in Serbian; Qt's own texts are written in English.
    if (language == QLatin1String("en") && m_ownTexts.load(QStringLiteral(":/i18n/kolvara_en.qm")))
        QCoreApplication::installTranslator(&m_ownTexts);
    if (language == QLatin1String("sr") && m_qtTexts.load(QStringLiteral(":/i18n/qt_sr.qm")))
        QCoreApplication::installTranslator(&m_qtTexts);
    return language;
}

QString TextLanguage::useDesktops()
{
    return use(QLocale::system().uiLanguages());
}

void writeText(std::FILE* to, const QString& text)
{
    std::fputs(text.toUtf8().constData(), to);
}
