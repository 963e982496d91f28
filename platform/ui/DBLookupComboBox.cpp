#include "DBLookupComboBox.h"

#include "Application.h"
#include "Exception.h"
#include "Field.h"
#include "UnicodeLike.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QStyle>

#include <algorithm>

namespace {

enum { EntryRole = Qt::UserRole + 10 };

} // namespace

TDBLookupComboBox::TDBLookupComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr); // no name is completed into the box unasked
    connect(this, &QComboBox::activated, this, [this](int index) { chosen(index); });
    lineEdit()->installEventFilter(this);
    view()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) { typed(text); });
    // Enter that the list of names found hands on to the box, none picked.
    connect(lineEdit(), &QLineEdit::returnPressed, this, [this] { guarded([this] { enterPressed(); }); });
    // The names that begin with what is typed, in a list under the box that
    // leaves the typing in the box.
    m_matches = new QStandardItemModel(this);
    m_completer = new QCompleter(m_matches, this);
    m_completer->setWidget(lineEdit());
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    connect(m_completer, qOverload<const QModelIndex&>(&QCompleter::activated), this, [this](const QModelIndex& index) {
        chosen(index.data(EntryRole).toInt());
    });
}

std::vector<int> TDBLookupComboBox::beginningWith(const QString& text) const
{
    std::vector<int> rows;
    const std::string pattern = unicode_like::literal(text.toStdString()) + '%';
    if (pattern.size() > unicode_like::MaxPatternLength)
        return rows;
    for (int i = 0; i < count(); ++i)
        if (unicode_like::match(pattern, itemText(i).toStdString(), unicode_like::LiteralEscape))
            rows.push_back(i);
    return rows;
}

int TDBLookupComboBox::named(const QString& text) const
{
    const std::vector<int> rows = beginningWith(text);
    const std::string whole = unicode_like::literal(text.toStdString());
    for (int row : rows)
        if (unicode_like::match(whole, itemText(row).toStdString(), unicode_like::LiteralEscape))
            return row;
    return rows.size() == 1 ? rows.front() : -1;
}

void TDBLookupComboBox::setNotice(const QString& text)
{
    m_notice = text;
    setAccessibleDescription(text);
    lineEdit()->setAccessibleDescription(text);
    // Under the box, in the desktop's colours for such notes, until the
    // typing changes or the box is left (a tooltip would go at the next key).
    if (!m_noticeLabel) {
        m_noticeLabel = new QLabel(this, Qt::ToolTip | Qt::BypassGraphicsProxyWidget);
        m_noticeLabel->setObjectName("LookupNotice");
        m_noticeLabel->setForegroundRole(QPalette::ToolTipText);
        m_noticeLabel->setBackgroundRole(QPalette::ToolTipBase);
        m_noticeLabel->setAutoFillBackground(true);
        m_noticeLabel->setMargin(style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth) + 2);
        m_noticeLabel->setFrameStyle(QFrame::Box | QFrame::Plain);
        m_noticeLabel->setWordWrap(true);
    }

    m_noticeLabel->setText(text);
    if (text.isEmpty() || !(hasFocus() || lineEdit()->hasFocus())) {
        m_noticeLabel->hide();
        return;
    }
    const int noticeWidth = std::max(width(), fontMetrics().averageCharWidth() * 36);
    m_noticeLabel->resize(noticeWidth, m_noticeLabel->heightForWidth(noticeWidth));
    m_noticeLabel->move(mapToGlobal(QPoint(0, height())));
    m_noticeLabel->show();
}

void TDBLookupComboBox::showMatches(const std::vector<int>& rows)
{
    m_matches->clear();
    for (int row : rows) {
        auto* item = new QStandardItem(itemText(row));
        item->setData(row, EntryRole);
        m_matches->appendRow(item);
    }
    if (rows.empty()) {
        m_completer->popup()->hide();
        return;
    }
    // None is marked: Enter takes a name only once the person picks it.
    m_completer->setCompletionPrefix(QString());
    m_completer->complete();
    m_completer->popup()->setCurrentIndex(QModelIndex());
}

void TDBLookupComboBox::typed(const QString& text)
{
    m_typing = true;
    if (text.isEmpty()) {
        m_completer->popup()->hide();
        setNotice(QString());
        return;
    }
    const std::vector<int> rows = beginningWith(text);
    showMatches(rows);
    if (!rows.empty())
        setNotice(QString());
    else
        setNotice(describeMissing ? describeMissing(text)
                                  : tr("Nijedan naziv na spisku ne počinje sa %1. Enter ga dodaje.")
                                        .arg(db::shownValue(FieldKind::Text, db::CellValue{false, 0, text.toStdString()})));
}

bool TDBLookupComboBox::resolveTyping()
{
    if (!m_typing)
        return true;
    const QString text = lineEdit()->text();
    if (text.isEmpty()) {
        // Emptied: the row keeps its value, as the list has no empty name.
        showCurrent();
        return true;
    }
    const int row = named(text);
    if (row < 0)
        return false;
    chosen(row);
    return true;
}

void TDBLookupComboBox::bindData(QObject* form)
{
    setSources(findDataSource(form, m_sourceName, this), findDataSource(form, m_listSourceName, this));
    // A screen reader names the line typed into as it names the box.
    lineEdit()->setAccessibleName(accessibleName());
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
    if (event == TDataEvent::UpdateRecord) {
        // Saving the row: what was typed names one entry, or the save is refused.
        if (!m_list && !m_box->resolveTyping())
            throw Exception(TDBLookupComboBox::tr("%1 nije na spisku polja „%2”: izaberite naziv sa spiska, ili ga dodajte tasterom Enter "
                               "u tom polju.")
                                .arg(db::shownValue(FieldKind::Text,
                                                    db::CellValue{false, 0, m_box->lineEdit()->text().toStdString()}),
                                     m_box->accessibleName()));
        return;
    }
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
    // A name being typed stays in the box while the list is read again.
    const bool typing = m_typing;
    const QString typed = lineEdit()->text();
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
    if (typing) {
        setEditText(typed);
        m_typing = true;
    }
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
    if (index < 0)
        setEditText(QString());
    m_updating = false;
    m_typing = false;
    m_completer->popup()->hide();
    setNotice(QString());
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
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    emit OnEnter(this);
    // The list may have been read again on entering: what is typed next
    // replaces the name shown, as in any box entered by the keyboard.
    if (event->reason() != Qt::MouseFocusReason)
        lineEdit()->selectAll();
}

void TDBLookupComboBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    if (m_noticeLabel && event->reason() != Qt::PopupFocusReason)
        m_noticeLabel->hide(); // back with the next key typed
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    // What was typed is chosen where it names one entry; otherwise it stays,
    // and saving the row says why.
    resolveTyping();
    emit OnExit(this);
}

bool TDBLookupComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QComboBox::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // Escape in the box's own list closes the list, and reaches no window.
    if (watched == view() && key->key() == Qt::Key_Escape) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
            hidePopup();
        return true;
    }
    if (watched == lineEdit() && handleKey(key))
        return true;
    return QComboBox::eventFilter(watched, event);
}

bool TDBLookupComboBox::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && handleKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QComboBox::event(event);
}

void TDBLookupComboBox::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(event))
        QComboBox::keyPressEvent(event);
}

bool TDBLookupComboBox::handleKey(QKeyEvent* event)
{
    const bool press = event->type() == QEvent::KeyPress;
    const int key = event->key();
    if (key == Qt::Key_Escape && (m_completer->popup()->isVisible() || m_typing)) {
        // First the list of names found goes, then the typing.
        event->accept();
        if (press) {
            if (m_completer->popup()->isVisible()) {
                m_completer->popup()->hide();
            } else {
                showCurrent();
                lineEdit()->selectAll(); // typed again, it replaces the name
            }
        }
        return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_typing) {
        event->accept();
        if (press)
            enterPressed();
        return true;
    }
    return false;
}

void TDBLookupComboBox::enterPressed()
{
    if (!m_typing)
        return;
    const QString text = lineEdit()->text();
    if (text.isEmpty() || resolveTyping())
        return;
    const std::vector<int> rows = beginningWith(text);
    if (rows.empty())
        emit addRequested(text);
    else
        showMatches(rows); // several: the person picks one
}
