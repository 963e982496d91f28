#pragma once
// The register's places as a desk keeps them: its countries, and the cities
// of each, read with how many persons live in each, and added, renamed,
// removed and merged.
//
// What it keeps true:
// - Every change is one write transaction: it is made whole or not at all
//   (a merge that fails halfway leaves every person where they were).
// - A change goes only to a place that still holds what this desk read of it
//   (its name, letter for letter). A place renamed meanwhile at another desk
//   is never overwritten: EPlaceChanged tells what it is called now, and the
//   rename can be made again over that name (rename's theirs). A place gone
//   meanwhile is EPlaceGone.
// - A place persons live in is never removed (EPlaceInUse says how many);
//   a country goes with its cities when nobody lives in any of them.
// - Two places of one list (the countries, or one country's cities) never
//   take names that differ only in case (EPlaceTaken names the other): that
//   is one place spelled twice, which merge makes one.
// - A new place gets the next free number: a country one above the largest
//   country's, a city one above the largest city number of the register, so
//   that a city number mostly names one city wherever the country is not
//   known (two desks adding cities to two countries at once may give both
//   the same number, which the register allows: a city is its country and
//   its number).
//
// It reaches the register only through the connection's engine (Engine.h),
// the same on a file and on a server, and words every refusal for a person.

#include "Exception.h"
#include "Values.h"

#include <cstdint>
#include <string>
#include <vector>

class TADOConnection;

namespace db {
class Engine;
}

struct Place {
    bool city = false;
    std::int32_t country = 0; // a country's own number, or a city's country
    std::int32_t number = 0;  // a city's number within its country; a country's own number
    db::CellValue name;       // as the register holds it (UTF-8); null when it has none
    std::int64_t persons = 0; // how many persons live there, when read
    // The name as a person reads it.
    QString shownName() const { return QString::fromStdString(name.text); }
};

// The place is not as this desk read it: another desk renamed it (now).
class EPlaceChanged : public Exception {
public:
    EPlaceChanged(const QString& message, Place now) : Exception(message), m_now(std::move(now)) {}
    const Place& now() const { return m_now; }

private:
    Place m_now;
};

// The place is no longer in the register.
class EPlaceGone : public Exception {
public:
    using Exception::Exception;
};

// Persons live in the place, so it stays.
class EPlaceInUse : public Exception {
public:
    EPlaceInUse(const QString& message, std::int64_t persons) : Exception(message), m_persons(persons) {}
    std::int64_t persons() const { return m_persons; }

private:
    std::int64_t m_persons;
};

// Another place of the same list has that name but for case.
class EPlaceTaken : public Exception {
public:
    EPlaceTaken(const QString& message, Place other) : Exception(message), m_other(std::move(other)) {}
    const Place& other() const { return m_other; }

private:
    Place m_other;
};

class Places {
public:
    // connection: open, and kept open while this lives.
    explicit Places(TADOConnection& connection) : m_connection(connection) {}

    // Every country, and the cities of one country, each with its persons
    // counted: one statement a list, in no particular order.
    std::vector<Place> countries();
    std::vector<Place> cities(std::int32_t country);
    // The same places named, without counting their persons (persons 0).
    std::vector<Place> listed(bool cities, std::int32_t country);

    // Whether this desk may change the countries (cities: false), or the
    // cities; merge moves persons too, and wants their right besides.
    bool mayChange(bool cities);
    bool mayMerge(bool cities);

    // A new country, or a new city of country, named name (kept as typed);
    // returns it. Refuses an empty name, one longer than 255 letters, and
    // one taken (EPlaceTaken).
    Place add(bool city, std::int32_t country, const std::string& name);
    // The same as one step of a write the caller began and ends (the
    // engine's write transaction), for a change of many steps.
    Place addWithin(bool city, std::int32_t country, const std::string& name);
    // Gives seen the name name. theirs: the name another desk gave it
    // meanwhile (EPlaceChanged), which the rename then replaces.
    void rename(const Place& seen, const std::string& name, const db::CellValue* theirs = nullptr);
    // Removes seen (a country with its cities), when nobody lives there.
    void remove(const Place& seen);
    // Every person of from moves to into, then from goes; returns how many
    // moved. Two countries: each city of from becomes into's city of the
    // same name (case aside), or a city of into of its own.
    std::int64_t merge(const Place& from, const Place& into);

private:
    db::Engine& engine();
    // The place as the register holds it now (persons not counted); false
    // when it is gone.
    bool readNow(const Place& place, Place& now);
    // Holds seen as it was read for the rest of the write; throws
    // EPlaceChanged or EPlaceGone when it is not so any more.
    void hold(const Place& seen);
    std::int64_t personsOf(const Place& place);
    // Throws EPlaceTaken when a place of seen's list other than except has
    // name but for case.
    void checkFree(bool city, std::int32_t country, const std::string& name, const Place* except);
    TADOConnection& m_connection;
};
