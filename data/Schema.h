#pragma once
// The statements that create an empty register: in a file (schema.sql) and
// on a PostgreSQL server (schema-postgresql.sql, then its change stamp,
// stamp-postgresql.sql).
extern const char* const registerSchema;
extern const char* const serverRegisterSchema;
// The change stamp alone, for the tables made after the schema.
extern const char* const serverRegisterStamp;
// The history of every change, each written after the rows a tool copies
// (and run again on a register made before it): in a file, and on a server.
extern const char* const registerHistory;
extern const char* const serverRegisterHistory;
