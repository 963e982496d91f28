#include "Places.h"

#include "ReadRows.h"

#include "ADOConnection.h"
#include "Engine.h"
#include "RowStore.h"
#include "UnicodeLike.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

const char* const Countries = "DRZAVE";
const char* const Cities = "GRADOVI";
const char* const Persons = "PODACI";

QString tell(const char* text)
{
    return QCoreApplication::translate("Places", text);
}

// Serbian says "2, 3, 4 osobe" (also 22, 103 ...), else "osoba".
bool fewForm(std::int64_t n)
{
    return n % 10 >= 2 && n % 10 <= 4 && !(n % 100 >= 12 && n % 100 <= 14);
}

QString named(const Place& place)
{
    return db::shownValue(FieldKind::Text, place.name);
}

// The places a statement reads as (country, number, name, persons).
std::vector<Place> readPlaces(db::Engine& engine, bool city, const std::string& sql)
{
    std::vector<Place> places;
    for (auto& row : readRows(engine, sql, {FieldKind::Integer, FieldKind::Integer, FieldKind::Text, FieldKind::Integer}))
        places.push_back(Place{city, row[0].integer, row[1].integer, std::move(row[2]), row[3].integer});
    return places;
}

// Where a place stands in the register: its table's columns and its key.
db::RowsWrite placeRows(db::RowsWrite::Kind kind, const Place& place)
{
    db::RowsWrite rows;
    rows.kind = kind;
    rows.table = place.city ? Cities : Countries;
    if (place.city)
        rows.where("ID_DRZAVA", place.country).where("ID_GRAD", place.number);
    else
        rows.where("ID", place.country);
    return rows;
}

// The persons of a place.
db::RowsWrite personsRows(db::RowsWrite::Kind kind, const Place& place)
{
    db::RowsWrite rows;
    rows.kind = kind;
    rows.table = Persons;
    rows.where("ID_DRZAVA", place.country);
    if (place.city)
        rows.where("ID_GRAD", place.number);
    return rows;
}

// Names are one when they differ only in case, as the search boxes compare.
bool sameName(const std::string& a, const std::string& b)
{
    const std::string pattern = unicode_like::literal(a);
    return pattern.size() <= unicode_like::MaxPatternLength ? unicode_like::match(pattern, b, unicode_like::LiteralEscape)
                                                             : a == b;
}

std::string countStatement(const Place& place)
{
    return "SELECT count(*) FROM PODACI WHERE ID_DRZAVA = " + std::to_string(place.country)
         + (place.city ? " AND ID_GRAD = " + std::to_string(place.number) : std::string());
}

} // namespace

db::Engine& Places::engine()
{
    return m_connection.engine();
}

// Each place's persons are counted by a subquery over the persons' index
// on (country, city): on both engines three to five times faster than
// grouping a join of every person.
std::vector<Place> Places::countries()
{
    return readPlaces(engine(), false,
                      "SELECT ID, ID, NAZIV, (SELECT count(*) FROM PODACI WHERE PODACI.ID_DRZAVA = DRZAVE.ID) "
                      "FROM DRZAVE");
}

std::vector<Place> Places::cities(std::int32_t country)
{
    return readPlaces(engine(), true,
                      "SELECT ID_DRZAVA, ID_GRAD, NAZIV, (SELECT count(*) FROM PODACI WHERE PODACI.ID_DRZAVA = "
                      "GRADOVI.ID_DRZAVA AND PODACI.ID_GRAD = GRADOVI.ID_GRAD) FROM GRADOVI WHERE ID_DRZAVA = "
                          + std::to_string(country));
}

std::vector<Place> Places::listed(bool cities, std::int32_t country)
{
    return readPlaces(engine(), cities,
                      cities ? "SELECT ID_DRZAVA, ID_GRAD, NAZIV, 0 FROM GRADOVI WHERE ID_DRZAVA = " + std::to_string(country)
                             : std::string("SELECT ID, ID, NAZIV, 0 FROM DRZAVE"));
}

bool Places::mayChange(bool cities)
{
    return m_connection.Connected() && engine().mayChange(cities ? Cities : Countries);
}

bool Places::mayMerge(bool cities)
{
    // Two countries merged move cities as well as persons.
    return mayChange(cities) && (cities || mayChange(true)) && engine().mayChange(Persons);
}

bool Places::readNow(const Place& place, Place& now)
{
    const auto rows = readRows(engine(),
                               place.city ? "SELECT NAZIV FROM GRADOVI WHERE ID_DRZAVA = " + std::to_string(place.country)
                                                + " AND ID_GRAD = " + std::to_string(place.number)
                                          : "SELECT NAZIV FROM DRZAVE WHERE ID = " + std::to_string(place.country),
                               {FieldKind::Text});
    if (rows.empty())
        return false;
    now = place;
    now.name = rows.front().front();
    return true;
}

void Places::hold(const Place& seen)
{
    db::RowsWrite rows = placeRows(db::RowsWrite::Kind::Hold, seen);
    rows.where("NAZIV", seen.name);
    if (engine().writeRows(rows) > 0)
        return;
    Place now;
    if (!readNow(seen, now))
        throw EPlaceGone(tell(QT_TRANSLATE_NOOP("Places", "Ništa nije promenjeno: mesta %1 više nema u registru "
                                                          "(uklonjeno je na drugom radnom stolu). Spisak sada pokazuje "
                                                          "registar kakav je."))
                             .arg(named(seen)));
    throw EPlaceChanged(tell(QT_TRANSLATE_NOOP("Places", "Ništa nije promenjeno: mesto %1 je u međuvremenu "
                                                         "preimenovano u %2 na drugom radnom stolu."))
                            .arg(named(seen), named(now)),
                        now);
}

std::int64_t Places::personsOf(const Place& place)
{
    const auto rows = readRows(engine(), countStatement(place), {FieldKind::Integer});
    return rows.empty() ? 0 : rows.front().front().integer;
}

void Places::checkFree(bool city, std::int32_t country, const std::string& name, const Place* except)
{
    for (const Place& other : listed(city, country)) {
        if (except && other.country == except->country && other.number == except->number)
            continue;
        if (!other.name.null && sameName(name, other.name.text))
            throw EPlaceTaken(
                tell(city ? QT_TRANSLATE_NOOP("Places", "Ova država već ima grad %1. Ako je to isto mesto, spojite ga "
                                                        "s njim.")
                          : QT_TRANSLATE_NOOP("Places", "Registar već ima državu %1. Ako je to ista država, spojite je "
                                                        "s njom."))
                    .arg(named(other)),
                other);
    }
}

namespace {

void checkName(const std::string& name)
{
    const QString text = QString::fromStdString(name);
    if (text.trimmed().isEmpty())
        throw Exception(tell(QT_TRANSLATE_NOOP("Places", "Naziv ne može biti prazan: upišite ga.")));
    if (text.toUcs4().size() > 255)
        throw Exception(tell(QT_TRANSLATE_NOOP("Places", "Naziv je duži od 255 znakova: skratite ga.")));
}

// What a person calls the places' columns, in refusals.
std::string label(const char* text)
{
    return tell(text).toStdString();
}

// Inserts a place: a city of country under number (none: the next free
// one), or a country under the next free number; returns the number it got.
std::int32_t insertPlace(db::Engine& database, bool city, std::int32_t country, std::optional<std::int32_t> number,
                         const db::CellValue& name)
{
    db::RowWrite write;
    write.kind = db::RowWrite::Kind::Insert;
    write.table = city ? Cities : Countries;
    write.keyColumn = city ? "ID_GRAD" : "ID";
    write.numberKey = !number;
    const db::CellValue key = number ? db::CellValue{false, *number, {}} : db::CellValue{};
    if (city) {
        write.columns = {"ID_DRZAVA", "ID_GRAD", "NAZIV"};
        write.labels = {label(QT_TRANSLATE_NOOP("Places", "država")), label(QT_TRANSLATE_NOOP("Places", "broj grada")),
                        label(QT_TRANSLATE_NOOP("Places", "naziv"))};
        write.kinds = {FieldKind::Integer, FieldKind::Integer, FieldKind::Text};
        write.values = {db::CellValue{false, country, {}}, key, name};
        write.written = {true, bool(number), true};
    } else {
        write.columns = {"ID", "NAZIV"};
        write.labels = {label(QT_TRANSLATE_NOOP("Places", "broj države")), label(QT_TRANSLATE_NOOP("Places", "naziv"))};
        write.kinds = {FieldKind::Integer, FieldKind::Text};
        write.values = {key, name};
        write.written = {bool(number), true};
    }
    const db::WrittenRow written = database.writeRow(write);
    const std::size_t keyAt = city ? 1 : 0;
    if (written.rows != 1 || written.values.size() <= keyAt || written.values[keyAt].null)
        throw Exception(tell(QT_TRANSLATE_NOOP("Places", "Registar nije dao broj novom mestu; ništa nije upisano.")));
    return written.values[keyAt].integer;
}

} // namespace

Place Places::add(bool city, std::int32_t country, const std::string& name)
{
    checkName(name);
    m_connection.reopenIfReplaced();
    const std::unique_ptr<db::WriteTransaction> transaction = engine().beginWrite();
    Place added = addWithin(city, country, name);
    transaction->commit();
    return added;
}

Place Places::addWithin(bool city, std::int32_t country, const std::string& name)
{
    checkName(name);
    db::Engine& database = engine();
    if (city) {
        // The country stays while its city is added, and two cities added to
        // it at once get numbers one after the other.
        const db::RowsWrite held = placeRows(db::RowsWrite::Kind::Hold, Place{false, country, country, {}, 0});
        if (database.writeRows(held) == 0)
            throw EPlaceGone(tell(QT_TRANSLATE_NOOP("Places", "Grad nije dodat: njegova država je u međuvremenu "
                                                              "uklonjena iz registra.")));
    }
    checkFree(city, country, name, nullptr);
    const std::int32_t number = insertPlace(database, city, country, std::nullopt, db::CellValue{false, 0, name});
    return Place{city, city ? country : number, number, db::CellValue{false, 0, name}, 0};
}

void Places::rename(const Place& seen, const std::string& name, const db::CellValue* theirs)
{
    checkName(name);
    m_connection.reopenIfReplaced();
    db::Engine& database = engine();
    const std::unique_ptr<db::WriteTransaction> transaction = database.beginWrite();
    checkFree(seen.city, seen.country, name, &seen);
    Place expected = seen;
    if (theirs)
        expected.name = *theirs;
    db::RowsWrite rows = placeRows(db::RowsWrite::Kind::Update, expected);
    rows.where("NAZIV", expected.name);
    rows.set("NAZIV", label(QT_TRANSLATE_NOOP("Places", "naziv")), FieldKind::Text,
             db::CellValue{false, 0, name});
    if (database.writeRows(rows) == 0)
        hold(expected); // says what became of it
    transaction->commit();
}

void Places::remove(const Place& seen)
{
    m_connection.reopenIfReplaced();
    db::Engine& database = engine();
    const std::unique_ptr<db::WriteTransaction> transaction = database.beginWrite();
    hold(seen);
    if (const std::int64_t persons = personsOf(seen); persons > 0) {
        const bool one = persons == 1, few = fewForm(persons);
        const char* text
            = seen.city ? (one   ? QT_TRANSLATE_NOOP("Places", "U gradu %1 živi jedna osoba; premestite je ili spojite "
                                                               "grad s drugim.")
                           : few ? QT_TRANSLATE_NOOP("Places", "U gradu %1 žive %2 osobe; premestite ih ili spojite grad "
                                                               "s drugim.")
                                 : QT_TRANSLATE_NOOP("Places", "U gradu %1 živi %2 osoba; premestite ih ili spojite grad "
                                                               "s drugim."))
                        : (one   ? QT_TRANSLATE_NOOP("Places", "U državi %1 živi jedna osoba; premestite je ili spojite "
                                                               "državu s drugom.")
                           : few ? QT_TRANSLATE_NOOP("Places", "U državi %1 žive %2 osobe; premestite ih ili spojite "
                                                               "državu s drugom.")
                                 : QT_TRANSLATE_NOOP("Places", "U državi %1 živi %2 osoba; premestite ih ili spojite "
                                                               "državu s drugom."));
        QString message = tell(text).arg(named(seen));
        throw EPlaceInUse(one ? message : message.arg(QLocale().toString(qlonglong(persons))), persons);
    }
    if (!seen.city) {
        db::RowsWrite cities;
        cities.kind = db::RowsWrite::Kind::Delete;
        cities.table = Cities;
        cities.where("ID_DRZAVA", seen.country);
        database.writeRows(cities);
    }
    database.writeRows(placeRows(db::RowsWrite::Kind::Delete, seen));
    transaction->commit();
}

std::int64_t Places::merge(const Place& from, const Place& into)
{
    if (from.city != into.city || (from.country == into.country && from.number == into.number)
        || (from.city && from.country != into.country))
        throw Exception(tell(QT_TRANSLATE_NOOP("Places", "Spojiti se mogu samo dva različita mesta istog spiska.")));
    m_connection.reopenIfReplaced();
    db::Engine& database = engine();
    const std::unique_ptr<db::WriteTransaction> transaction = database.beginWrite();
    hold(from);
    hold(into);
    // Every person of city moves to the city target, then city goes.
    const auto moveCity = [&](const Place& city, const Place& target) {
        db::RowsWrite persons = personsRows(db::RowsWrite::Kind::Update, city);
        persons.set("ID_DRZAVA", label(QT_TRANSLATE_NOOP("Places", "država")), FieldKind::Integer,
                    db::CellValue{false, target.country, {}});
        persons.set("ID_GRAD", label(QT_TRANSLATE_NOOP("Places", "grad")), FieldKind::Integer,
                    db::CellValue{false, target.number, {}});
        const std::int64_t moved = database.writeRows(persons);
        database.writeRows(placeRows(db::RowsWrite::Kind::Delete, city));
        return moved;
    };
    std::int64_t moved = 0;
    if (from.city) {
        moved = moveCity(from, into);
    } else {
        // Each city of from: into's city of the same name, or one of its own
        // under from's number where into has no such, else the next free one.
        std::vector<Place> kept = listed(true, into.country);
        for (const Place& city : listed(true, from.country)) {
            const auto same = std::find_if(kept.begin(), kept.end(), [&](const Place& other) {
                return !city.name.null && !other.name.null && sameName(city.name.text, other.name.text);
            });
            if (same != kept.end()) {
                moved += moveCity(city, *same);
                continue;
            }
            Place target = city;
            target.country = into.country;
            const bool numberTaken = std::any_of(kept.begin(), kept.end(),
                                                 [&](const Place& other) { return other.number == city.number; });
            target.number = insertPlace(database, true, into.country,
                                        numberTaken ? std::nullopt : std::optional(city.number), city.name);
            kept.push_back(target);
            moved += moveCity(city, target);
        }
        // Persons whose city the register does not hold (a file without its
        // references) keep their city number under the country kept.
        db::RowsWrite rest = personsRows(db::RowsWrite::Kind::Update, from);
        rest.set("ID_DRZAVA", label(QT_TRANSLATE_NOOP("Places", "država")), FieldKind::Integer,
                 db::CellValue{false, into.country, {}});
        moved += database.writeRows(rest);
        database.writeRows(placeRows(db::RowsWrite::Kind::Delete, from));
    }
    transaction->commit();
    return moved;
}
