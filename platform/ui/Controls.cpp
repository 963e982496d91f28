#include "Controls.h"

#include "Application.h"

#include <QEvent>

TEdit::TEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { guarded([this] { emit OnChange(this); }); });
}

TButton::TButton(QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] { guarded([this] { emit OnClick(this); }); });
}

bool TLabel::event(QEvent* event)
{
    // Fit the caption in whatever font the label ends up with.
    if (event->type() == QEvent::Polish || event->type() == QEvent::FontChange)
        resize(std::max(width(), sizeHint().width()), height());
    return QLabel::event(event);
}

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent), m_text(new QLabel(this))
{
    setSizeGripEnabled(false);
    addWidget(m_text, 1);
}

QString TStatusBar::SimpleText() const
{
    return m_text->text();
}

void TStatusBar::setSimpleText(const QString& text)
{
    m_text->setText(text);
}
