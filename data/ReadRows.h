#pragma once
// The rows of a statement that reads, for the few small lists a desk reads
// beside the persons' list (places, a person's history).

#include "Values.h"

#include <string>
#include <vector>

namespace db {
class Engine;
}

// Every row of sql (no parameters), each a value a column, read as kinds
// says; throws Exception as the engine does.
std::vector<std::vector<db::CellValue>> readRows(db::Engine& engine, const std::string& sql,
                                                 const std::vector<FieldKind>& kinds);
