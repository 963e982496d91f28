// Fuzz target: the table filter. Any text either parses or is refused with
// an Exception; a text that parses can be bound and applied to a row.

#include "Exception.h"
#include "FilterExpression.h"
#include "Field.h"
#include "RowStore.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        FilterExpression filter = FilterExpression::parse(text);
        static TIntegerField* id = [] {
            auto* f = new TIntegerField;
            f->setFieldName("ID_DRZAVA");
            return f;
        }();
        static TWideStringField* name = [] {
            auto* f = new TWideStringField;
            f->setFieldName("NAZIV");
            return f;
        }();
        filter.bind({id, name});
        RowStore store;
        store.reset({FieldKind::Integer, FieldKind::Text});
        const std::size_t row = store.addRow();
        store.setInteger(row, 0, 3);
        store.setText(row, 1, "Niš");
        store.addRow(); // a row of nulls
        filter.matches(store, 0);
        filter.matches(store, 1);
    } catch (const Exception&) {
    }
    return 0;
}
