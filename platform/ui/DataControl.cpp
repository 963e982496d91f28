#include "DataControl.h"

#include "DataSource.h"
#include "Exception.h"

#include <QWidget>

TDataSource* findDataSource(QObject* form, const QString& name, const QWidget* control)
{
    auto* source = form->findChild<TDataSource*>(name);
    if (!source)
        throw Exception(control->objectName().toStdString() + ": there is no data source named '"
                        + name.toStdString() + "'.");
    return source;
}
