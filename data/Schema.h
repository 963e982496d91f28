#pragma once
// The statements that create an empty register: in a file (schema.sql) and
// on a PostgreSQL server (schema-postgresql.sql).
extern const char* const registerSchema;
extern const char* const serverRegisterSchema;
