#pragma once
// An edit box for one field of a data source's current row.
//
// It shows the field's text. The first change the user types puts the data
// set into edit state (through Edit, so the data set's BeforeEdit runs); if
// the data set refuses, the box shows the field again. A text field's box
// takes a line of at most the field's size in characters (LineTextValidator),
// and an integer field's digits and a sign only. What was
// typed reaches the field when the data set is about to save and when the box
// loses focus.

#include "DataControl.h"
#include "DataSource.h"

#include <QLineEdit>

class TDBEdit : public QLineEdit, public TDataControl, public TDataLink {
    Q_OBJECT
    Q_PROPERTY(QString dataSource READ dataSourceName WRITE setDataSourceName)
    Q_PROPERTY(QString dataField READ dataField WRITE setDataField)
public:
    explicit TDBEdit(QWidget* parent = nullptr);

    QString dataSourceName() const { return m_sourceName; }
    void setDataSourceName(const QString& name) { m_sourceName = name; }
    QString dataField() const { return m_fieldName; }
    void setDataField(const QString& name) { m_fieldName = name; }
    void bindData(QObject* form) override;
    void setDataSource(TDataSource* source);

    // The text the box shows for its field.
    QString Text() const { return text(); }

    void dataEvent(TDataEvent event, TField* field) override;

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Escape belongs to the box while it holds something typed (to take
    // that back), and to the window's shortcut (cancel the row) otherwise.
    bool event(QEvent* event) override;

private:
    TField* field() const;
    void showField();
    void userEdited();
    void handOver(); // puts the typed text into the field
    TDataSource* m_source = nullptr;
    QString m_sourceName;
    QString m_fieldName;
    bool m_typed = false;   // the text holds something not yet in the field
    bool m_showing = false; // the box itself is changing its text
};
