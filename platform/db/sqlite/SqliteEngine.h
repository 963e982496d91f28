#pragma once
// The engine of a register kept in an SQLite file: its face.
//
// Opening checks the file before SQLite sees it, so that each way of failing
// gets a message that says what is wrong with which file (see
// whyNotADatabase). On the open file foreign keys are enforced, LIKE compares
// letters without regard to case in every script, and a lock held by another
// program is waited for, up to the lock timeout, before a statement gives up.
// A write transaction is BEGIN IMMEDIATE when it is the outermost one, so
// that the checks made before a write still hold when it is made. A read
// transaction of one moment holds the file's shared lock until it ends:
// another program's commit waits for it. A read in the background
// (Engine::startRead) opens the file once more, for reading only, on a
// thread of its own; it is not started where the rows held still answer, nor
// on a file held by this program alone.

#include "Engine.h"
#include "SqliteHandle.h"

#include <QString>

#include <memory>
#include <string>

namespace db {

// Replaces LIKE on an SQLite connection with the program's own, as on every
// register file the engine opens: for tools and tests that open such a file
// beside it. Returns an SQLite result code.
int installCaselessLike(sqlite3* db);

// Opens the register file at path; readOnly opens it for reading only,
// exclusive keeps other programs out while it is open. Throws Exception
// with a message that names the file.
std::unique_ptr<Engine> openSqliteEngine(const QString& path, bool readOnly, bool exclusive, int lockTimeoutMs,
                                         int cacheKilobytes);

// The SQLite handle of a register file's engine, for the program's own
// tools, tests and benchmarks that run bare statements beside it; null for
// an engine of another kind.
sqlite3* sqliteHandle(const Engine& engine);

} // namespace db
