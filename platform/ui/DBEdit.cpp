#include "DBEdit.h"

#include "Application.h"
#include "Controls.h"
#include "Exception.h"
#include "Field.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, [this] { userEdited(); });
    setReadOnly(true);
}

void TDBEdit::bindData(QObject* form)
{
    setDataSource(findDataSource(form, m_sourceName, this));
}

void TDBEdit::setDataSource(TDataSource* source)
{
    if (m_source)
        m_source->removeLink(this);
    m_source = source;
    if (m_source)
        m_source->addLink(this);
    showField();
}

TField* TDBEdit::field() const
{
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    return ds ? ds->FindField(m_fieldName) : nullptr;
}

void TDBEdit::showField()
{
    TField* f = field();
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    const bool live = f && ds && ds->Active();
    if (f) {
        auto* line = dynamic_cast<LineTextValidator*>(const_cast<QValidator*>(validator()));
        if (f->kind() == FieldKind::Integer) {
            if (!validator() || line)
                setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[+-]?[0-9]{0,10}")), this));
        } else if (line) {
            line->setMaxCharacters(f->Size());
        } else {
            setValidator(new LineTextValidator(f->Size(), this));
        }
    }
    m_showing = true;
    const QString shown = live && (ds->RecNo() > 0 || ds->State() == dsInsert) ? f->Text() : QString();
    if (shown != text())
        setText(shown);
    m_showing = false;
    m_typed = false;
    setReadOnly(!live || f->ReadOnly() || !ds->CanModify());
}

void TDBEdit::dataEvent(TDataEvent event, TField* changed)
{
    switch (event) {
    case TDataEvent::UpdateRecord:
        handOver();
        return;
    case TDataEvent::FieldChange:
        if (changed == field() && !m_typed)
            showField();
        return;
    case TDataEvent::StateChange:
        // Entering edit state changes no value; leaving it does (cancel,
        // save), and a record or data set change follows that says so.
        setReadOnly(!field() || field()->ReadOnly() || !m_source->DataSet()->CanModify());
        return;
    default:
        showField();
    }
}

void TDBEdit::userEdited()
{
    if (m_showing)
        return;
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    if (!ds || !field())
        return;
    if (ds->State() != dsEdit && ds->State() != dsInsert) {
        const QString typed = text();
        const int cursor = cursorPosition();
        bool started = false;
        guarded([&] {
            ds->Edit();
            started = true;
        });
        if (!started) {
            showField(); // the data set refused: show the field as it is
            return;
        }
        // Starting the edit showed the field again: put back what was typed.
        m_showing = true;
        setText(typed);
        setCursorPosition(cursor);
        m_showing = false;
    }
    m_typed = true;
}

void TDBEdit::handOver()
{
    if (!m_typed)
        return;
    TField* f = field();
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    if (!f || !ds || (ds->State() != dsEdit && ds->State() != dsInsert))
        return;
    m_typed = false;
    try {
        f->setText(text());
    } catch (...) {
        m_typed = true; // keep what was typed; the message says what is wrong
        throw;
    }
}

void TDBEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    try {
        handOver();
    } catch (const Exception&) {
        // The box keeps what was typed; saving the row says what is wrong
        // with it, once.
    }
}

bool TDBEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && m_typed
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void TDBEdit::keyPressEvent(QKeyEvent* event)
{
    // Escape takes back what was typed into this box.
    if (event->key() == Qt::Key_Escape && m_typed) {
        showField();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
