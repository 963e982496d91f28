# Writes schema.sql into a C++ source as one raw string.
file(READ ${INPUT} SCHEMA)
file(WRITE ${OUTPUT} "// Made from schema.sql at build time.\n#include \"Schema.h\"\n\nconst char* const registerSchema = R\"schema(${SCHEMA})schema\";\n")
