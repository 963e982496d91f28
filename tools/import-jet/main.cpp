// kolvara-import-jet: brings a register kept in an Access (Jet 3, Jet 4 or
// ACE) file into a new register file of this program.

#include "Importer.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const Usage =
    "usage: kolvara-import-jet [options] OLD.mdb [NEW]\n"
    "       kolvara-import-jet [options] --replace proba.mdb\n"
    "Copies the persons, countries and cities of the Access register OLD.mdb into a\n"
    "new register NEW (default: proba.mdb in OLD's folder). OLD is only read.\n"
    "  --replace      the new register takes OLD's name; OLD is kept, unchanged,\n"
    "                 as OLD's name with \".access\" before its extension\n"
    "  --force        replace an existing NEW\n"
    "  --set-aside    copy rows the register refuses into tables <TABLE>_SET_ASIDE\n"
    "  --skip         leave rows the register refuses out\n"
    "                 (without either, such rows are listed and nothing is written)\n"
    "  --codepage N   read the text of a Jet 3 file in Windows code page N\n"
    "                 (default: the one the file records)\n"
    "Exit code: 0 everything copied, 1 nothing written, 2 wrong use,\n"
    "3 written but rows left out by --skip.\n";

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string keptName(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".access";
    return path.substr(0, dot) + ".access" + path.substr(dot);
}

void showProgress(std::int64_t done, std::int64_t total)
{
    if (total < 20000 || !isatty(STDERR_FILENO))
        return;
    const int percent = int(std::min<std::int64_t>(100, done * 100 / total));
    const int bar = percent / 4;
    std::fprintf(stderr, "\rReading rows [%.*s%.*s] %3d%%", bar, "#########################", 25 - bar,
                 "                         ", percent);
    if (done >= total)
        std::fputc('\n', stderr);
}

int runImport(const ImportOptions& options);

// The reading library is not hardened against every damaged file: a page
// broken in the wrong place can crash it. The import runs in a child
// process; if that dies, this one says so plainly and clears away whatever
// the child had begun, so that nothing half-written is left.
int runSupervised(const ImportOptions& options)
{
    struct stat before;
    const bool keptExisted = !options.keepOldAs.empty() && ::stat(options.keepOldAs.c_str(), &before) == 0;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child < 0)
        return runImport(options);
    if (child == 0) {
        const int code = runImport(options);
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(code);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    std::remove((options.target + ".partial").c_str());
    // A second name of the old file, made just before the end: taken away
    // only while the old file still has its own name too.
    struct stat old, kept;
    if (!options.keepOldAs.empty() && !keptExisted && ::stat(options.source.c_str(), &old) == 0
        && ::stat(options.keepOldAs.c_str(), &kept) == 0 && old.st_ino == kept.st_ino && old.st_dev == kept.st_dev)
        ::unlink(options.keepOldAs.c_str());
    std::fprintf(stderr, "\nkolvara-import-jet: reading \"%s\" failed (%s): the file is damaged in a way the "
                         "Access reader cannot get past. Repair it with Access (Compact and Repair) and run the "
                         "import again.\nNothing was written.\n",
                 options.source.c_str(), WIFSIGNALED(status) ? strsignal(WTERMSIG(status)) : "stopped");
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    ImportOptions options;
    bool replace = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--force") {
            options.force = true;
        } else if (arg == "--replace") {
            replace = true;
        } else if (arg == "--set-aside") {
            options.refused = RefusedRows::SetAside;
        } else if (arg == "--skip") {
            options.refused = RefusedRows::Skip;
        } else if (arg == "--codepage" && i + 1 < argc) {
            char* end = nullptr;
            options.codePage = int(std::strtol(argv[++i], &end, 10));
            if (*end || options.codePage <= 0) {
                std::fprintf(stderr, "kolvara-import-jet: --codepage takes a Windows code page number, such as 1250\n");
                return 2;
            }
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (!arg.empty() && arg[0] != '-' && paths.size() < 2) {
            paths.push_back(arg);
        } else {
            std::fputs(Usage, stderr);
            return 2;
        }
    }
    if (paths.empty() || (replace && paths.size() > 1)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    options.source = paths[0];
    if (replace) {
        options.target = options.source;
        options.keepOldAs = keptName(options.source);
    } else if (paths.size() > 1) {
        options.target = paths[1];
    } else {
        options.target = folderOf(options.source) + "proba.mdb";
        if (options.target == options.source || options.target == "./" + options.source) {
            std::fprintf(stderr, "kolvara-import-jet: name the new register, or give --replace to put it in the "
                                 "old one's place (the old file is kept as %s).\n",
                         keptName(options.source).c_str());
            return 2;
        }
    }

    return runSupervised(options);
}

namespace {

int runImport(const ImportOptions& options)
{
    ImportReport report;
    try {
        report = importJet(options, showProgress);
    } catch (const ImportError& error) {
        std::fprintf(stderr, "kolvara-import-jet: %s\nNothing was written.\n", error.what());
        return 1;
    }

    std::printf("Read \"%s\" (%s", options.source.c_str(), report.format.c_str());
    if (report.codePage)
        std::printf(", text in code page %d", report.codePage);
    std::printf(").\n");
    std::int64_t skipped = 0;
    for (const TableReport& table : report.tables) {
        std::printf("  %-8s %lld rows read", table.name.c_str(), static_cast<long long>(table.read));
        if (report.written)
            std::printf(", %lld written", static_cast<long long>(table.written));
        if (table.setAside)
            std::printf(", %lld set aside in %s_SET_ASIDE", static_cast<long long>(table.setAside),
                        table.name.c_str());
        if (table.skipped)
            std::printf(", %lld left out", static_cast<long long>(table.skipped));
        std::printf("\n");
        skipped += table.skipped;
    }
    if (!report.written) {
        std::fprintf(stderr, "kolvara-import-jet: %zu rows cannot go into the register as they are, so nothing "
                             "was written:\n", report.refused.size());
        for (const RefusedRow& row : report.refused)
            std::fprintf(stderr, "  %s %s: %s\n", row.table.c_str(), row.key.c_str(), row.reason.c_str());
        std::fprintf(stderr, "Mend them in the old file, or run again with --set-aside (they are kept in tables "
                             "<TABLE>_SET_ASIDE) or --skip (they are left out).\n");
        return 1;
    }
    for (const RefusedRow& row : report.refused)
        std::printf("  %s %s %s: %s\n", options.refused == RefusedRows::SetAside ? "set aside" : "left out",
                    row.table.c_str(), row.key.c_str(), row.reason.c_str());
    if (!options.keepOldAs.empty())
        std::printf("The old register is kept, unchanged, as %s.\n", options.keepOldAs.c_str());
    std::printf("Wrote %s.\n", options.target.c_str());
    return skipped ? 3 : 0;
}

} // namespace
