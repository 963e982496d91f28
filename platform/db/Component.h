#pragma once
// The base of every non-visual part of a window: connection, data sets, data
// sources and field objects. A component is a QObject so that the window that
// owns it destroys it, and so that its events can be bound to the window's
// handlers by name in the window's description.

#include <QObject>

class TComponent : public QObject {
    Q_OBJECT
public:
    explicit TComponent(QObject* owner = nullptr) : QObject(owner) {}

    QString Name() const { return objectName(); }
    void setName(const QString& name) { setObjectName(name); }
};
