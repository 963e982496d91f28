#pragma once
// The link between one data set and the controls that show it.
//
// A data set tells its data sources every change of position, state, rows or
// values; a data source passes each to the controls linked to it (TDataLink)
// and fires OnDataChange for every change that may alter what the current
// row shows: open and close, moving, rows changed, a field set, a change of
// state (edit, insert, browse). The handler reads what it needs afresh.
//
// One exception: controls hear of a close only when control is back in the
// event loop, and not at all if the data set was opened again by then (a
// search closes the list and opens it at once). The handler hears of every
// close at once.

#include "Component.h"
#include "DataSet.h"

#include <QList>

#include <functional>

// A control's view of a data source. Implementations live with the controls.
class TDataLink {
public:
    virtual ~TDataLink();
    // event: what happened; field: the field set (FieldChange) or null.
    virtual void dataEvent(TDataEvent event, TField* field) = 0;

private:
    friend class TDataSource;
    class TDataSource* m_linkedSource = nullptr;
};

class TDataSource : public TComponent {
    Q_OBJECT
public:
    explicit TDataSource(QObject* owner = nullptr) : TComponent(owner) {}
    ~TDataSource() override;

    TDataSet* DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet* dataSet);
    // dsInactive without a data set.
    TDataSetState State() const { return m_dataSet ? m_dataSet->State() : dsInactive; }

    void addLink(TDataLink* link);
    void removeLink(TDataLink* link);

    // A plain callback (see TDataSet's events): what it throws reaches the
    // data-set operation that caused the change.
    std::function<void(QObject* Sender, TField* Field)> OnDataChange;

private:
    friend class TDataSet;
    void dataEvent(TDataEvent event, TField* field);
    void tellLinks(TDataEvent event, TField* field);
    void tellClose();

    TDataSet* m_dataSet = nullptr;
    bool m_closeToTell = false; // closed; controls are told once control is back in the event loop
    QList<TDataLink*> m_links;
};
