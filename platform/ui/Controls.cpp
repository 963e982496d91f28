#include "Controls.h"

#include "Application.h"

#include <QEvent>
#include <QPointer>
#include <QShortcutEvent>
#include <QTimer>

QValidator::State LineTextValidator::validate(QString& input, int& position) const
{
    // Drop what a line cannot hold, keeping the cursor where it was. A run of
    // tabs and line breaks (text pasted from a table or a letter) becomes one
    // blank, so that the words it parted stay apart.
    QString kept;
    kept.reserve(input.size());
    int cursor = -1;
    bool breaking = false;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (i == position)
            cursor = int(kept.size());
        const QChar c = input[i];
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < input.size() && input[i + 1].isLowSurrogate()) {
            if (i + 1 == position) // never between the halves
                cursor = int(kept.size());
            kept += c;
            kept += input[++i];
            breaking = false;
        } else if (u == '\t' || u == '\n' || u == '\v' || u == '\f' || u == '\r') {
            if (!breaking)
                kept += QLatin1Char(' ');
            breaking = true;
        } else if (u >= 0x20 && u != 0x7F && !c.isSurrogate()) {
            kept += c;
            breaking = false;
        }
    }
    if (cursor < 0)
        cursor = int(kept.size());
    if (m_max > 0) {
        qsizetype excess = kept.toUcs4().size() - m_max;
        while (excess > 0 && cursor > 0) {
            const int width = cursor >= 2 && kept[cursor - 1].isLowSurrogate() && kept[cursor - 2].isHighSurrogate() ? 2 : 1;
            kept.remove(cursor - width, width);
            cursor -= width;
            --excess;
        }
        if (excess > 0) { // the cursor was at the start: keep the beginning
            const QList<uint> characters = kept.toUcs4();
            kept = QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()), m_max);
        }
    }
    input = kept;
    position = cursor;
    return Acceptable;
}

TEdit::TEdit(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new LineTextValidator(0, this));
    connect(this, &QLineEdit::textChanged, this, [this] { emit OnChange(this); });
}

TButton::TButton(QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] { emit OnClick(this); });
}

bool TButton::event(QEvent* event)
{
    // An ambiguous mnemonic (two controls with one letter) only moves the
    // focus, as the toolkit does it.
    if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous() && isEnabled()) {
        const QPointer<TButton> self(this);
        click();
        if (!self)
            return true; // what the click did took the button away
        setDown(true);
        QTimer::singleShot(100, this, [this] { setDown(false); });
        return true;
    }
    return QPushButton::event(event);
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
    if (!m_telling) {
        m_telling = true;
        QTimer::singleShot(0, this, &TStatusBar::tellScreenReader);
    }
}

void TStatusBar::tellScreenReader()
{
    m_telling = false;
    QWidget* focused = window()->focusWidget();
    if (m_described && m_described != focused)
        m_described->setAccessibleDescription(QString());
    m_described = focused;
    if (focused)
        focused->setAccessibleDescription(m_text->text());
}
