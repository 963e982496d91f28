// Fuzz target: a list of persons read from CSV. Nothing may crash or take
// long; a list read is whole UTF-8, one line number a row, in order; and the
// same cells written back as CSV, every one in quotes, read again as the
// same rows.

#include "ListFile.h"
#include "UnicodeLike.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string quoted(const std::vector<std::vector<std::string>>& rows)
{
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            out += c ? ",\"" : "\"";
            for (const char ch : row[c])
                out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            out += '"';
        }
        out += "\r\n";
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const auto encoding : {list_import::Encoding::Utf8, list_import::Encoding::Windows1250}) {
        list_import::ListFile list;
        try {
            list = list_import::readCsv(bytes, QStringLiteral("fuzz.csv"), encoding);
        } catch (const Exception&) {
            continue;
        }
        if (list.rows.size() != list.lines.size())
            std::abort();
        for (std::size_t r = 0; r < list.rows.size(); ++r) {
            if (r > 0 && list.lines[r] <= list.lines[r - 1])
                std::abort();
            for (const std::string& cell : list.rows[r])
                if (!unicode_like::wellFormed(cell))
                    std::abort();
        }
        if (encoding != list_import::Encoding::Utf8)
            continue;
        const list_import::ListFile again = list_import::readCsv(quoted(list.rows), QStringLiteral("again.csv"),
                                                                 list_import::Encoding::Utf8);
        if (again.rows != list.rows)
            std::abort();
    }
    return 0;
}
