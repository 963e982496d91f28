# Writes schema.sql and schema-postgresql.sql (with stamp-postgresql.sql after
# it), and the history of each (history.sql, history-postgresql.sql), into a
# C++ source, each as one raw string.
file(READ ${FILE_SCHEMA} FILE_TEXT)
file(READ ${SERVER_SCHEMA} SERVER_TEXT)
file(READ ${SERVER_STAMP} STAMP_TEXT)
file(READ ${FILE_HISTORY} FILE_HISTORY_TEXT)
file(READ ${SERVER_HISTORY} SERVER_HISTORY_TEXT)
string(APPEND SERVER_TEXT "\n" "${STAMP_TEXT}")
file(WRITE ${OUTPUT} "// Made from schema.sql and schema-postgresql.sql at build time.\n#include \"Schema.h\"\n\n"
     "const char* const registerSchema = R\"schema(${FILE_TEXT})schema\";\n"
     "const char* const serverRegisterSchema = R\"schema(${SERVER_TEXT})schema\";\n"
     "const char* const serverRegisterStamp = R\"schema(${STAMP_TEXT})schema\";\n"
     "const char* const registerHistory = R\"schema(${FILE_HISTORY_TEXT})schema\";\n"
     "const char* const serverRegisterHistory = R\"schema(${SERVER_HISTORY_TEXT})schema\";\n")
