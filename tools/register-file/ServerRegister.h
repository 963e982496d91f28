#pragma once
// Putting a register onto a PostgreSQL server. The register's tools write a
// register into a file first, with every check the file's schema makes, and
// then publish that file onto the server: the server's schema and every row
// in one transaction, so that the server holds the whole register or nothing
// new. New persons are then numbered after the largest number the file
// held or ever gave.

#include <string>

// Whether name names a database on a server (a PostgreSQL URI) rather than a file.
bool isServerTarget(const std::string& name);

// The name of a register as a person may read it: a server's without its password.
std::string shownTarget(const std::string& name);

// When name is a server that wants a password libpq's own places
// (~/.pgpass, a service file, PGPASSWORD) do not give, asks for it on the
// terminal, without echo, and again while the server refuses it (three
// times at most). Returns the name this command's connections to that
// server use: with the password given, so that two servers each keep their
// own; name itself when none was asked or given. Without a terminal,
// nothing is asked and connecting says what is missing.
std::string askServerPassword(const std::string& name);

// Writes the register in file onto the database named by uri. An existing
// register there (its tables) is replaced only with replace. Throws
// RegisterFileError with a message that names the server, never its password.
void publishToServer(const std::string& file, const std::string& uri, bool replace);

// Gives the existing register name (a file or a server URI) the history of
// its changes, in one transaction; one that has it already gets it anew,
// its rows kept. Throws RegisterFileError.
void addHistoryTo(const std::string& name);
