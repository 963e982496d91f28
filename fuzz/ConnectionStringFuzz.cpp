// Fuzz target: the connection string parser. Any text either parses or is
// refused with an Exception; and a connection string built the way the
// program builds it, around any folder name that holds no "; keyword=",
// always gives that folder back as the data source.

#include "ConnectionString.h"
#include "Exception.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        ConnectionString::parse(text);
    } catch (const Exception&) {
    }

    // The program's own form: the folder goes in unchanged.
    QString folder = text;
    folder.remove(QLatin1Char('"')).remove(QLatin1Char('\''));
    if (folder.contains(QLatin1Char(';')) || folder.trimmed().isEmpty())
        return 0; // a folder with "; Keyword=" inside is ambiguous by nature
    const QString built = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder
                          + "proba.mdb;Persist Security Info=False";
    const QString source = ConnectionString::parse(built).value("Data Source");
    if (source != folder + "proba.mdb")
        std::abort();
    return 0;
}
