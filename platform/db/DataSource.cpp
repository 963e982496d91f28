#include "DataSource.h"

TDataLink::~TDataLink()
{
    if (m_linkedSource)
        m_linkedSource->removeLink(this);
}

TDataSource::~TDataSource()
{
    if (m_dataSet)
        m_dataSet->detachSource(this);
    for (TDataLink* link : m_links)
        link->m_linkedSource = nullptr;
}

void TDataSource::setDataSet(TDataSet* dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->detachSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->attachSource(this);
    // Controls show the new data set at once; the handler hears of it only
    // when there is something to tell (the data set is open).
    const QList<TDataLink*> links = m_links;
    for (TDataLink* link : links)
        link->dataEvent(TDataEvent::ActiveChange, nullptr);
    if (m_dataSet && m_dataSet->Active())
        emit OnDataChange(this, nullptr);
}

void TDataSource::addLink(TDataLink* link)
{
    if (link->m_linkedSource == this)
        return;
    if (link->m_linkedSource)
        link->m_linkedSource->removeLink(link);
    link->m_linkedSource = this;
    m_links.append(link);
}

void TDataSource::removeLink(TDataLink* link)
{
    m_links.removeAll(link);
    link->m_linkedSource = nullptr;
}

void TDataSource::dataEvent(TDataEvent event, TField* field)
{
    // A link may remove itself (or others) while being told: walk a copy.
    const QList<TDataLink*> links = m_links;
    for (TDataLink* link : links)
        if (m_links.contains(link))
            link->dataEvent(event, field);
    if (event != TDataEvent::UpdateRecord)
        emit OnDataChange(this, field);
}
