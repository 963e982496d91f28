#pragma once
// A data set over all rows of one table, in the table's own order.
// Rows are written back to the table by their row id.

#include "DataSet.h"

class TADOTable : public TDataSet {
    Q_OBJECT
public:
    explicit TADOTable(QObject* owner = nullptr) : TDataSet(owner) {}

    QString TableName() const { return m_tableName; }
    void setTableName(const QString& name);

protected:
    std::string selectText() const override;
    bool firstColumnIsRowid() const override { return true; }
    std::string tableName() const override { return m_tableName.toStdString(); }
    std::string describe() const override;

private:
    QString m_tableName;
};
