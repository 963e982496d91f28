#include "Align.h"

#include <QVariant>
#include <QWidget>

void arrangeAlignedChildren(QWidget* parent)
{
    QRect free = parent->contentsRect();
    QList<QWidget*> clients;
    for (QObject* object : parent->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow())
            continue;
        const QString align = child->property("align").toString();
        if (align == QLatin1String("alTop")) {
            child->setGeometry(free.left(), free.top(), free.width(), child->height());
            free.setTop(free.top() + child->height());
        } else if (align == QLatin1String("alBottom")) {
            child->setGeometry(free.left(), free.bottom() + 1 - child->height(), free.width(), child->height());
            free.setBottom(free.bottom() - child->height());
        } else if (align == QLatin1String("alLeft")) {
            child->setGeometry(free.left(), free.top(), child->width(), free.height());
            free.setLeft(free.left() + child->width());
        } else if (align == QLatin1String("alRight")) {
            child->setGeometry(free.right() + 1 - child->width(), free.top(), child->width(), free.height());
            free.setRight(free.right() - child->width());
        } else if (align == QLatin1String("alClient")) {
            clients.append(child);
        }
    }
    for (QWidget* child : clients)
        child->setGeometry(free);
}
