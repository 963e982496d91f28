#include "DBNavigator.h"

#include "Application.h"

#include <QIconEngine>
#include <QAbstractButton>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QTimer>

#include <cmath>

namespace {

struct ButtonText {
    const char* name;   // spoken by screen readers, shown as a tooltip
};
const ButtonText texts[] = {
    {QT_TRANSLATE_NOOP("TDBNavigator", "Prvi zapis")},      {QT_TRANSLATE_NOOP("TDBNavigator", "Prethodni zapis")},
    {QT_TRANSLATE_NOOP("TDBNavigator", "Sledeći zapis")},   {QT_TRANSLATE_NOOP("TDBNavigator", "Poslednji zapis")},
    {QT_TRANSLATE_NOOP("TDBNavigator", "Dodaj zapis")},     {QT_TRANSLATE_NOOP("TDBNavigator", "Obriši zapis")},
    {QT_TRANSLATE_NOOP("TDBNavigator", "Izmeni zapis")},    {QT_TRANSLATE_NOOP("TDBNavigator", "Sačuvaj izmene")},
    {QT_TRANSLATE_NOOP("TDBNavigator", "Otkaži izmene")},   {QT_TRANSLATE_NOOP("TDBNavigator", "Osveži podatke")},
};

// The keys of each action: the desktop's standard ones where it has one
// (new, save, refresh), and otherwise keys that no box of the window uses
// for itself, so that they work wherever the focus is.
QKeySequence shortcutOf(TNavigateBtn which)
{
    switch (which) {
    case nbFirst: return QKeySequence(Qt::ALT | Qt::Key_Home);
    case nbPrior: return QKeySequence(Qt::ALT | Qt::Key_PageUp);
    case nbNext: return QKeySequence(Qt::ALT | Qt::Key_PageDown);
    case nbLast: return QKeySequence(Qt::ALT | Qt::Key_End);
    case nbInsert: return QKeySequence(QKeySequence::New);
    case nbDelete: return QKeySequence(Qt::CTRL | Qt::Key_Delete);
    case nbEdit: return QKeySequence(Qt::Key_F2);
    case nbPost: return QKeySequence(QKeySequence::Save);
    case nbCancel: return QKeySequence(Qt::Key_Escape);
    case nbRefresh: return QKeySequence(QKeySequence::Refresh);
    }
    return {};
}

// The buttons' pictures, drawn as shapes so that they are sharp at any
// screen density and follow the theme's text colour.
class NavigatorIcon : public QIconEngine {
public:
    explicit NavigatorIcon(TNavigateBtn which) : m_which(which) {}
    QIconEngine* clone() const override { return new NavigatorIcon(m_which); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const QColor color = markColor(m_which, QPalette(), mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        const qreal s = std::min(rect.width(), rect.height());
        painter->scale(s / 16.0, s / 16.0);
        painter->setPen(Qt::NoPen);
        painter->setBrush(color);
        auto triangle = [&](qreal tipX, qreal baseX) {
            QPainterPath p;
            p.moveTo(baseX, 3);
            p.lineTo(tipX, 8);
            p.lineTo(baseX, 13);
            p.closeSubpath();
            painter->drawPath(p);
        };
        switch (m_which) {
        case nbFirst: painter->drawRect(QRectF(3, 3, 2, 10)); triangle(5, 12); break;
        case nbPrior: triangle(4, 11); break;
        case nbNext: triangle(12, 5); break;
        case nbLast: triangle(11, 4); painter->drawRect(QRectF(11, 3, 2, 10)); break;
        case nbInsert: painter->drawRect(QRectF(7, 3, 2, 10)); painter->drawRect(QRectF(3, 7, 10, 2)); break;
        case nbDelete: painter->drawRect(QRectF(3, 7, 10, 2)); break;
        case nbEdit: {
            QPainterPath p;
            p.moveTo(8, 3);
            p.lineTo(13, 12);
            p.lineTo(3, 12);
            p.closeSubpath();
            painter->drawPath(p);
            break;
        }
        case nbPost: {
            painter->setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter->setBrush(Qt::NoBrush);
            painter->drawPolyline(QPolygonF{QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)});
            break;
        }
        case nbCancel:
            painter->setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap));
            painter->drawLine(QPointF(4, 4), QPointF(12, 12));
            painter->drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
        case nbRefresh: {
            painter->setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
            painter->setBrush(Qt::NoBrush);
            painter->drawArc(QRectF(3.5, 3.5, 9, 9), 60 * 16, 280 * 16);
            painter->setPen(Qt::NoPen);
            painter->setBrush(color);
            QPainterPath p;
            p.moveTo(9.5, 1.5);
            p.lineTo(13.5, 4.5);
            p.lineTo(9, 6.5);
            p.closeSubpath();
            painter->drawPath(p);
            break;
        }
        }
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

private:
    TNavigateBtn m_which;
};

double luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor markColor(TNavigateBtn which, const QPalette& palette, QPalette::ColorGroup group)
{
    const QColor text = palette.color(group, QPalette::ButtonText);
    if (group == QPalette::Disabled || (which != nbPost && which != nbCancel && which != nbDelete))
        return text;
    const QColor background = palette.color(group, QPalette::Button);
    const bool darkTheme = luminance(background) < 0.18;
    const int hue = which == nbPost ? 120 : 0;
    // From the hue's own middle lightness towards the text's side, until it reads.
    for (int lightness = 128; lightness >= 0 && lightness <= 255; lightness += darkTheme ? 8 : -8) {
        const QColor candidate = QColor::fromHsl(hue, 255, lightness);
        if (contrastRatio(candidate, background) >= 4.5)
            return candidate;
    }
    return text;
}

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(tr("Navigator"));
    for (int i = 0; i < 10; ++i) {
        auto* b = new QToolButton(this);
        const auto which = static_cast<TNavigateBtn>(i);
        b->setIcon(QIcon(new NavigatorIcon(which)));
        const QKeySequence keys = shortcutOf(which);
        const QString name = tr(texts[i].name);
        b->setToolTip(tr("%1 (%2)", "a button and its keys").arg(name, keys.toString(QKeySequence::NativeText)));
        b->setAccessibleName(name);
        auto* key = new QShortcut(keys, this, nullptr, nullptr, Qt::WindowShortcut);
        connect(key, &QShortcut::activated, b, [b] {
            if (b->isEnabled())
                b->click();
        });
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoRaise(false);
        connect(b, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
        m_buttons[i] = b;
    }
    setFocusProxy(m_buttons[0]);
    updateButtons();
}

QKeySequence TDBNavigator::shortcut(TNavigateBtn which)
{
    return shortcutOf(which);
}

void TDBNavigator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Ten equal buttons across the whole navigator.
    for (int i = 0; i < 10; ++i) {
        const int left = width() * i / 10;
        m_buttons[i]->setGeometry(left, 0, width() * (i + 1) / 10 - left, height());
        m_buttons[i]->setIconSize(QSize(height() / 2, height() / 2));
    }
}

void TDBNavigator::bindData(QObject* form)
{
    setDataSource(findDataSource(form, m_sourceName, this));
}

void TDBNavigator::setDataSource(TDataSource* source)
{
    if (m_source)
        m_source->removeLink(this);
    m_source = source;
    if (m_source)
        m_source->addLink(this);
    updateButtons();
}

void TDBNavigator::dataEvent(TDataEvent event, TField*)
{
    if (event != TDataEvent::UpdateRecord && event != TDataEvent::FieldChange)
        updateButtons();
}

void TDBNavigator::updateButtons()
{
    TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    const bool active = ds && ds->Active();
    const bool editing = active && (ds->State() == dsEdit || ds->State() == dsInsert);
    const bool browsing = active && !editing;
    const int count = active ? ds->RecordCount() : 0;
    const int recNo = active ? ds->RecNo() : 0;
    const bool canModify = active && ds->CanModify();
    const bool enabled[10] = {
        browsing && recNo > 1,          // first
        browsing && recNo > 1,          // prior
        browsing && recNo < count,      // next
        browsing && recNo < count,      // last
        canModify,                      // insert
        canModify && browsing && count > 0, // delete
        canModify && browsing && count > 0, // edit
        editing,                        // post
        editing,                        // cancel
        browsing || (ds && !active && readClosed), // refresh
    };
    bool later = false;
    for (int i = 0; i < 10; ++i) {
        // A button that has the keyboard focus would hand it on when
        // disabled. Its own action may pass through a state that disables
        // it for a moment (a deletion closes and reopens the list), so it is
        // disabled only if that state outlasts the action.
        if (!enabled[i] && window()->focusWidget() == m_buttons[i] && m_buttons[i]->isEnabled() && !m_settled) {
            later = true;
            continue;
        }
        m_buttons[i]->setEnabled(enabled[i]);
    }
    if (later)
        QTimer::singleShot(0, this, [this] {
            m_settled = true;
            updateButtons();
            m_settled = false;
        });
}

void TDBNavigator::BtnClick(TNavigateBtn which)
{
    guarded([&] {
        TDataSet* ds = m_source ? m_source->DataSet() : nullptr;
        if (!ds)
            return;
        emit BeforeAction(this, which);
        switch (which) {
        case nbFirst: ds->First(); break;
        case nbPrior: ds->Prior(); break;
        case nbNext: ds->Next(); break;
        case nbLast: ds->Last(); break;
        case nbInsert: ds->Insert(); break;
        case nbDelete: {
            QMessageBox question(QMessageBox::Question, QApplication::applicationDisplayName(),
                                 deleteQuestion ? deleteQuestion() : tr("Da li da obrišem ovaj zapis?"),
                                 QMessageBox::Yes | QMessageBox::No,
                                 TApplication::instance()->dialogParent());
            question.button(QMessageBox::Yes)->setText(tr("&Da"));
            question.button(QMessageBox::No)->setText(tr("&Ne"));
            question.setDefaultButton(QMessageBox::No); // Enter keeps the person
            if (question.exec() == QMessageBox::Yes)
                ds->Delete();
            break;
        }
        case nbEdit: ds->Edit(); break;
        case nbPost: ds->Post(); break;
        case nbCancel: ds->Cancel(); break;
        case nbRefresh:
            if (!ds->Active() && readClosed)
                readClosed();
            else if (!RefreshInBackground || !ds->refreshAhead([ds] { guarded([ds] { ds->Refresh(); }); }))
                ds->Refresh();
            break;
        }
    });
}
