#include "BenchSupport.h"
#include "Benchmarks.h"

#include "Application.h"
#include "Exception.h"
#include "Unit1.h"

#include <QFile>
#include <QHeaderView>
#include <QTest>

#include <cstdio>

namespace bench {

void editingPart(const QString& registers, const std::vector<long>& sizes, int runsOverride)
{
    std::printf("\n### Saving and deleting in the window\n\n");
    std::printf("| persons | operation | window (ms) | %s (ms) | ratio |\n", onServer() ? "bare libpq" : "bare SQLite");
    std::printf("|---:|---|---:|---:|---:|\n");
    for (long size : sizes) {
        // Work on a copy: the register of this size stays as it was made.
        const QString path = scratchRegister(registers, size);

        auto form = windowOn(path);
        // A person is usually edited after finding them.
        form->Edit1->setText("Jova");
        awaitSearch(form.get());
        const std::string search = form->ADOQuery1->SQL()[0];
        const Bare db = bareOf(*form->ADOConnection1);
        auto paint = [&] {
            form->DBGrid1->viewport()->repaint();
            form->StatusBar1->repaint();
        };

        const int runs = runsOverride ? runsOverride : size <= 100000 ? 9 : 3;
        std::vector<double> save, saveBare, removal, removalBare;
        for (int r = 0; r < runs; ++r) {
            // Save: edit the fifth person's surname, save, come back to them.
            form->ADOQuery1->setRecNo(5);
            const int id = form->ADOQuery1ID->AsInteger();
            form->ADOQuery1->Edit();
            form->ADOQuery1Prezime->setAsString("Novaković" + std::to_string(r));
            save.push_back(milliseconds([&] {
                form->ADOQuery1->Post();
                awaitSearch(form.get()); // on a server the list after a save comes in the background
                paint();
            }));
            if (form->ADOQuery1ID->AsInteger() != id)
                std::fprintf(stderr, "kolvara-bench: the list did not come back to the person saved\n");
            saveBare.push_back(milliseconds([&] {
                bareWrite(db, "UPDATE PODACI SET Prezime = 'Novaković" + std::to_string(r) + "' WHERE ID = "
                                  + std::to_string(id));
                bareRun(db, search);
            }));

            // Delete: the fifth person, as the navigator's delete does after
            // the question; and the bare statements delete the sixth.
            form->ADOQuery1->setRecNo(5);
            removal.push_back(milliseconds([&] {
                try {
                    form->ADOQuery1->Delete();
                } catch (const EAbort&) {
                    // the list's own step, which has nothing left to do
                }
                paint();
            }));
            form->ADOQuery1->setRecNo(6);
            const int other = form->ADOQuery1ID->AsInteger();
            removalBare.push_back(milliseconds([&] {
                bareWrite(db, "DELETE FROM PODACI WHERE ID = " + std::to_string(other));
                bareRun(db, search);
            }));
            form->ADOQuery1->Refresh();
        }
        const double a = median(save), b = median(saveBare), c = median(removal), d = median(removalBare);
        std::printf("| %ld | save and come back | %.2f | %.2f | %.2f |\n", size, a, b, a / b);
        std::printf("| %ld | delete | %.2f | %.2f | %.2f |\n", size, c, d, c / d);
        std::fflush(stdout);
        form.reset();
        removeScratch(path);
    }
}

} // namespace bench
