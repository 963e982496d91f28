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
    m_closeToTell = false;
    tellLinks(TDataEvent::ActiveChange, nullptr);
    if (m_dataSet && m_dataSet->Active() && OnDataChange)
        OnDataChange(this, nullptr);
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
    if (event == TDataEvent::ActiveChange && m_dataSet && !m_dataSet->Active()) {
        // A closed data set is most often opened again at once (a new
        // search). Controls hear of the close only if it outlasts what is
        // being done now, so they do not show an empty list and disabled
        // buttons for a moment and then everything again, painting twice.
        if (!m_closeToTell) {
            m_closeToTell = true;
            QMetaObject::invokeMethod(this, &TDataSource::tellClose, Qt::QueuedConnection);
        }
    } else {
        m_closeToTell = false;
        tellLinks(event, field);
    }
    if (event != TDataEvent::UpdateRecord && OnDataChange)
        OnDataChange(this, field);
}

void TDataSource::tellClose()
{
    if (!m_closeToTell)
        return;
    m_closeToTell = false;
    tellLinks(TDataEvent::ActiveChange, nullptr);
}

void TDataSource::tellLinks(TDataEvent event, TField* field)
{
    // A link may remove itself (or others) while being told: walk a copy.
    const QList<TDataLink*> links = m_links;
    for (TDataLink* link : links)
        if (m_links.contains(link))
            link->dataEvent(event, field);
}
