#include "BenchSupport.h"
#include "Benchmarks.h"

#include "Application.h"
#include "ADOConnection.h"
#include "ConnectionString.h"
#include "Exception.h"
#include "History.h"
#include "Places.h"
#include "PlacesDialog.h"
#include "Unit1.h"

#include <QFile>
#include <QHeaderView>
#include <QTest>

#include <algorithm>
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

// The countries' and cities' dialogs opened on the real window (their
// lists read with their counts and shown), a city renamed and two cities
// merged, beside the bare statements; each merge is made on one copy of the
// register by the program and on another by the bare statements.
void placesPart(const QString& registers, const std::vector<long>& sizes, int runsOverride)
{
    std::printf("\n### Keeping the countries and cities\n\n");
    std::printf("| persons | operation | program (ms) | %s (ms) | ratio |\n", onServer() ? "bare libpq" : "bare SQLite");
    std::printf("|---:|---|---:|---:|---:|\n");
    for (long size : sizes) {
        const QString path = scratchRegister(registers, size), twin = scratchRegister(registers, size, "twin");
        auto form = windowOn(path);
        Places places(*form->ADOConnection1);
        const Bare db = bareOf(*form->ADOConnection1);
        TADOConnection other;
        other.setConnectionString(ConnectionString::forRegister(twin));
        other.Open();
        const Bare otherDb = bareOf(other);
        // The country with the most cities, and its cities by number.
        std::vector<Place> countries = places.countries(), cities;
        for (const Place& country : countries)
            if (std::vector<Place> its = places.cities(country.country); its.size() > cities.size())
                cities = std::move(its);
        std::sort(cities.begin(), cities.end(), [](const Place& a, const Place& b) { return a.number < b.number; });
        const std::int32_t country = cities.front().country;
        const std::string where = " WHERE ID_DRZAVA = " + std::to_string(country) + " AND ID_GRAD = ";
        const int runs = std::min<int>(runsOverride ? runsOverride : size <= 100000 ? 9 : 3, int(cities.size() / 2));
        std::vector<double> open[2], openBare[2], rename, renameBare, merge, mergeBare;
        std::int64_t moved = 0;
        // The dialogs opened on the register as it is, and once more after
        // the merges below (on a server, before its vacuum has caught up).
        const auto openAll = [&](std::vector<double>* mine, std::vector<double>* bare) {
            for (int list = 0; list < 2; ++list) {
                mine[list].push_back(milliseconds([&] {
                    TPlacesDialog dialog(places, list == 1, country, form.get());
                    dialog.show();
                    dialog.repaint();
                }));
                bare[list].push_back(milliseconds([&] {
                    bareRun(db, list == 0 ? "SELECT ID, NAZIV, (SELECT count(*) FROM PODACI WHERE PODACI.ID_DRZAVA = "
                                            "DRZAVE.ID) FROM DRZAVE"
                                          : "SELECT ID_GRAD, NAZIV, (SELECT count(*) FROM PODACI WHERE PODACI.ID_DRZAVA = "
                                            "GRADOVI.ID_DRZAVA AND PODACI.ID_GRAD = GRADOVI.ID_GRAD) FROM GRADOVI WHERE "
                                            "ID_DRZAVA = "
                                                + std::to_string(country));
                }));
            }
        };
        for (int r = 0; r < runs; ++r)
            openAll(open, openBare);
        for (int r = 0; r < runs; ++r) {
            Place city = cities[std::size_t(2 * r)];
            const std::string name = "Preimenovan " + std::to_string(r);
            rename.push_back(milliseconds([&] { places.rename(city, name); }));
            renameBare.push_back(milliseconds([&] {
                bareWrite(db, "UPDATE GRADOVI SET NAZIV = '" + name + " bis'" + where + std::to_string(city.number)
                                  + " AND NAZIV = '" + name + "'");
            }));
            city.name.text = name + " bis";
            const Place& into = cities[std::size_t(2 * r + 1)];
            merge.push_back(milliseconds([&] { moved += places.merge(city, into); }));
            mergeBare.push_back(milliseconds([&] {
                bareWrite(otherDb, "UPDATE PODACI SET ID_DRZAVA = " + std::to_string(country) + ", ID_GRAD = "
                                       + std::to_string(into.number) + where + std::to_string(city.number)
                                       + "; DELETE FROM GRADOVI" + where + std::to_string(city.number));
            }));
        }
        std::vector<double> later[2], laterBare[2];
        for (int r = 0; r < runs; ++r)
            openAll(later, laterBare);
        const auto row = [size](const char* what, const std::vector<double>& mine, const std::vector<double>& bare) {
            const double a = median(mine), b = median(bare);
            std::printf("| %ld | %s | %.2f | %.2f | %.2f |\n", size, what, a, b, a / b);
        };
        row("countries' dialog opened", open[0], openBare[0]);
        row("cities' dialog opened", open[1], openBare[1]);
        row("city renamed", rename, renameBare);
        row("countries' dialog opened after the merges", later[0], laterBare[0]);
        row(qPrintable(QString("two cities merged (%1 persons each, as the median)").arg(moved / std::max(runs, 1))), merge,
            mergeBare);
        std::fflush(stdout);
        other.Close();
        form.reset();
        removeScratch(path);
        removeScratch(twin);
    }
}

// The register's history at a million recorded changes: every person's
// surname spelled one way and back by bare statements until the history
// holds 1,000,000
// rows; then one person's history and the list of the persons deleted (a
// thousand of them), read by the program beside the same bare statements,
// and what the history costs in the file.
void historyPart(const QString& registers, const std::vector<long>& sizes, int runsOverride)
{
    std::printf("\n### The history at a million changes\n\n");
    std::printf("| persons | operation | program (ms) | %s (ms) | ratio |\n", onServer() ? "bare libpq" : "bare SQLite");
    std::printf("|---:|---|---:|---:|---:|\n");
    for (long size : sizes) {
        if (size > 100000 || size < 1000)
            continue; // a million changes of a million persons is one statement, not a history to read
        const QString path = scratchRegister(registers, size);
        const qint64 before = QFile(path).size();
        auto form = windowOn(path);
        const Bare db = bareOf(*form->ADOConnection1);
        for (long recorded = 0; recorded < 1000000; recorded += size)
            bareWrite(db, "UPDATE PODACI SET Prezime = CASE WHEN Prezime LIKE '%.' "
                          "THEN substr(Prezime, 1, length(Prezime) - 1) ELSE Prezime || '.' END");
        bareWrite(db, "DELETE FROM PODACI WHERE ID % " + std::to_string(size / 1000) + " = 0");
        History history(*form->ADOConnection1);
        const int person = 1;
        const std::string one = History::personStatement(person), gone = History::deletedStatement(1000);
        const int runs = runsOverride ? runsOverride : 9;
        std::vector<double> ofPerson, ofPersonBare, deleted, deletedBare;
        std::size_t changes = 0, persons = 0;
        for (int r = 0; r < runs; ++r) {
            ofPerson.push_back(milliseconds([&] { changes = history.ofPerson(person).size(); }));
            ofPersonBare.push_back(milliseconds([&] { bareRun(db, one); }));
            deleted.push_back(milliseconds([&] { persons = history.deleted().size(); }));
            deletedBare.push_back(milliseconds([&] { bareRun(db, gone); }));
        }
        const double a = median(ofPerson), b = median(ofPersonBare), c = median(deleted), d = median(deletedBare);
        std::printf("| %ld | one person's history (%zu changes) | %.2f | %.2f | %.2f |\n", size, changes, a, b, a / b);
        std::printf("| %ld | the persons deleted (%zu) | %.2f | %.2f | %.2f |\n", size, persons, c, d, c / d);
        if (!onServer())
            std::printf("\nThe file at %ld persons: %.1f MB before, %.1f MB with a million changes recorded.\n\n", size,
                        before / 1e6, QFile(path).size() / 1e6);
        std::fflush(stdout);
        form.reset();
        removeScratch(path);
    }
}

} // namespace bench

