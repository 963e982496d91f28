#include "Form.h"

#include "Align.h"
#include "Application.h"
#include "DataControl.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

TForm::TForm(QObject* /*owner*/) : QWidget(nullptr) {}

void TForm::bindDataControls()
{
    for (QWidget* child : findChildren<QWidget*>())
        if (auto* control = dynamic_cast<TDataControl*>(child))
            control->bindData(this);
}

void TForm::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        makeRoomForCaptions();
        const QVariant position = property("windowPosition");
        if (position.isValid())
            move(position.toPoint());
        // A window system without a window manager may never activate the
        // window: being shown the first time is its first activation.
        QTimer::singleShot(0, this, [this] {
            if (!m_activatedOnce)
                activated();
        });
    }
    QWidget::showEvent(event);
}

// A caption grown with its language or the desktop's font may reach into
// the box it names on its right. The boxes of that column then begin a few
// pixels after the widest caption, their right edges where they were.
// Called once the captions have their sizes (they are polished before the
// window is first shown).
void TForm::makeRoomForCaptions()
{
    constexpr int Gap = 6;
    std::map<std::pair<QWidget*, int>, int> shift; // by the boxes' parent and left edge
    std::set<QWidget*> boxes;
    for (QLabel* label : findChildren<QLabel*>()) {
        QWidget* box = label->buddy();
        if (!box || box->parentWidget() != label->parentWidget() || box->x() <= label->x()
            || box->y() > label->y() + label->height() || label->y() > box->y() + box->height())
            continue;
        int& s = shift[{box->parentWidget(), box->x()}];
        s = std::max(s, label->x() + label->width() + Gap - box->x());
        boxes.insert(box);
    }
    for (QWidget* box : boxes) // each moves once, after its column was looked up
        if (const int s = shift[{box->parentWidget(), box->x()}]; s > 0)
            box->setGeometry(box->x() + s, box->y(), std::max(box->width() - s, box->height()), box->height());
}

bool TForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        if (!m_activatedOnce || TApplication::instance()->takeArrivalFromOtherWindow(this))
            activated();
    }
    return QWidget::event(event);
}

void TForm::activated()
{
    m_activatedOnce = true;
    emit OnActivate(this); // the handler catches (see guarded())
}

void TForm::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    emit OnCloseQuery(this, canClose); // the handler catches (see guarded())
    if (!canClose) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

void TForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrangeAlignedChildren(this);
}
