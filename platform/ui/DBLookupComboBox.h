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
// the city box shows the city of the person's own country.
//
// Typing finds names by their beginning, letters compared as the search
// boxes compare them ("zag" finds "Zagreb", "š" finds "Šabac"), and offers
// them in a list under the box. Nothing is chosen that was not typed: Enter,
// or leaving the box, chooses the name typed, or the one name that begins
// so; Enter on several opens the list. When no name begins so, the box says
// so (its notice(), also its accessible description) and Enter asks to add
// the name (addRequested). A typed text that names nothing stays in the box
// and refuses the save of the row, with a message. Escape closes an open
// list, and only that; a second Escape takes back the box's typing; only a
// box with nothing typed lets Escape reach the window.
//
// OnEnter and OnExit follow the keyboard focus (a drop-down list
// opening, or another application taking the focus, is no exit).

#include "DataControl.h"
#include "DataSource.h"

#include <QComboBox>

#include <functional>
#include <vector>

class QCompleter;
class QLabel;
class QStandardItemModel;

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

    // What the box tells when no name begins with typed (shown as a value);
    // unset, it says so in general words.
    std::function<QString(const QString& typed)> describeMissing;
    // What the box tells now of what was typed into it; empty when nothing.
    QString notice() const { return m_notice; }
    // Whether text typed into the box is not chosen yet.
    bool typing() const { return m_typing; }

signals:
    void OnEnter(QObject* Sender);
    void OnExit(QObject* Sender);
    // Enter on a name no entry of the list begins with: add it?
    void addRequested(const QString& typed);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

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
    // The entries whose names begin with text, in the list's order.
    std::vector<int> beginningWith(const QString& text) const;
    // The entry text names: its own name, or the one name beginning so; -1.
    int named(const QString& text) const;
    void typed(const QString& text);
    // Chooses what was typed where it names one entry; says why not otherwise.
    bool resolveTyping();
    void setNotice(const QString& text);
    void showMatches(const std::vector<int>& rows);
    // Escape and Enter while a name is typed (see above); whether the key was taken.
    bool handleKey(QKeyEvent* event);
    void enterPressed();

    TDataSource* m_source = nullptr;
    TDataSource* m_listSource = nullptr;
    Link m_dataLink{this, false};
    Link m_listLink{this, true};
    QString m_sourceName, m_dataField, m_listSourceName, m_keyField, m_listField, m_matchField;
    enum ItemRole { KeyRole = Qt::UserRole, MatchRole };
    bool m_updating = false;
    bool m_typing = false;
    QString m_notice;
    QLabel* m_noticeLabel = nullptr; // shows m_notice under the box
    QCompleter* m_completer = nullptr;
    QStandardItemModel* m_matches = nullptr; // the completer's: names, and each one's entry
};
