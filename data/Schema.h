#pragma once
// The text of schema.sql: the statements that create an empty register.
extern const char* const registerSchema;
