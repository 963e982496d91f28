#pragma once
// Persons brought into the register from a list (ListFile.h): a CSV file or
// a workbook whose first row titles the columns.
//
// What it keeps true:
// - Columns are known by their titles: the export's own (a list exported
//   comes back as the same persons) and a person's words in either
//   language (Ime / First name, Prezime / Surname, Država / Country,
//   Grad / City), letters compared as the search boxes compare them. A
//   list without a first name's column is not read (EUnclearColumns),
//   unless the caller says which column is which.
// - A country and a city are found by name, as the search boxes compare
//   letters ("beograd" is Beograd), or by number where no name is given. A
//   city named without its country is the one city of that name, if only
//   one country has it.
// - Nothing is written by plan(). write() makes the whole import one write
//   transaction: a failure, a cancel, a kill leave the register as it was;
//   it is planned again inside it, so that what it writes is what the
//   register holds then, and the history records it as one change.
// - A row is refused, with its line and why, for an empty first name, a
//   name over 255 letters, a place not in the register (unless places are
//   added), a city of several countries named without its country, or
//   none at all. A row whose first name, surname and place (letters
//   compared alike) are a person's already there, or an earlier row's,
//   is skipped unless the caller adds those too.
// - A text the export wrote with an apostrophe before it (so that no
//   spreadsheet runs it as a formula) comes back without it.

#include "Exception.h"
#include "ListFile.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TADOConnection;

// The list's titles do not say which column holds the first names.
class EUnclearColumns : public Exception {
public:
    using Exception::Exception;
};

// Which column of the list holds what (-1: none).
struct ImportColumns {
    int firstName = -1;
    int surname = -1;
    int country = -1;       // the country's name
    int city = -1;          // the city's name
    int countryNumber = -1; // the country's number
    int cityNumber = -1;    // the city's number within its country
    QStringList ignored;    // titles of columns not read
};

struct ImportChoices {
    bool addPlaces = false;   // an unknown country or city is added, not its rows set aside
    bool addExisting = false; // a row like a person already there is added all the same
};

// A place the list names that the register does not hold.
struct UnknownPlace {
    bool city = false;
    QString country; // the city's country as named (or the register's name of it)
    QString name;
    std::vector<int> lines; // the rows that name it
};


struct ImportRefusal {
    int line = 0;
    QString reason;
};

// What an import would do (plan) or did (write).
struct ImportPlan {
    long long rows = 0;       // the list's rows of persons (the titles not counted)
    long long newPersons = 0; // written, or to be written
    long long alreadyThere = 0;
    std::vector<int> alreadyLines;
    std::vector<UnknownPlace> unknownPlaces; // added when addPlaces
    std::vector<ImportRefusal> refused;      // set aside, with why
};

// What a command adds where a choice is left off: how to make it ("--add-places").
struct PlanHints {
    QString addPlaces;
    QString addExisting;
};

// plan as a person reads it, a line a sentence, in the program's language:
// the rows, the new persons (written, or to be), those like persons
// already there and the unknown places each with their first ten rows,
// and the first refusalsShown rows refused with the reason.
QStringList planLines(const ImportPlan& plan, const ImportChoices& choices, bool written, const PlanHints& hints = {},
                      std::size_t refusalsShown = 200);

class PersonsImport {
public:
    // The columns that list's titles name; throws EUnclearColumns when no
    // column is titled as a first name. A column titled as a country or a
    // city alone ("Država", "Country", as the window's list titles the
    // numbers) holds numbers when every cell of it is one, names otherwise.
    static ImportColumns columnsOf(const list_import::ListFile& list);
    // The columns a person chose (-1: none), a country's and a city's read
    // as numbers or names by the same rule.
    static ImportColumns columnsChosen(const list_import::ListFile& list, int firstName, int surname, int country,
                                       int city);

    // connection: open, and kept open while this lives. list: read, its
    // first row the titles; columns: as columnsOf found them, or as the
    // person said.
    PersonsImport(TADOConnection& connection, list_import::ListFile list, ImportColumns columns);

    const ImportColumns& columns() const { return m_columns; }
    void setColumns(ImportColumns columns) { m_columns = std::move(columns); }
    const list_import::ListFile& list() const { return m_list; }

    // What write() would do now; reads the register, writes nothing.
    ImportPlan plan(const ImportChoices& choices);

    // Told every thousand persons written (done, of total); false cancels,
    // and nothing is written.
    using Progress = std::function<bool(long long done, long long total)>;
    // Writes the persons, and the places when choices say so, in one
    // transaction; returns what it wrote. Throws EAbort when progress
    // cancelled, Exception in a person's words when the register refused:
    // either way nothing was written.
    ImportPlan write(const ImportChoices& choices, const Progress& progress = {});

private:
    struct Planned;
    // progress, where given, is told (0, rows of the list) every few
    // thousand rows looked at, so that a window answers while it plans.
    Planned planned(const ImportChoices& choices, const Progress& progress = {});

    TADOConnection& m_connection;
    list_import::ListFile m_list;
    ImportColumns m_columns;
};
