#pragma once
// An owned connection handle of the database engine, without the engine's
// header: the layers above see only that a connection exists.

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

struct SqliteCloser {
    void operator()(sqlite3* db) const; // sqlite3_close_v2
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
