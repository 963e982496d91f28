#include "Form.h"

#include "Align.h"
#include "Application.h"
#include "DataControl.h"

#include <QCloseEvent>
#include <QTimer>
#include <QVariant>

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
