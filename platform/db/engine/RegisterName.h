#pragma once
// How a register is named: a file's path, or a server's libpq URI
// ("postgresql://ana@server/register"), and how that name is shown to a
// person (never with its password).

#include <QString>

namespace db {

// Whether name names a register on a server rather than a file.
bool isServerRegister(const QString& name);
// The register's name as a person may read it: without a password, in
// quotes; serverNameWithoutPassword without them.
QString shownServerName(const QString& name);
QString serverNameWithoutPassword(const QString& name);

} // namespace db
