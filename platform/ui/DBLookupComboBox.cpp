#include "DBLookupComboBox.h"

#include "Application.h"
#include "Field.h"

#include <QFocusEvent>

TDBLookupComboBox::TDBLookupComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
    connect(this, &QComboBox::activated, this, [this](int index) { chosen(index); });
}

void TDBLookupComboBox::bindData(QObject* form)
{
    setSources(findDataSource(form, m_sourceName, this), findDataSource(form, m_listSourceName, this));
}

void TDBLookupComboBox::setSources(TDataSource* data, TDataSource* list)
{
    if (m_source)
        m_source->removeLink(&m_dataLink);
    if (m_listSource)
        m_listSource->removeLink(&m_listLink);
    m_source = data;
    m_listSource = list;
    if (m_source)
        m_source->addLink(&m_dataLink);
    if (m_listSource)
        m_listSource->addLink(&m_listLink);
    fillList();
}

void TDBLookupComboBox::Link::dataEvent(TDataEvent event, TField* field)
{
    if (event == TDataEvent::UpdateRecord)
        return;
    if (m_list) {
        if (event == TDataEvent::ActiveChange || event == TDataEvent::DataSetChange)
            m_box->fillList();
    } else if (event != TDataEvent::FieldChange || field == m_box->field() || field == m_box->matchingField()) {
        // The name shown follows either key at once: a city box shows the
        // city of the new country, or nothing when it has no such city.
        m_box->showCurrent();
    }
}

TField* TDBLookupComboBox::field() const
{
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    return ds ? ds->FindField(m_dataField) : nullptr;
}

TField* TDBLookupComboBox::matchingField() const
{
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    return ds && !m_matchField.isEmpty() ? ds->FindField(m_matchField) : nullptr;
}

void TDBLookupComboBox::fillList()
{
    m_updating = true;
    clear();
    TDataSet* list = m_listSource ? m_listSource->DataSet() : nullptr;
    TField* key = list ? list->FindField(m_keyField) : nullptr;
    TField* name = list ? list->FindField(m_listField) : nullptr;
    TField* match = list && !m_matchField.isEmpty() ? list->FindField(m_matchField) : nullptr;
    auto number = [list](int row, TField* field) {
        const std::string text = list->displayText(row, field->Index());
        return text.empty() ? QVariant() : QVariant(QString::fromStdString(text).toInt());
    };
    if (list && list->Active() && key && name) {
        const int rows = list->displayRowCount();
        for (int row = 0; row < rows; ++row) {
            addItem(QString::fromStdString(list->displayText(row, name->Index())));
            setItemData(row, number(row, key), KeyRole);
            if (match)
                setItemData(row, number(row, match), MatchRole);
        }
    }
    m_updating = false;
    showCurrent();
}

void TDBLookupComboBox::showCurrent()
{
    TField* f = field();
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    int index = -1;
    if (f && ds && ds->Active() && (ds->RecNo() > 0 || ds->State() == dsInsert) && !f->IsNull()) {
        const int key = f->AsInteger();
        TField* match = matchingField();
        const QVariant wanted = match && !match->IsNull() ? QVariant(match->AsInteger()) : QVariant();
        for (int i = 0; i < count() && index < 0; ++i)
            if (itemData(i, KeyRole) == QVariant(key) && (!match || itemData(i, MatchRole) == wanted))
                index = i;
    }
    m_updating = true;
    setCurrentIndex(index);
    m_updating = false;
    setEnabled(f && ds && ds->Active() && ds->CanModify() && !f->ReadOnly());
}

void TDBLookupComboBox::chosen(int index)
{
    if (m_updating || index < 0)
        return;
    const QVariant key = itemData(index, KeyRole);
    guarded([&] {
        TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
        TField* f = field();
        if (!ds || !f)
            return;
        if (!f->IsNull() && key.isValid() && f->AsInteger() == key.toInt())
            return; // the same choice again changes nothing
        ds->Edit();
        if (key.isValid())
            f->setAsInteger(key.toInt());
        else
            f->Clear();
    });
    showCurrent();
}

void TDBLookupComboBox::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        emit OnEnter(this);
}

void TDBLookupComboBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        emit OnExit(this);
}
