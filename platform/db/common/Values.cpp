#include "Values.h"

#include <charconv>

namespace db {

bool parseInteger(std::string_view text, std::int32_t& value)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '-')
            return false;
    }
    if (text.empty())
        return false;
    std::int32_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

std::string valueText(FieldKind kind, const CellValue& value)
{
    if (value.null)
        return {};
    return kind == FieldKind::Integer ? std::to_string(value.integer) : value.text;
}

} // namespace db
