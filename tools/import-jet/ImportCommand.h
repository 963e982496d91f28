#pragma once
// Running an import as a command does: in a child process (the Access
// reader is not hardened against every damaged file), with a progress bar
// on a terminal, then the report of what was read, written, set aside or
// left out, on standard output and error, in the desktop's language.

#include "CommandLine.h"
#include "Importer.h"

// Runs the import; returns the command's exit code: 0 all was brought over,
// 1 nothing was written, 3 written but rows were left out by --skip.
// command names the command in its messages.
int runImportCommand(const char* command, const ImportOptions& options);

// The two ways with rows the new register refuses, --set-aside and --skip,
// as options of a command (described by the texts given; they contradict
// each other), and which one the command line chose.
void addRefusedRowsOptions(CommandLine& command, const QString& setAside, const QString& skip);
RefusedRows refusedRowsOf(const CommandLine& command);
