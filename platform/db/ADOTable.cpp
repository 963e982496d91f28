#include "ADOTable.h"


void TADOTable::setTableName(const QString& name)
{
    checkInactive("rename the table of");
    m_tableName = name;
}

std::string TADOTable::selectText() const
{
    if (m_tableName.isEmpty())
        throw Exception(describe() + " names no table.");
    return engine().tableStatement(m_tableName.toStdString(), {});
}

std::string TADOTable::describe() const
{
    const std::string table = m_tableName.isEmpty() ? std::string("?") : m_tableName.toStdString();
    return (objectName().isEmpty() ? std::string("The table") : objectName().toStdString()) + " (table " + table + ")";
}
