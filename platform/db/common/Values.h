#pragma once
// The values every engine and the data-set layer share: the kinds of
// fields, one value of a column, whole numbers read from text and a value
// written as text. Plain types, no QObject: an engine needs nothing more
// of the fields.

#include <cstdint>
#include <string>
#include <string_view>

enum class FieldKind { Integer, Text };

namespace db {

// A value given to a column, or read back from it.
struct CellValue {
    bool null = true;
    std::int32_t integer = 0;
    std::string text;
    bool operator==(const CellValue&) const = default;
};

// Parses a whole number in the signed 32-bit range (blanks around allowed);
// false when text is not one.
bool parseInteger(std::string_view text, std::int32_t& value);

// A value as text, as a statement's text parameter or a message gives it:
// a whole number in decimal, a text as it is; "" for NULL.
std::string valueText(FieldKind kind, const CellValue& value);

} // namespace db
