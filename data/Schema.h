#pragma once
// The statements that create an empty register: in a file (schema.sql) and
// on a PostgreSQL server (schema-postgresql.sql, then its change stamp,
// stamp-postgresql.sql).
extern const char* const registerSchema;
extern const char* const serverRegisterSchema;
// The change stamp alone, for the tables made after the schema.
extern const char* const serverRegisterStamp;
