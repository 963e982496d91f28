#include "Form.h"

#include <QCloseEvent>
#include <QVariant>

TForm::TForm(QObject* /*owner*/) : QWidget(nullptr) {}

void TForm::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        const QVariant position = property("windowPosition");
        if (position.isValid())
            move(position.toPoint());
    }
    QWidget::showEvent(event);
}

void TForm::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}
