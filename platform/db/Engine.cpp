#include "Engine.h"

namespace db {

std::string danglingReferenceMessage(const std::vector<std::string>& columns, const std::vector<std::string>& values,
                                     const std::string& table)
{
    std::string described;
    for (std::size_t i = 0; i < columns.size(); ++i)
        described += (i ? " and " : "") + columns[i] + " " + values[i];
    return "Not saved: " + described + " name no row of table " + table + ".";
}

} // namespace db
