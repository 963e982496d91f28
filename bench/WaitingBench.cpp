// Typing while the register keeps the window waiting: right after another
// desk's commit (the persons are read again), while another desk holds a
// lock on them, and (on a server) while the server answers nothing at all.
// A timer asks the event loop every millisecond; the longest gap between
// two of its ticks is the longest the window did not answer. Keys go in
// every 60 ms, each timed to its return. Once the wait is over the list is
// the one of the boxes' text, and its arrival is timed apart, beside the
// bare statement.

#include "BenchSupport.h"
#include "Benchmarks.h"

#include "ServerConnection.h"
#include "Unit1.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// The longest gap between the event loop's turns while it runs.
class Stalls {
public:
    Stalls()
    {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(1);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            m_longest = std::max(m_longest, std::chrono::duration<double, std::milli>(now - m_last).count());
            m_last = now;
        });
    }
    // Runs the event loop while `until` is false, and returns its longest gap.
    double run(const std::function<bool()>& until)
    {
        m_longest = 0;
        m_last = Clock::now();
        m_tick.start();
        while (!until())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        m_tick.stop();
        return m_longest;
    }

private:
    QTimer m_tick;
    Clock::time_point m_last;
    double m_longest = 0;
};

} // namespace

void waitingPart(const QString& registers, const std::vector<long>& sizes, int /*runs*/)
{
    std::printf("### Typing while the register keeps the window waiting\n\n");
    std::printf("| persons | while | keys | longest the window did not answer (ms) | slowest key (ms) "
                "| list shown once free (ms) | %s (ms) |\n",
                onServer() ? "bare libpq" : "bare SQLite");
    std::printf("|---:|---|---:|---:|---:|---:|---:|\n");
    const QString keys = "Jova\b\b"; // \b: Backspace
    for (long size : sizes) {
        const QString location = scratchRegister(registers, size);
        {
            auto form = windowOn(location);
            form->Edit1->setFocus();
            const Bare db = bareOf(*form->ADOConnection1);
            OtherDesk other(location);
            const int backend = onServer() ? PQbackendPID(db.server) : 0;
            struct Situation {
                const char* label;
                std::function<void()> hold, release;
            };
            std::vector<Situation> situations{
                {"another desk's commit", [] {}, [] {}},
                {"another desk's lock", [&] { other.lock(); }, [&] { other.release(); }},
            };
            if (onServer())
                situations.push_back({"the server answering nothing", [&] { ::kill(backend, SIGSTOP); },
                                      [&] { ::kill(backend, SIGCONT); }});
            Stalls stalls;
            for (const Situation& situation : situations) {
                other.commitChange();
                situation.hold();
                double slowestKey = 0;
                int sent = 0;
                QTimer typist;
                typist.setInterval(60);
                QObject::connect(&typist, &QTimer::timeout, [&] {
                    const QChar key = keys[sent++];
                    slowestKey = std::max(slowestKey, milliseconds([&] {
                        if (key == QLatin1Char('\b'))
                            QTest::keyClick(form->Edit1, Qt::Key_Backspace);
                        else
                            QTest::keyClick(form->Edit1, key.toLatin1());
                    }));
                    if (sent == keys.size())
                        typist.stop();
                });
                typist.start();
                // The keys, and as long again with the window still waiting.
                const auto end = Clock::now() + std::chrono::milliseconds(2 * 60 * (keys.size() + 1));
                const double waiting = stalls.run([&] { return Clock::now() >= end; });
                const bool stillWaiting = form->ADOQuery1->readingAhead();
                situation.release();
                double shown = 0;
                const double arrival =
                    milliseconds([&] { shown = stalls.run([&] { return !form->ADOQuery1->readingAhead(); }); });
                const std::string sql = form->ADOQuery1->SQL()[0];
                const long long rows = bareRun(db, sql);
                const double bare = milliseconds([&] { bareRun(db, sql); });
                if (rows != form->ADOQuery1->RecordCount())
                    std::fprintf(stderr, "kolvara-bench: the list shows %d rows, its statement gives %lld\n",
                                 form->ADOQuery1->RecordCount(), rows);
                std::printf("| %ld | %s%s | %lld | %.1f | %.1f | %.0f (longest gap %.1f) | %.1f |\n", size,
                            situation.label, stillWaiting ? "" : " (read again while typing)",
                            static_cast<long long>(keys.size()), waiting, slowestKey, arrival, shown, bare);
                std::fflush(stdout);
                // Back to the whole list for the next situation.
                QTest::keyClick(form->Edit1, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(form->Edit1, Qt::Key_Delete);
                awaitSearch(form.get());
            }
        }
        removeScratch(location);
    }
    std::printf("\n");
}

} // namespace bench
