#pragma once
// The plain controls of a window: edit box, button, label and status bar.
// Each is the standard Qt widget, with the window's events added as signals;
// a window's slot bound to one catches what it throws (see guarded()).

#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QValidator>

// What a one-line box takes: a line of text holds no control characters
// (tab, line break, U+0000 and the like arrive only by pasting, and no name
// has them), no half of a character, and, when maxCharacters is set, no more
// than that many characters. Characters beyond the limit are dropped from
// just before the cursor, that is from the end of what was just typed or
// pasted, so that the text already there stays whole; a character outside
// the basic plane counts once, as the register counts it.
class LineTextValidator : public QValidator {
public:
    explicit LineTextValidator(int maxCharacters, QObject* parent) : QValidator(parent), m_max(maxCharacters) {}
    int maxCharacters() const { return m_max; }
    void setMaxCharacters(int maxCharacters) { m_max = maxCharacters; }
    State validate(QString& input, int& position) const override;

private:
    int m_max;
};

// An edit box. OnChange follows every change of its text, typed or set; a
// text set equal to the one shown is no change.
class TEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TEdit(QWidget* parent = nullptr);
    QString Text() const { return text(); }
    void setText(const QString& text) { QLineEdit::setText(text); }

signals:
    void OnChange(QObject* Sender);
};

// A button pressed by its mnemonic (Alt and its underlined letter) acts at
// once and then shows itself pressed for a moment; the toolkit's own way
// shows the press first and acts only 100 ms later, a wait the person
// would see on every "Nova pretraga".
class TButton : public QPushButton {
    Q_OBJECT
public:
    explicit TButton(QWidget* parent = nullptr);

signals:
    void OnClick(QObject* Sender);

protected:
    bool event(QEvent* event) override;
};

// A label sizes itself to its caption; it names the control it is the buddy
// of for screen readers.
class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent = nullptr) : QLabel(parent) {}

protected:
    bool event(QEvent* event) override;
};

// A status bar with one panel of text along the whole width.
//
// A screen reader does not watch a status bar; it presents a change of the
// focused control's accessible description. So once the text has settled
// (a search passes through "Inactive" on its way), the control that has the
// focus describes itself with it, and the control described before is
// described no more.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);
    QString SimpleText() const;
    void setSimpleText(const QString& text);

private:
    void tellScreenReader();
    QLabel* m_text;
    QPointer<QWidget> m_described;
    bool m_telling = false;
};
