#pragma once
// How a register is named: a file's path, or a server's libpq URI
// ("postgresql://ana@server/register"), and how that name is shown to a
// person (never with its password).

#include <QString>

#include <string>
#include <vector>

namespace db {

// Whether name names a register on a server rather than a file.
bool isServerRegister(const QString& name);
// The register's name as a person may read it: without a password, in
// quotes; serverNameWithoutPassword without them.
QString shownServerName(const QString& name);
QString serverNameWithoutPassword(const QString& name);
// The passwords a register's name carries, as written and as decoded: a
// URI's user information after its colon (up to the last "@" before any
// "?", whatever it holds), and every password=... setting. A message about
// the register leaves them out with withoutPasswords.
std::vector<std::string> passwordsIn(const std::string& name);
std::string withoutPasswords(std::string text, const std::vector<std::string>& passwords);
// Whether the name carries a password at all.
bool namesPassword(const QString& name);
// A server's URI with password added (percent encoded) after its user, or
// as its password=... setting when it names none, for this process's own
// connections: shown, it is the name as given, or with "password=...".
std::string withPassword(const std::string& uri, const std::string& password);

} // namespace db
