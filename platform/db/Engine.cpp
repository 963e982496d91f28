#include "Engine.h"

#include <QCoreApplication>

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

std::string missingValueMessage(const std::string& label)
{
    return QCoreApplication::translate("Register", "Nije sačuvano: nedostaje %1.")
        .arg(QString::fromStdString(label))
        .toStdString();
}

} // namespace db
