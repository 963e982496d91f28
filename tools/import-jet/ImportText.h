#pragma once
// The import's texts for a person, in the program's language (written in
// Serbian, translated like every text of the program; lupdate finds them by
// QT_TRANSLATE_NOOP with the context "ImportJet").

#include <QCoreApplication>
#include <QString>

#include <string>
#include <type_traits>

namespace import_text {

inline QString toText(const std::string& value)
{
    return QString::fromStdString(value);
}
inline QString toText(const char* value)
{
    return QString::fromUtf8(value);
}
template <typename Number, typename = std::enable_if_t<std::is_arithmetic_v<Number>>>
QString toText(Number value)
{
    return QString::number(value);
}

// text with %1, %2 ... replaced by the values, in that order.
template <typename... Values>
std::string say(const char* text, const Values&... values)
{
    const QString translated = QCoreApplication::translate("ImportJet", text);
    if constexpr (sizeof...(Values) == 0)
        return translated.toStdString();
    else
        return translated.arg(toText(values)...).toStdString();
}

} // namespace import_text
