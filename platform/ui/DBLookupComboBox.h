#pragma once
// A drop-down list that shows a key field of one data source by a name taken
// from another: the country of a person by the country's name, say.
//
// The list holds the rows of the list source (key field, shown field), in its
// order and under its filter. The box shows the name whose key equals the
// data field of the current row; choosing a name stores its key in that field,
// putting the data set into edit state first. Where a key alone does not name
// one row of the list (a city number is one within its country), matchField
// names a further field, present in both, that must agree for the name shown:
// the city box shows the city of the person's own country. Typing the beginning of a name
// selects it. OnEnter and OnExit follow the keyboard focus (a drop-down list
// opening, or another application taking the focus, is no exit).

#include "DataControl.h"
#include "DataSource.h"

#include <QComboBox>

class TDBLookupComboBox : public QComboBox, public TDataControl {
    Q_OBJECT
    Q_PROPERTY(QString dataSource READ dataSourceName WRITE setDataSourceName)
    Q_PROPERTY(QString dataField READ dataField WRITE setDataField)
    Q_PROPERTY(QString listSource READ listSourceName WRITE setListSourceName)
    Q_PROPERTY(QString keyField READ keyField WRITE setKeyField)
    Q_PROPERTY(QString listField READ listField WRITE setListField)
    Q_PROPERTY(QString matchField READ matchField WRITE setMatchField)
public:
    explicit TDBLookupComboBox(QWidget* parent = nullptr);

    QString dataSourceName() const { return m_sourceName; }
    void setDataSourceName(const QString& name) { m_sourceName = name; }
    QString dataField() const { return m_dataField; }
    void setDataField(const QString& name) { m_dataField = name; }
    QString listSourceName() const { return m_listSourceName; }
    void setListSourceName(const QString& name) { m_listSourceName = name; }
    QString keyField() const { return m_keyField; }
    void setKeyField(const QString& name) { m_keyField = name; }
    QString listField() const { return m_listField; }
    void setListField(const QString& name) { m_listField = name; }
    QString matchField() const { return m_matchField; }
    void setMatchField(const QString& name) { m_matchField = name; }

    void bindData(QObject* form) override;
    void setSources(TDataSource* data, TDataSource* list);

signals:
    void OnEnter(QObject* Sender);
    void OnExit(QObject* Sender);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Hears the two sources on behalf of the box.
    class Link : public TDataLink {
    public:
        Link(TDBLookupComboBox* box, bool list) : m_box(box), m_list(list) {}
        void dataEvent(TDataEvent event, TField* field) override;

    private:
        TDBLookupComboBox* m_box;
        bool m_list;
    };

    TField* field() const;
    TField* matchingField() const; // the data source's matchField, if any
    void fillList();    // the names of the list source's rows
    void showCurrent(); // the name for the current row's key
    void chosen(int index);

    TDataSource* m_source = nullptr;
    TDataSource* m_listSource = nullptr;
    Link m_dataLink{this, false};
    Link m_listLink{this, true};
    QString m_sourceName, m_dataField, m_listSourceName, m_keyField, m_listField, m_matchField;
    enum ItemRole { KeyRole = Qt::UserRole, MatchRole };
    bool m_updating = false;
};
