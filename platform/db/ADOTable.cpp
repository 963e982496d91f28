#include "ADOTable.h"

#include <QCoreApplication>


void TADOTable::setTableName(const QString& name)
{
    checkInactive(QT_TRANSLATE_NOOP("Register", "menjanje tabele"));
    m_tableName = name;
}

std::string TADOTable::selectText() const
{
    if (m_tableName.isEmpty())
        throw Exception(QCoreApplication::translate("Register", QT_TRANSLATE_NOOP("Register", "%1 ne navodi tabelu."))
                            .arg(QString::fromStdString(describe())));
    return engine().tableStatement(m_tableName.toStdString(), {});
}

std::string TADOTable::describe() const
{
    const std::string table = m_tableName.isEmpty() ? std::string("?") : m_tableName.toStdString();
    return (objectName().isEmpty() ? std::string("The table") : objectName().toStdString()) + " (table " + table + ")";
}
