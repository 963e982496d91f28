#include "ConnectionString.h"
#include "RegisterName.h"

#include "Exception.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// Keywords after which a "Data Source" value may end. Anything else that looks
// like "word=" inside a path is part of the path.
bool isKnownKeyword(const QString& key)
{
    static const char* const known[] = {
        "Provider", "Data Source", "Persist Security Info", "User ID", "Password",
        "Mode", "Extended Properties", "Initial Catalog", "Locale Identifier",
        "Prompt", "Connect Timeout", "Integrated Security",
    };
    for (const char* k : known)
        if (key.compare(QLatin1String(k), Qt::CaseInsensitive) == 0)
            return true;
    return key.startsWith(QLatin1String("Jet OLEDB:"), Qt::CaseInsensitive);
}

bool isDataSource(const QString& key)
{
    return key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0;
}

// Does text, from pos on, start with "keyword =" for a keyword that may end
// the value being read?
bool startsPair(const QString& text, qsizetype pos, bool onlyKnown)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='), pos);
    if (eq < 0)
        return false;
    const QString key = text.mid(pos, eq - pos).trimmed();
    if (key.isEmpty())
        return false;
    if (onlyKnown)
        return isKnownKeyword(key);
    for (QChar c : key)
        if (!(c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char(':')
              || c == QLatin1Char('_') || c == QLatin1Char('.')))
            return false;
    return true;
}

} // namespace

ConnectionString ConnectionString::parse(const QString& text)
{
    ConnectionString result;
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        while (pos < n && (text[pos] == QLatin1Char(';') || text[pos].isSpace()))
            ++pos;
        if (pos >= n)
            break;
        const qsizetype eq = text.indexOf(QLatin1Char('='), pos);
        if (eq < 0)
            throw Exception(QCoreApplication::translate("Register", "Opis veze: „%1” nema „=” između ključne reči "
                                                                    "i vrednosti.")
                                .arg(text.mid(pos)));
        const QString key = text.mid(pos, eq - pos).trimmed();
        pos = eq + 1;

        qsizetype start = pos;
        while (start < n && text[start] == QLatin1Char(' '))
            ++start;
        QString value;
        if (start < n && (text[start] == QLatin1Char('"') || text[start] == QLatin1Char('\''))) {
            const QChar quote = text[start];
            qsizetype i = start + 1;
            bool closed = false;
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                throw Exception(QCoreApplication::translate("Register", "Opis veze: vrednost „%1” pod navodnicima "
                                                                        "nije zatvorena.")
                                    .arg(key));
            pos = i;
            while (pos < n && text[pos] != QLatin1Char(';'))
                ++pos;
        } else {
            // A data source runs on to a semicolon before a known keyword;
            // any other value ends at the next semicolon before "word=".
            const bool onlyKnown = isDataSource(key);
            qsizetype end = pos;
            for (;;) {
                end = text.indexOf(QLatin1Char(';'), end);
                if (end < 0) {
                    end = n;
                    break;
                }
                if (startsPair(text, end + 1, onlyKnown) || end + 1 >= n)
                    break;
                ++end;
            }
            value = text.mid(pos, end - pos);
            if (!onlyKnown)
                value = value.trimmed();
            pos = end;
        }
        result.m_entries.emplace_back(key, value);
    }
    return result;
}

QString ConnectionString::value(const QString& keyword) const
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (it->first.compare(keyword, Qt::CaseInsensitive) == 0)
            return it->second.isNull() ? QString(QLatin1String("")) : it->second;
    return QString();
}

QString ConnectionString::forFile(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path
           + QStringLiteral(";Persist Security Info=False");
}

QString ConnectionString::forRegister(const QString& name)
{
    return forFile(db::isServerRegister(name) ? name : QFileInfo(name).absoluteFilePath());
}
