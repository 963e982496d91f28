// The file engine's LIKE: SQLite's own compares letters without regard to
// case in ASCII only; every connection to a register file gets the
// program's matcher (UnicodeLike.h) in its place.

#include "SqliteEngine_p.h"

#include "UnicodeLike.h"

namespace db {

namespace {

void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    char32_t escape = 0;
    if (argc == 3) {
        const auto* e = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
        if (!e)
            return; // NULL escape: result NULL
        if (!unicode_like::oneCharacter(std::string_view(e, std::size_t(sqlite3_value_bytes(argv[2]))), escape)) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    // LIKE(pattern, text): SQL writes "text LIKE pattern" as like(pattern, text).
    const auto* pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int patternBytes = sqlite3_value_bytes(argv[0]);
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int textBytes = sqlite3_value_bytes(argv[1]);
    if (!pattern || !text)
        return; // NULL in, NULL out
    if (static_cast<std::size_t>(patternBytes) > unicode_like::MaxPatternLength) {
        const std::string tooLong = say(QT_TRANSLATE_NOOP("Register", "Tekst pretrage je predugačak: sme imati "
                                                                      "najviše %1 bajtova (UTF-8). Skratite ga."))
                                        .arg(unicode_like::MaxPatternLength)
                                        .toStdString();
        sqlite3_result_error(context, tooLong.c_str(), -1);
        return;
    }
    sqlite3_result_int(context, unicode_like::match(std::string_view(pattern, std::size_t(patternBytes)),
                                                    std::string_view(text, std::size_t(textBytes)), escape));
}

} // namespace

int installCaselessLike(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr);
    return rc;
}

} // namespace db
