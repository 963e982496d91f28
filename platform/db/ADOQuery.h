#pragma once
// A data set over the rows of an SQL statement.
//
// The statement is the SQL text: a list of lines, run as one text with the
// lines joined by line feeds. Changing the text of an open query closes it.
// A query whose rows come from one table's key (its auto-increment field, or
// a column that alone is its table's primary key) can be edited: the fields
// of that table are written to it, the others are not.

#include "DataSet.h"

#include <string>
#include <vector>

class TADOQuery;

// The SQL text of a query.
class TSQLText {
public:
    void Clear();
    void Add(const std::string& line);
    int Count() const { return static_cast<int>(m_lines.size()); }
    const std::string& operator[](int index) const { return m_lines.at(index); }
    // The lines joined by line feeds.
    std::string Text() const;
    void setText(const std::vector<std::string>& lines);

private:
    friend class TADOQuery;
    explicit TSQLText(TADOQuery* owner) : m_owner(owner) {}
    TADOQuery* m_owner;
    std::vector<std::string> m_lines;
};

class TADOQuery : public TDataSet {
    Q_OBJECT
public:
    explicit TADOQuery(QObject* owner = nullptr) : TDataSet(owner), m_sql(this) {}

    TSQLText& SQL() { return m_sql; }
    const TSQLText& SQL() const { return m_sql; }
    void setSQL(const std::vector<std::string>& lines) { m_sql.setText(lines); }

protected:
    std::string selectText() const override { return m_sql.Text(); }
    std::string describe() const override;

private:
    friend class TSQLText;
    TSQLText m_sql;
};
