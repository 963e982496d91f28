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

std::int64_t Engine::insertRows(const RowWrite& write, const std::function<bool(std::vector<CellValue>&)>& next)
{
    RowWrite row = write;
    row.kind = RowWrite::Kind::Insert;
    row.columns.insert(row.columns.begin(), write.keyColumn);
    row.labels.insert(row.labels.begin(), write.keyColumn);
    row.kinds.insert(row.kinds.begin(), FieldKind::Integer);
    row.written.assign(row.columns.size(), true);
    row.written.front() = false;
    row.numberKey = !numbersKeysItself(write.table, write.keyColumn);
    std::vector<CellValue> values;
    std::int64_t inserted = 0;
    while (next(values)) {
        row.values.assign(1, CellValue{});
        row.values.insert(row.values.end(), values.begin(), values.end());
        inserted += writeRow(row).rows;
    }
    return inserted;
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
