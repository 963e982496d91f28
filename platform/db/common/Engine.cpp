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

int columnIndex(const RowWrite& write, std::string_view column)
{
    for (std::size_t i = 0; i < write.columns.size(); ++i)
        if (sameName(write.columns[i], column))
            return int(i);
    return -1;
}

std::string labelOf(const RowWrite& write, const std::string& column)
{
    const int i = columnIndex(write, column);
    return i < 0 ? column : write.labels[std::size_t(i)];
}

} // namespace db
