#include "Engine.h"

namespace db {

std::string quoteIdentifier(std::string_view name)
{
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

RowWrite refusalShape(const RowsWrite& write)
{
    RowWrite shape;
    shape.table = write.table;
    shape.columns = write.setColumns;
    shape.labels = write.setLabels;
    shape.kinds = write.setKinds;
    shape.values = write.setValues;
    shape.written.assign(write.setColumns.size(), true);
    return shape;
}

} // namespace db
