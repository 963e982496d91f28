#pragma once
// What the data set's own sources share (DataSet.cpp: state, opening and
// moving; DataSetRead.cpp: reading rows; DataSetWrite.cpp: editing and
// writing). Not for other files.

#include "Engine.h"
#include "Exception.h"

#include <QString>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace dataset_detail {

using db::say;

using db::sameName;

inline std::vector<std::string> splitNames(std::string_view text)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(';', start), text.size());
        std::string name(text.substr(start, end - start));
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        names.push_back(name);
        start = end + 1;
    }
    return names;
}

} // namespace dataset_detail
