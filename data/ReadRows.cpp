#include "ReadRows.h"

#include "Engine.h"
#include "RowStore.h"

#include <memory>

std::vector<std::vector<db::CellValue>> readRows(db::Engine& engine, const std::string& sql,
                                                 const std::vector<FieldKind>& kinds)
{
    const std::unique_ptr<db::ReadStatement> statement = engine.prepareRead(sql, {}, true);
    db::ReadPlan plan;
    plan.kinds = kinds;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        plan.columnOf.push_back(int(i));
        plan.labels.push_back(statement->columns().size() > i ? statement->columns()[i].name : std::string());
    }
    RowStore store;
    store.reset(kinds);
    std::vector<std::int64_t> rowIds;
    statement->readAll(plan, store, rowIds);
    std::vector<std::vector<db::CellValue>> rows(store.rowCount());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < kinds.size(); ++c) {
            db::CellValue value;
            value.null = store.isNull(r, c);
            if (!value.null && kinds[c] == FieldKind::Integer)
                value.integer = store.integer(r, c);
            else if (!value.null)
                value.text = std::string(store.text(r, c));
            rows[r].push_back(std::move(value));
        }
    return rows;
}
