#include "BenchSupport.h"
#include "Benchmarks.h"

#include "Application.h"
#include "Unit1.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>

#include <cstdio>

namespace bench {
namespace {

struct Step {
    const char* label;
    std::function<void(TForm1*)> action;
};

// What a person types: a first name of four letters, a surname of three,
// then "Nova pretraga".
std::vector<Step> typing()
{
    std::vector<Step> steps;
    for (const char* key : {"J", "o", "v", "a"})
        steps.push_back({key, [key](TForm1* f) { QTest::keyClick(f->Edit1, key[0]); }});
    for (const char* key : {"P", "e", "t"})
        steps.push_back({key, [key](TForm1* f) { QTest::keyClick(f->Edit2, key[0]); }});
    steps.push_back({"Nova pretraga", [](TForm1* f) { QTest::mouseClick(f->Button1, Qt::LeftButton); }});
    return steps;
}

// Everything the person waits for: the list and the status line painted.
void repaint(TForm1* form)
{
    form->DBGrid1->viewport()->repaint();
    form->DBGrid1->verticalHeader()->viewport()->repaint();
    form->StatusBar1->repaint();
}

// The least painting a keystroke that brings other rows can cost: the list's
// cells, its indicator column and scroll bar, the detail boxes that show the
// new current row, the box typed into and the status line, each painted once
// with nothing else to do. Median of 200, in milliseconds.
double leastPainting(TForm1* form)
{
    const QList<QWidget*> changed{form->DBGrid1->viewport(), form->DBGrid1->verticalHeader()->viewport(),
                                  form->DBGrid1->verticalScrollBar(), form->DBEdit1, form->DBEdit2, form->DBEdit3,
                                  form->DBEdit4, form->DBLookupComboBox1, form->DBLookupComboBox2, form->Edit1,
                                  form->StatusBar1};
    std::vector<double> times;
    for (int i = 0; i < 200; ++i)
        times.push_back(milliseconds([&] {
            for (QWidget* widget : changed)
                widget->update();
            changed.front()->repaint(); // paints every widget marked above, once
        }));
    return median(times);
}

} // namespace

void windowPart(const QString& registers, const std::vector<long>& sizes, int runsOverride)
{
    std::printf("### Typing into the window\n\n");
    std::printf("| persons | keystroke | statements | rows | window (ms) | %s (ms) | ratio |\n",
                onServer() ? "bare libpq" : "bare SQLite");
    std::printf("|---:|---|---:|---:|---:|---:|---:|\n");
    const std::vector<Step> steps = typing();
    std::vector<std::string> notes;
    for (long size : sizes) {
        const QString path = ensureRegister(registers, size);
        auto form = windowOn(path);
        form->Edit1->setFocus();
        const Bare db = bareOf(*form->ADOConnection1);

        // The statements each keystroke runs, as the list opens them.
        std::vector<std::string> ran;
        const auto statusLine = form->DataSource1->OnDataChange;
        form->DataSource1->OnDataChange = [&, statusLine](QObject* sender, TField* field) {
            statusLine(sender, field);
            if (form->ADOQuery1->State() == dsBrowse && (ran.empty() || ran.back() != form->ADOQuery1->SQL()[0]))
                ran.push_back(form->ADOQuery1->SQL()[0]);
        };

        const int runs = runsOverride ? runsOverride : size <= 10000 ? 21 : size <= 100000 ? 7 : 3;
        std::vector<std::vector<double>> window(steps.size()), bare(steps.size());
        std::vector<int> counts(steps.size()), rows(steps.size());
        double worst = 0;
        for (int r = 0; r < runs; ++r) {
            for (std::size_t s = 0; s < steps.size(); ++s) {
                ran.clear();
                const double t = milliseconds([&] {
                    steps[s].action(form.get());
                    awaitSearch(form.get());
                    repaint(form.get());
                });
                window[s].push_back(t);
                if (s + 1 < steps.size()) // a keystroke, not the button
                    worst = std::max(worst, t);
                const std::vector<std::string> statements = ran;
                bare[s].push_back(milliseconds([&] {
                    for (const std::string& sql : statements)
                        bareRun(db, sql);
                }));
                counts[s] = int(statements.size());
                rows[s] = form->ADOQuery1->RecordCount();
            }
        }
        double sumWindow = 0, sumBare = 0;
        std::vector<double> keystrokeBares; // the typed letters, not the button
        for (std::size_t s = 0; s + 1 < steps.size(); ++s)
            keystrokeBares.push_back(median(bare[s]));
        const double keystrokeBare = median(keystrokeBares);
        const double least = leastPainting(form.get());
        for (std::size_t s = 0; s < steps.size(); ++s) {
            const double a = median(window[s]), b = median(bare[s]);
            sumWindow += a;
            sumBare += b;
            std::printf("| %ld | %s | %d | %d | %.2f | %.2f | %.2f |\n", size, steps[s].label, counts[s], rows[s], a, b,
                        a / b);
        }
        std::fflush(stdout);
        char line[300];
        std::snprintf(line, sizeof line,
                      "%ld persons: all %zu steps %.1f ms in the window against %.1f ms bare (ratio %.2f); "
                      "slowest keystroke of all runs %.1f ms",
                      size, steps.size(), sumWindow, sumBare, sumWindow / sumBare, worst);
        notes.push_back(line);
        std::snprintf(line, sizeof line,
                      "%ld persons: painting what a keystroke that brings other rows must change, alone: %.2f ms, "
                      "%.2f of the median keystroke's bare statements (%.2f ms)",
                      size, least, least / keystrokeBare, keystrokeBare);
        notes.push_back(line);

        if (size == sizes.back()) {
            // Scrolling the whole list a page at a time.
            form->DBGrid1->setFocus();
            std::vector<double> pages;
            for (int i = 0; i < 200; ++i)
                pages.push_back(milliseconds([&] {
                    QTest::keyClick(form->DBGrid1, Qt::Key_PageDown);
                    QCoreApplication::processEvents();
                    repaint(form.get());
                }));
            std::snprintf(line, sizeof line,
                          "scrolling %ld persons a page at a time: median %.2f ms a page, slowest %.2f ms", size,
                          median(pages), *std::max_element(pages.begin(), pages.end()));
            notes.push_back(line);
        }
    }
    std::printf("\n");
    for (const std::string& note : notes)
        std::printf("- %s\n", note.c_str());
}

} // namespace bench
