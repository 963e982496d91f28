#pragma once
// A control that shows or edits a data source's data set. The window's
// description names the data source (and fields) in dynamic properties; once
// the window has made its data-access components, bindData() finds them.

#include <QString>

class QObject;
class QWidget;
class TDataSource;

class TDataControl {
public:
    virtual ~TDataControl() = default;
    // Finds the named data sources among form's components. Throws
    // Exception naming the control and the missing source.
    virtual void bindData(QObject* form) = 0;
};

// The data source called name among form's children; throws Exception
// (naming control) when there is none.
TDataSource* findDataSource(QObject* form, const QString& name, const QWidget* control);
