#pragma once
// The engine of a register kept on a PostgreSQL server, through libpq: its face.
//
// A register on a server is named by a libpq connection URI
// ("postgresql://ana@server/register?sslmode=verify-full") or its key=value
// form; libpq's own environment and files (PGHOST, ~/.pgpass, TLS settings)
// apply as for any libpq program. When the server asks for a password that
// none of them gives, the connection's password question is asked, and
// asked again while the server refuses the answer, three times at most; the
// answer taken stays in memory for reconnecting and is never written anywhere.
//
// The session reads by default (default_transaction_read_only), so that a
// statement opened as a query can never change the register; a write runs in
// a transaction of its own and locks the rows it checks first (the row it
// changes, the rows it refers to), so that the checks still hold when it is
// made. A lock held by another desk is waited for up to the lock timeout;
// a deadlock with another desk makes the write fail whole, with one message. Names are those of the register's
// schema (unquoted, so folded to lower case by the server); a name from
// outside is found without regard to case, and a result column is spelled
// as the statement spells it ("DRZAVE.Naziv"), as on a file.
//
// A LIKE pattern in a statement matches as it does on a file: the server
// would take a backslash in it as an escape character, so every pattern
// written as a literal gets ESCAPE '' (no escape character).
//
// When the server goes away, the operation under way fails with one
// message; the next one connects again by itself, unless a transaction is
// open: then only the first after it ends, so that a read transaction never
// reads on at another moment.

#include "Engine.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

typedef struct pg_conn PGconn;

namespace db {

// Asks a person for the password of a register (named as shown); nothing
// when they decline. refusal: empty the first time; then what the server
// said to the password given last.
using PasswordQuestion = std::function<std::optional<std::string>(const QString& register_, const QString& refusal)>;

// Connects to the register named by uri. Throws Exception with a message
// that names the server (never the password).
std::unique_ptr<Engine> openPostgresEngine(const QString& uri, int lockTimeoutMs, const PasswordQuestion& ask);

// The libpq connection of a server register's engine, for the program's own
// tools, tests and benchmarks that look at it beside the engine; null for an
// engine of another kind.
PGconn* postgresHandle(const Engine& engine);

} // namespace db
