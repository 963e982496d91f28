// kolvara-bench: the program's work beside the bare SQLite statements it runs.
//
// For registers of several sizes, made by kolvara-make-register, it opens the
// persons list, and types into the real window (offscreen), each beside the
// same statements prepared and stepped to the end with the bare SQLite C API
// on the same connection, reading every column. The two are run in turn many
// times and the medians compared: the ratio is what matters on a shared
// machine, where absolute times wander.
//
// The pixels part, run only when --parts names it, types the same keys into
// the window on a real X server (QT_QPA_PLATFORM=xcb, DISPLAY, a window
// manager), from the key to the last pixels the server got; without one it
// is skipped with a line.
//
// The waiting part types while another desk's commit, its lock or a server
// that answers nothing keeps the window waiting, and times the event loop.
// The export part takes every person out to CSV and a workbook, beside the
// engine's shell writing the same statement's rows as CSV.
//
// It also brings the Access samples in beside mdb-export (--jet-samples).
// With --server URI (a PostgreSQL server without a database), the list,
// window and editing parts run again in the same run on registers kept on
// that server, beside the same texts through libpq.
//
// Usage: kolvara-bench [--registers DIR] [--sizes N,N,...] [--runs N]
//                      [--jet-samples DIR] [--parts list,window,editing,places,history,waiting,export,persons-in,pixels,import]
//                      [--server postgresql://user@host:port [--server-only]]

#include "BenchSupport.h"
#include "Benchmarks.h"

#include "Application.h"

#include <QDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    // An X server asked for but not usable would end the program here; the
    // other parts run offscreen then, and the pixels part says why it is
    // skipped.
    if (qgetenv("QT_QPA_PLATFORM") == "xcb" && !bench::displayProblem().isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    app.Initialize();
    QString registers = QDir::current().filePath("registers");
    std::vector<long> sizes = {10000, 100000, 1000000};
    int runs = 0;
    QString samples;
    QStringList parts = {"list", "window", "editing", "places", "history", "waiting", "export", "persons-in", "import"};
    QString server;
    bool fileToo = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--registers" && i + 1 < args.size()) {
            registers = args[++i];
        } else if (args[i] == "--sizes" && i + 1 < args.size()) {
            sizes.clear();
            for (const QString& s : args[++i].split(','))
                sizes.push_back(s.toLong());
        } else if (args[i] == "--runs" && i + 1 < args.size()) {
            runs = args[++i].toInt();
        } else if (args[i] == "--jet-samples" && i + 1 < args.size()) {
            samples = args[++i];
        } else if (args[i] == "--parts" && i + 1 < args.size()) {
            parts = args[++i].split(',');
        } else if (args[i] == "--server" && i + 1 < args.size()) {
            server = args[++i];
        } else if (args[i] == "--server-only") {
            fileToo = false;
        } else {
            std::fprintf(stderr, "usage: kolvara-bench [--registers DIR] [--sizes N,N,...] [--runs N] "
                                 "[--jet-samples DIR] [--parts list,window,editing,places,history,waiting,export,persons-in,pixels,import] "
                                 "[--server URI [--server-only]]\n");
            return 2;
        }
    }
    QDir().mkpath(registers);
    const QStringList engines = server.isEmpty() ? QStringList{""} : fileToo ? QStringList{"", server} : QStringList{server};
    for (const QString& engine : engines) {
        bench::useServer(engine);
        if (!server.isEmpty())
            std::printf("## %s\n\n", engine.isEmpty() ? "A register file" : "A register on a PostgreSQL server on this machine");
        if (parts.contains("list"))
            bench::dataSetPart(registers, sizes, runs);
        if (parts.contains("window"))
            bench::windowPart(registers, sizes, runs);
        if (parts.contains("editing"))
            bench::editingPart(registers, sizes, runs);
        if (parts.contains("places"))
            bench::placesPart(registers, sizes, runs);
        if (parts.contains("history"))
            bench::historyPart(registers, sizes, runs);
        if (parts.contains("waiting"))
            bench::waitingPart(registers, sizes, runs);
        if (parts.contains("export"))
            bench::exportPart(registers, sizes, runs);
        if (parts.contains("persons-in"))
            bench::personsInPart(registers, sizes, runs);
        if (parts.contains("pixels"))
            bench::pixelsPart(registers, sizes, runs);
    }
    if (parts.contains("import") && !samples.isEmpty())
        bench::importPart(samples, runs);
    return 0;
}
