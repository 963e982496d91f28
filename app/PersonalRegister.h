#pragma once
// The register of a person who uses an installed program. An installed
// program lies in <prefix>/bin with the registers it offers in
// <prefix>/share/kolvara; it keeps each person's register in their own data
// folder, as the freedesktop base-directory rules say:
// $XDG_DATA_HOME/kolvara/proba.mdb, ~/.local/share/kolvara/proba.mdb by
// default. A program run from its build folder has no share/kolvara beside
// it and keeps to the register beside itself.

#include <QString>

#include <optional>

namespace personal_register {

// The folder of the registers an installed program offers (the sample and
// the empty one) for the program in programFolder; empty when the program
// is not an installed one.
QString offeredFolder(const QString& programFolder);

// Where the person's register lives.
QString path();

// The person's register for an installed program: at once when it exists;
// otherwise one question offers to make it, from the sample or empty, and
// it is made whole or not at all. Nothing when the person declines. Throws
// Exception when it cannot be made.
std::optional<QString> findOrMake(const QString& offered);

} // namespace personal_register
