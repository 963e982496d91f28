// Key press to pixels: the typing of the window part again, but as a person
// meets it, through a real X server. The keys go in through XTEST, as a
// keyboard's would, and a step ends with the last pixels the X server was
// given for the window, seen through DAMAGE.
//
// The main thread runs the program's event loop and nothing else while a
// step is timed; a second thread, on an X connection of its own, presses
// the keys and reads the damage. A step's time runs from just before the
// key is sent to the last damage on the list or the status line in the
// burst that follows it (what the person waits for; the pressed button's
// release after "Nova pretraga" comes later and is not waited for): the burst
// ends once no damage has come for a quiet spell AND the main thread has
// come back to its event loop since the last damage (a probe posted to it
// has run), so that a search longer than the quiet spell cannot cut the
// burst short after an early repaint (the pressed button's), nor while a
// search runs in the background (on a server) and its list is still to
// come. The quiet spell itself is not counted.
//
// The edit box's cursor does not blink during the part: its blinking
// repaints the box every half second, damage that no key caused and that
// could end a step's time late.
//
// "Nova pretraga" is pressed by its mnemonic, Alt+N, as a person at the
// keyboard does.
//
// With KOLVARA_BENCH_TRACE set to a folder, the first round of each size
// writes there every damage rectangle of every step (damage.log: persons,
// step number, step, ms after the key, x, y, width, height in the window,
// "list" when it lies on the list or the status line; then the status line after the step)
// and what the window shows after each step (pixels-<persons>-<step>.png,
// read back from the X server).

#include "BenchSupport.h"
#include "Benchmarks.h"

#include "Application.h"
#include "Unit1.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QRegion>
#include <QRegularExpression>
#include <QScreen>
#include <QStyleHints>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include <poll.h>

// Xlib last: its macros (None, Bool, Status, KeyPress, ...) must not reach
// the Qt headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// How long no damage must come before a burst may be over.
constexpr auto quietSpell = std::chrono::milliseconds(150);
// How long a key may go without any damage, the main thread idle, before
// its step is given up: a search changes the list, a key that runs none at
// least moves the focus.
constexpr auto keyWithoutDamage = std::chrono::seconds(5);
// After the window is shown or changed directly, what it may still paint.
constexpr auto settling = std::chrono::milliseconds(500);

// One key as a keyboard sends it, with the modifiers held around it.
struct Press {
    KeySym key;
    bool shift = false;
    bool alt = false;
};

// A step of the person's typing: its key, timed unless it runs no search.
struct Step {
    std::string label;
    Press key;
    bool measured;
    bool pressesNovaPretraga = false;
};

// The person's typing, one round: a first name, a surname typed and taken
// back, "Nova pretraga" by its mnemonic, then back to the first box.
std::vector<Step> typing()
{
    std::vector<Step> steps;
    steps.push_back({"J", {XK_j, true}, true});
    for (KeySym k : {XK_o, XK_v, XK_a})
        steps.push_back({std::string(1, char(k)), {k}, true});
    steps.push_back({"Tab", {XK_Tab}, false});
    steps.push_back({"P", {XK_p, true}, true});
    steps.push_back({"e", {XK_e}, true});
    steps.push_back({"BackSpace (Pe to P)", {XK_BackSpace}, true});
    steps.push_back({"BackSpace (P to empty)", {XK_BackSpace}, true});
    steps.push_back({"Alt+N (Nova pretraga)", {XK_n, false, true}, true, true});
    // The label "&Ime" puts the keyboard back into the first box.
    steps.push_back({"Alt+I", {XK_i, false, true}, false});
    return steps;
}

void send(Display* display, const Press& press)
{
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    const KeyCode alt = XKeysymToKeycode(display, XK_Alt_L);
    const KeyCode key = XKeysymToKeycode(display, press.key);
    if (press.shift)
        XTestFakeKeyEvent(display, shift, True, CurrentTime);
    if (press.alt)
        XTestFakeKeyEvent(display, alt, True, CurrentTime);
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    if (press.alt)
        XTestFakeKeyEvent(display, alt, False, CurrentTime);
    if (press.shift)
        XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XFlush(display);
}

struct DamageSeen {
    double at; // ms after the key
    XRectangle area;
};

// What the measuring thread shares with the main thread: probes, each
// setting done to its number once the main thread's event loop reached it.
struct Probes {
    std::atomic<long> done{0};
    long posted = 0;
    std::atomic<long long> doneAt{0}; // steady clock ticks
    std::atomic<bool> searching{false}; // a search was still running in the background then
};

// What one step did, as the person saw it.
struct Outcome {
    double ms = 0;       // key to the last damage
    double listMs = -1;  // key to the last damage on the list or the status line
    std::vector<DamageSeen> damage;
    QString status;
    long long recordCount = 0;
    std::vector<std::string> statements;
    double bareMs = 0;
    bool clearedBoxes = true; // after "Nova pretraga"
    QWidget* focus = nullptr;
};

// Everything the measuring thread needs of the window, taken on the main
// thread before it starts.
struct Target {
    TForm1* form;
    Window window;
    QRegion list; // the list's cells, its indicator column and the status line, in the window
    Bare db;
    std::vector<std::string>* ran;
    QString trace; // folder, or empty
    long size;
    int rounds;
};

template <typename F>
void onMain(TForm1* form, F&& work)
{
    QMetaObject::invokeMethod(form, std::forward<F>(work), Qt::BlockingQueuedConnection);
}

class Measurer {
public:
    Measurer(const Target& target, Display* display, int damageEvent)
        : m_t(target), m_display(display), m_damageEvent(damageEvent)
    {
    }

    // Reads every damage event until the burst that follows start is over:
    // quiet for the quiet spell since the last damage, and since a probe
    // posted after that damage ran on the main thread. Without any damage
    // it gives up after noDamage (with the main thread idle).
    std::vector<DamageSeen> burst(Clock::time_point start, Clock::duration noDamage)
    {
        std::vector<DamageSeen> seen;
        Clock::time_point last = start;
        long awaited = 0; // the probe posted after the last damage, if any
        const int fd = ConnectionNumber(m_display);
        for (;;) {
            while (XPending(m_display)) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type != m_damageEvent + XDamageNotify)
                    continue;
                last = Clock::now();
                seen.push_back({since(start, last), reinterpret_cast<XDamageNotifyEvent*>(&event)->area});
                awaited = 0;
            }
            const Clock::time_point now = Clock::now();
            if (now - last >= quietSpell) {
                if (!awaited) {
                    awaited = ++m_probes.posted;
                    QMetaObject::invokeMethod(
                        m_t.form,
                        [this, awaited] {
                            m_probes.searching = m_t.form->ADOQuery1->readingAhead();
                            m_probes.doneAt = Clock::now().time_since_epoch().count();
                            m_probes.done = awaited;
                        },
                        Qt::QueuedConnection);
                } else if (m_probes.done >= awaited && m_probes.searching) {
                    awaited = 0; // the list is still to come: look again after another quiet spell
                } else if (m_probes.done >= awaited) {
                    const Clock::time_point ran{Clock::duration(m_probes.doneAt.load())};
                    if (now - ran >= quietSpell && (!seen.empty() || now - start >= noDamage))
                        return seen;
                    if (seen.empty() && now - ran >= quietSpell)
                        awaited = 0; // the main thread is idle and nothing came yet: look again later
                }
            }
            pollfd wait{fd, POLLIN, 0};
            poll(&wait, 1, 5);
        }
    }

    // Presses the step's keys and reads what followed; for a timed step
    // also what the window shows afterwards and the bare statements' time.
    Outcome run(const Step& step, int round, std::size_t index)
    {
        Outcome out;
        if (step.measured)
            onMain(m_t.form, [this] { m_t.ran->clear(); });
        drain();
        const Clock::time_point start = Clock::now();
        send(m_display, step.key);
        out.damage = burst(start, keyWithoutDamage);
        for (const DamageSeen& d : out.damage) {
            out.ms = std::max(out.ms, d.at);
            if (onList(d.area))
                out.listMs = std::max(out.listMs, d.at);
        }
        onMain(m_t.form, [&] {
            TForm1* form = m_t.form;
            out.status = form->StatusBar1->SimpleText();
            out.recordCount = form->ADOQuery1->RecordCount();
            out.statements = *m_t.ran;
            out.clearedBoxes = form->Edit1->Text().isEmpty() && form->Edit2->Text().isEmpty();
            out.focus = QApplication::focusWidget();
        });
        if (step.measured) {
            // The same statements bare, on the same connection, on the main
            // thread that owns it; the window is idle meanwhile.
            onMain(m_t.form, [&] {
                out.bareMs = milliseconds([&] {
                    for (const std::string& sql : out.statements)
                        bareRun(m_t.db, sql);
                });
            });
        }
        if (round == 0 && !m_t.trace.isEmpty())
            trace(step, index, out);
        return out;
    }

private:
    bool onList(const XRectangle& area) const
    {
        return m_t.list.intersects(QRect(area.x, area.y, area.width, area.height));
    }

    // Damage that came between steps belongs to none.
    void drain()
    {
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == m_damageEvent + XDamageNotify)
                ++strays;
        }
    }

    void trace(const Step& step, std::size_t index, const Outcome& out)
    {
        QFile log(m_t.trace + "/damage.log");
        if (log.open(QIODevice::Append | QIODevice::Text)) {
            QTextStream line(&log);
            for (const DamageSeen& d : out.damage)
                line << m_t.size << ' ' << index << " \"" << QString::fromStdString(step.label) << "\" "
                     << QString::number(d.at, 'f', 2) << ' ' << d.area.x << ' ' << d.area.y << ' ' << d.area.width
                     << ' ' << d.area.height << (onList(d.area) ? " list" : "") << '\n';
            line << m_t.size << ' ' << index << " \"" << QString::fromStdString(step.label) << "\" status \""
                 << out.status << "\"\n";
        }
        const QString shot = m_t.trace + QString("/pixels-%1-%2.png").arg(m_t.size).arg(index, 2, 10, QChar('0'));
        onMain(m_t.form, [&] { m_t.form->screen()->grabWindow(m_t.window).save(shot); });
    }

public:
    long strays = 0;

private:
    Target m_t;
    Display* m_display;
    int m_damageEvent;
    Probes m_probes;
};

// The count the status line shows: "... [current/count]".
long long shownCount(const QString& status)
{
    const QRegularExpressionMatch match = QRegularExpression(R"(/(\d+)\])").match(status);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

struct Results {
    std::vector<std::vector<double>> key, bare;
    // Per step and round: damage events, and ms from the key to the first
    // damage and to the list's last.
    std::vector<std::vector<double>> damageEvents, first, list;
    std::vector<long long> rows;
    std::vector<std::string> labels;
    int listDamaged = 0, timed = 0;
    double tail = 0; // the most the last damage came after the list's
    std::vector<std::string> problems;
    long strays = 0;
    bool done = false;
};

// The measuring thread's whole work for one size.
void measure(const Target& target, Results& results)
{
    Display* display = XOpenDisplay(nullptr);
    int damageEvent = 0, damageError = 0;
    XDamageQueryExtension(display, &damageEvent, &damageError);
    const Damage damage = XDamageCreate(display, target.window, XDamageReportRawRectangles);
    // The pointer away from the window: hovering would repaint under it.
    XTestFakeMotionEvent(display, -1, DisplayWidth(display, DefaultScreen(display)) - 1,
                         DisplayHeight(display, DefaultScreen(display)) - 1, CurrentTime);
    XSync(display, False);

    Measurer measurer(target, display, damageEvent);
    const std::vector<Step> steps = typing();
    const std::size_t n = steps.size();
    results.key.assign(n, {});
    results.bare.assign(n, {});
    results.damageEvents.assign(n, {});
    results.first.assign(n, {});
    results.list.assign(n, {});
    results.rows.assign(n, -1);
    for (const Step& step : steps)
        results.labels.push_back(step.label);

    // Anything the window still paints after being shown is nobody's.
    measurer.burst(Clock::now(), settling);
    measurer.strays = 0;
    for (int round = 0; round < target.rounds; ++round) {
        for (std::size_t s = 0; s < n; ++s) {
            const Outcome out = measurer.run(steps[s], round, s);
            if (steps[s].pressesNovaPretraga && !out.clearedBoxes) {
                results.problems.push_back("Alt+N did not press \"Nova pretraga\": nothing more was measured");
                XDamageDestroy(display, damage);
                XCloseDisplay(display);
                return;
            }
            if (s == n - 1 && out.focus != target.form->Edit1) {
                results.problems.push_back("Alt+I did not put the keyboard into the first name box; "
                                           "it was put there directly");
                onMain(target.form, [&] { target.form->Edit1->setFocus(); });
                measurer.burst(Clock::now(), settling);
            }
            if (!steps[s].measured)
                continue;
            results.key[s].push_back(out.listMs >= 0 ? out.listMs : out.ms);
            results.bare[s].push_back(out.bareMs);
            results.damageEvents[s].push_back(double(out.damage.size()));
            results.first[s].push_back(out.damage.empty() ? 0 : out.damage.front().at);
            results.list[s].push_back(out.listMs);
            const long long shown = shownCount(out.status);
            results.rows[s] = shown;
            if (shown != out.recordCount)
                results.problems.push_back("after " + steps[s].label + " the status line shows \"" +
                                           out.status.toStdString() + "\" but the list has " +
                                           std::to_string(out.recordCount) + " rows");
            ++results.timed;
            if (out.listMs >= 0) {
                ++results.listDamaged;
                results.tail = std::max(results.tail, out.ms - out.listMs);
            }
        }
    }
    results.strays = measurer.strays;
    results.done = true;
    XDamageDestroy(display, damage);
    XCloseDisplay(display);
}

} // namespace

QString displayProblem()
{
    static const QString problem = [] {
        if (qgetenv("QT_QPA_PLATFORM") != "xcb")
            return QString("QT_QPA_PLATFORM is not xcb");
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return QString("DISPLAY is not set");
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return "no X server answers at DISPLAY=" + qEnvironmentVariable("DISPLAY");
        int event = 0, error = 0, major = 0, minor = 0;
        QString missing;
        if (!XTestQueryExtension(display, &event, &error, &major, &minor))
            missing = "the X server has no XTEST extension";
        else if (!XDamageQueryExtension(display, &event, &error))
            missing = "the X server has no DAMAGE extension";
        XCloseDisplay(display);
        return missing;
    }();
    return problem;
}

void pixelsPart(const QString& registers, const std::vector<long>& sizes, int runsOverride)
{
    std::printf("### Key press to pixels, through a real X server\n\n");
    QString problem = displayProblem();
    if (problem.isEmpty() && QGuiApplication::platformName() != "xcb")
        problem = "the window is not on the X server (platform " + QGuiApplication::platformName() + ")";
    if (!problem.isEmpty()) {
        std::printf("Skipped: %s. It needs an X server with a window manager, "
                    "QT_QPA_PLATFORM=xcb and DISPLAY (make bench starts them).\n\n",
                    qPrintable(problem));
        std::fflush(stdout);
        return;
    }
    QString trace = qEnvironmentVariable("KOLVARA_BENCH_TRACE");
    if (!trace.isEmpty()) {
        QDir().mkpath(trace);
        QFile::remove(trace + "/damage.log");
    }
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    QGuiApplication::styleHints()->setCursorFlashTime(0);

    std::vector<std::string> notes;
    bool headed = false;
    for (long size : sizes) {
        const QString path = ensureRegister(registers, size);
        auto form = windowOn(path);
        form->raise();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get(), 10000)) {
            notes.push_back(std::to_string(size) + " persons: skipped, the window manager did not activate the window");
            continue;
        }
        form->Edit1->setFocus();
        QTest::qWait(100);

        // The statements each key runs, as the list opens them.
        std::vector<std::string> ran;
        const auto statusLine = form->DataSource1->OnDataChange;
        TForm1* f = form.get();
        f->DataSource1->OnDataChange = [&ran, f, statusLine](QObject* sender, TField* field) {
            statusLine(sender, field);
            if (f->ADOQuery1->State() == dsBrowse && (ran.empty() || ran.back() != f->ADOQuery1->SQL()[0]))
                ran.push_back(f->ADOQuery1->SQL()[0]);
        };

        // Where the list lies in the X window, in its pixels.
        const auto inWindow = [f](const QWidget* w) {
            const qreal ratio = f->devicePixelRatioF();
            const QPoint at = w->mapTo(f, QPoint(0, 0));
            return QRect(QPoint(qFloor(at.x() * ratio), qFloor(at.y() * ratio)),
                         QSize(qCeil(w->width() * ratio), qCeil(w->height() * ratio)));
        };
        const Target target{f,
                            Window(f->winId()),
                            QRegion(inWindow(f->DBGrid1->viewport()))
                                + inWindow(f->DBGrid1->verticalHeader()->viewport()) + inWindow(f->StatusBar1),
                            bareOf(*f->ADOConnection1),
                            &ran,
                            trace,
                            size,
                            runsOverride ? runsOverride : size <= 100000 ? 7 : 5};
        if (!headed) {
            std::printf("| persons | step | rows | key to the list's pixels, median (ms) | slowest | %s (ms) | ratio |\n",
                        bareName(target.db));
            std::printf("|---:|---|---:|---:|---:|---:|---:|\n");
            headed = true;
        }

        Results results;
        QEventLoop loop;
        std::thread worker;
        QTimer::singleShot(0, &loop, [&] {
            worker = std::thread([&] {
                measure(target, results);
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            });
        });
        loop.exec();
        worker.join();
        f->DataSource1->OnDataChange = statusLine;

        for (std::size_t i = 0; i < results.problems.size(); ++i) // each once, however many rounds had it
            if (std::find(results.problems.begin(), results.problems.begin() + i, results.problems[i]) ==
                results.problems.begin() + i)
                notes.push_back(std::to_string(size) + " persons: " + results.problems[i]);
        if (!results.done)
            continue;
        double sumKey = 0, sumBare = 0;
        std::string events, late;
        int overHalfFrame = 0, overFrame = 0, keys = 0;
        for (std::size_t s = 0; s < results.key.size(); ++s) {
            if (results.key[s].empty())
                continue;
            for (std::size_t r = 0; r < results.key[s].size(); ++r, ++keys) {
                const double ms = results.key[s][r];
                overHalfFrame += ms > 8;
                overFrame += ms > 16;
                if (ms > 8)
                    late += (late.empty() ? "" : ", ") + results.labels[s] + " in round " + std::to_string(r + 1);
            }
            const double k = median(results.key[s]), b = median(results.bare[s]);
            const double slowest = *std::max_element(results.key[s].begin(), results.key[s].end());
            sumKey += k;
            sumBare += b;
            std::printf("| %ld | %s | %lld | %.1f | %.1f | %.2f | %.1f |\n", size, results.labels[s].c_str(),
                        results.rows[s], k, slowest, b, k / b);
            char each[200];
            std::snprintf(each, sizeof each, "%s %.0f, %.1f / %.1f / %.1f", results.labels[s].c_str(),
                          median(results.damageEvents[s]), median(results.first[s]), median(results.list[s]), k);
            events += (events.empty() ? "" : "; ") + std::string(each);
        }
        std::fflush(stdout);
        char line[400];
        std::snprintf(line, sizeof line,
                      "%ld persons, %d rounds: all timed steps %.1f ms from key to pixels against %.1f ms bare "
                      "(ratio %.1f)",
                      size, target.rounds, sumKey, sumBare, sumKey / sumBare);
        notes.push_back(line);
        std::snprintf(line, sizeof line,
                      "%ld persons: the list's cells were repainted after %d of %d timed keys; the last damage "
                      "of a burst came at most %.1f ms after the list's; damage between steps: %ld",
                      size, results.listDamaged, results.timed, results.tail, results.strays);
        notes.push_back(line);
        notes.push_back(std::to_string(size) + " persons: " + std::to_string(overHalfFrame) + " of " +
                        std::to_string(keys) + " timed keys took over 8 ms, " + std::to_string(overFrame) +
                        " over 16 ms" + (late.empty() ? "" : " (" + late + ")"));
        notes.push_back(std::to_string(size) + " persons, medians per key of damage events, and ms from the key to "
                        "the first damage / the list's repaint / the last damage: " + events);
        if (size == sizes.back())
            notes.push_back("peak memory of the process (VmHWM) after " + std::to_string(size) +
                            " persons: " + std::to_string(peakMegabytes()) + " MB");
    }
    QGuiApplication::styleHints()->setCursorFlashTime(flashTime);
    notes.push_back("Alt+N: the button acts at once and shows itself pressed for 100 ms afterwards; its release "
                    "is the last damage of that step, after the list, and not counted");
    std::printf("\n");
    for (const std::string& note : notes)
        std::printf("- %s\n", note.c_str());
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace bench
