#include "PersonsImport.h"

#include "ADOConnection.h"
#include "Engine.h"
#include "Places.h"
#include "ReadRows.h"
#include "UnicodeLike.h"

#include <QCoreApplication>

#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace {

QString tell(const char* text)
{
    return QCoreApplication::translate("PersonsImport", text);
}

constexpr int MostLetters = 255;
constexpr long long ProgressEvery = 1000;

// A text with its letters folded as the search boxes fold them, for
// comparing names.
std::u32string folded(std::string_view text)
{
    std::u32string out;
    for (const char32_t c : QString::fromUtf8(text.data(), qsizetype(text.size())).trimmed().toUcs4())
        out += unicode_like::fold(c);
    return out;
}

std::string folded8(std::string_view text)
{
    const std::u32string letters = folded(text);
    return QString::fromUcs4(letters.data(), qsizetype(letters.size())).toStdString();
}

// What each title names, folded; a country or a city alone may be either
// its number or its name.
enum class Names { FirstName, Surname, CountryName, CityName, CountryNumber, CityNumber, Country, City, Nothing };

Names namedBy(const std::string& title)
{
    static const std::map<std::string, Names> titles = [] {
        std::map<std::string, Names> known;
        const auto add = [&](Names names, std::initializer_list<const char*> words) {
            for (const char* word : words)
                known.emplace(folded8(word), names);
        };
        add(Names::FirstName, {"Ime", "First name", "Firstname", "Given name"});
        add(Names::Surname, {"Prezime", "Surname", "Last name", "Family name"});
        add(Names::CountryName, {"DRZAVE.Naziv", "naziv države", "naziv drzave", "country's name", "country’s name",
                                 "Country name"});
        add(Names::CityName, {"GRADOVI.Naziv", "naziv grada", "city's name", "city’s name", "City name"});
        add(Names::CountryNumber, {"ID_DRZAVA"});
        add(Names::CityNumber, {"ID_GRAD"});
        add(Names::Country, {"Država", "Drzava", "Country"});
        add(Names::City, {"Grad", "City"});
        return known;
    }();
    const auto found = titles.find(folded8(title));
    return found == titles.end() ? Names::Nothing : found->second;
}

bool numbersOnly(const list_import::ListFile& list, std::size_t column)
{
    bool any = false;
    for (std::size_t r = 1; r < list.rows.size(); ++r) {
        if (column >= list.rows[r].size() || list.rows[r][column].empty())
            continue;
        std::int32_t number;
        if (!db::parseInteger(list.rows[r][column], number))
            return false;
        any = true;
    }
    return any;
}

std::string cell(const std::vector<std::string>& row, int column)
{
    if (column < 0 || std::size_t(column) >= row.size())
        return {};
    std::string text = row[std::size_t(column)];
    // The export's guard against formulas, taken off again.
    if (text.size() >= 2 && text[0] == '\'' && std::strchr("=+-@\t\r", text[1]))
        text.erase(0, 1);
    return text;
}

bool blank(const std::string& text)
{
    return text.find_first_not_of(" \t") == std::string::npos;
}

int letters(const std::string& text)
{
    return int(QString::fromStdString(text).toUcs4().size());
}

QString shown(const std::string& text)
{
    return tell(QT_TRANSLATE_NOOP("PersonsImport", "„%1”")).arg(QString::fromStdString(text).trimmed());
}

// A person as compared with the others: place and names, letters folded.
std::u32string personKey(std::int64_t country, std::int64_t city, const std::string& first, const std::string& surname)
{
    std::u32string key;
    for (const std::int64_t number : {country, city})
        for (const char c : std::to_string(number))
            key += char32_t(c);
    key += U'\x1F';
    key += folded(first);
    key += U'\x1F';
    key += folded(surname);
    return key;
}

struct U32Hash {
    std::size_t operator()(const std::u32string& text) const { return std::hash<std::u32string>{}(text); }
};

} // namespace

// A place of the register, or one to be added (numbered below zero until
// it is).
struct PlaceKey {
    std::int64_t country = 0;
    std::int64_t city = 0;
};

struct PersonsImport::Planned {
    ImportPlan plan;
    struct Person {
        std::int64_t country, city;
        std::string first, surname;
    };
    std::vector<Person> persons;
    struct NewPlace {
        bool city;
        std::int64_t country; // a city's: the register's, or a new country's (below zero)
        std::string name;
    };
    std::vector<NewPlace> newPlaces; // numbered -1, -2, ... in order
};

namespace {

// The numbers of rows: the first ten, and how many more ("2, 5, 9 i još 4").
QString rowsShown(const std::vector<int>& lines)
{
    constexpr std::size_t Shown = 10;
    QStringList numbers;
    for (std::size_t i = 0; i < lines.size() && i < Shown; ++i)
        numbers << QString::number(lines[i]);
    QString text = numbers.join(QStringLiteral(", "));
    if (lines.size() > Shown)
        text += tell(QT_TRANSLATE_NOOP("PersonsImport", " i još %1")).arg(lines.size() - Shown);
    return text;
}

// " (hint)" after a sentence, when there is one.
QString hinted(const QString& sentence, const QString& hint)
{
    return hint.isEmpty() ? sentence + QLatin1Char('.') : QStringLiteral("%1 (%2).").arg(sentence, hint);
}

} // namespace

QStringList planLines(const ImportPlan& plan, const ImportChoices& choices, bool written, const PlanHints& hints,
                      std::size_t refusalsShown)
{
    QStringList text;
    text << tell(QT_TRANSLATE_NOOP("PersonsImport", "Redova osoba u listi: %1.")).arg(plan.rows);
    text << (written ? tell(QT_TRANSLATE_NOOP("PersonsImport", "Upisane nove osobe: %1."))
                     : tell(QT_TRANSLATE_NOOP("PersonsImport", "Nove osobe: %1.")))
                .arg(plan.newPersons);
    if (plan.alreadyThere > 0) {
        const QString like = tell(QT_TRANSLATE_NOOP("PersonsImport", "Kao osobe koje već postoje (isto ime, prezime i "
                                                                     "grad): %1, u redovima %2; "))
                                 .arg(plan.alreadyThere)
                                 .arg(rowsShown(plan.alreadyLines));
        text << (choices.addExisting ? like + tell(QT_TRANSLATE_NOOP("PersonsImport", "dodaju se i one."))
                                     : like + hinted(tell(QT_TRANSLATE_NOOP("PersonsImport", "preskaču se")),
                                                     hints.addExisting));
    }
    for (const UnknownPlace& place : plan.unknownPlaces) {
        const QString named = place.city
                                ? tell(QT_TRANSLATE_NOOP("PersonsImport", "grad „%1” (%2)")).arg(place.name, place.country)
                                : tell(QT_TRANSLATE_NOOP("PersonsImport", "država „%1”")).arg(place.name);
        const QString unknown = tell(QT_TRANSLATE_NOOP("PersonsImport", "Nije u registru: %1, u redovima %2; "))
                                    .arg(named, rowsShown(place.lines));
        text << (choices.addPlaces
                     ? unknown + tell(QT_TRANSLATE_NOOP("PersonsImport", "dodaje se."))
                     : unknown + hinted(tell(QT_TRANSLATE_NOOP("PersonsImport", "ti redovi se ostavljaju po strani")),
                                        hints.addPlaces));
    }
    if (!plan.refused.empty())
        text << tell(QT_TRANSLATE_NOOP("PersonsImport", "Redovi koji se ne upisuju: %1.")).arg(plan.refused.size());
    for (std::size_t i = 0; i < plan.refused.size() && i < refusalsShown; ++i)
        text << tell(QT_TRANSLATE_NOOP("PersonsImport", "  red %1: %2")).arg(plan.refused[i].line).arg(plan.refused[i].reason);
    if (plan.refused.size() > refusalsShown)
        text << tell(QT_TRANSLATE_NOOP("PersonsImport", "  i još %1 redova")).arg(plan.refused.size() - refusalsShown);
    return text;
}

ImportColumns PersonsImport::columnsOf(const list_import::ListFile& list)
{
    ImportColumns columns;
    if (list.rows.empty())
        throw EUnclearColumns(tell(QT_TRANSLATE_NOOP("PersonsImport", "Lista je prazna: nema ni red naslova.")));
    const std::vector<std::string>& titles = list.rows.front();
    std::vector<std::size_t> eitherCountry, eitherCity;
    for (std::size_t c = 0; c < titles.size(); ++c) {
        int* into = nullptr;
        switch (namedBy(titles[c])) {
        case Names::FirstName: into = &columns.firstName; break;
        case Names::Surname: into = &columns.surname; break;
        case Names::CountryName: into = &columns.country; break;
        case Names::CityName: into = &columns.city; break;
        case Names::CountryNumber: into = &columns.countryNumber; break;
        case Names::CityNumber: into = &columns.cityNumber; break;
        case Names::Country: eitherCountry.push_back(c); continue;
        case Names::City: eitherCity.push_back(c); continue;
        case Names::Nothing: break;
        }
        if (into && *into < 0)
            *into = int(c);
        else if (!blank(titles[c]))
            columns.ignored << QString::fromStdString(titles[c]);
    }
    // "Država" alone: the number where every cell is one, else the name.
    const auto settle = [&](const std::vector<std::size_t>& either, int& name, int& number) {
        for (const std::size_t c : either) {
            int& into = numbersOnly(list, c) ? number : name;
            if (into < 0)
                into = int(c);
            else
                columns.ignored << QString::fromStdString(titles[c]);
        }
    };
    settle(eitherCountry, columns.country, columns.countryNumber);
    settle(eitherCity, columns.city, columns.cityNumber);
    if (columns.firstName < 0) {
        QStringList found;
        for (const std::string& title : titles)
            if (!blank(title))
                found << QStringLiteral("„%1”").arg(QString::fromStdString(title));
        throw EUnclearColumns(tell(QT_TRANSLATE_NOOP("PersonsImport",
                                                     "Nijedna kolona liste nije naslovljena kao ime (Ime, First "
                                                     "name); naslovi u njoj: %1. Recite koja kolona je šta, ili "
                                                     "dajte koloni imena naslov „Ime”."))
                                  .arg(found.isEmpty() ? tell(QT_TRANSLATE_NOOP("PersonsImport", "nijedan"))
                                                       : found.join(QStringLiteral(", "))));
    }
    return columns;
}

ImportColumns PersonsImport::columnsChosen(const list_import::ListFile& list, int firstName, int surname, int country,
                                           int city)
{
    ImportColumns columns;
    columns.firstName = firstName;
    columns.surname = surname;
    const auto place = [&](int column, int& name, int& number) {
        if (column >= 0)
            (numbersOnly(list, std::size_t(column)) ? number : name) = column;
    };
    place(country, columns.country, columns.countryNumber);
    place(city, columns.city, columns.cityNumber);
    return columns;
}

PersonsImport::PersonsImport(TADOConnection& connection, list_import::ListFile list, ImportColumns columns)
    : m_connection(connection), m_list(std::move(list)), m_columns(std::move(columns))
{
}

ImportPlan PersonsImport::plan(const ImportChoices& choices)
{
    return planned(choices).plan;
}

PersonsImport::Planned PersonsImport::planned(const ImportChoices& choices, const Progress& progress)
{
    const long long rowsListed = static_cast<long long>(m_list.rows.size()) - 1;
    std::size_t looked = 0;
    const auto lookedAt = [&] {
        if (++looked % (10 * ProgressEvery) == 0 && progress && !progress(0, rowsListed))
            throw EAbort();
    };
    db::Engine& engine = m_connection.engine();
    Planned out;
    ImportPlan& plan = out.plan;

    // The register's places, by folded name and by number.
    std::unordered_map<std::u32string, std::vector<std::int64_t>, U32Hash> countryNamed;
    std::unordered_set<std::int64_t> countryNumbers;
    std::map<std::int64_t, std::string> countryName;
    for (const auto& row : readRows(engine, "SELECT ID, NAZIV FROM DRZAVE", {FieldKind::Integer, FieldKind::Text})) {
        countryNumbers.insert(row[0].integer);
        countryName[row[0].integer] = row[1].text;
        if (!row[1].null)
            countryNamed[folded(row[1].text)].push_back(row[0].integer);
    }
    std::map<std::pair<std::int64_t, std::u32string>, std::int64_t> cityNamed;
    std::unordered_map<std::u32string, std::vector<PlaceKey>, U32Hash> cityAnywhere;
    std::set<std::pair<std::int64_t, std::int64_t>> cityNumbers;
    for (const auto& row : readRows(engine, "SELECT ID_DRZAVA, ID_GRAD, NAZIV FROM GRADOVI",
                                    {FieldKind::Integer, FieldKind::Integer, FieldKind::Text})) {
        cityNumbers.emplace(row[0].integer, row[1].integer);
        if (!row[2].null) {
            cityNamed.emplace(std::make_pair(std::int64_t(row[0].integer), folded(row[2].text)), row[1].integer);
            cityAnywhere[folded(row[2].text)].push_back({row[0].integer, row[1].integer});
        }
    }
    std::unordered_set<std::u32string, U32Hash> there;
    for (const auto& row : readRows(engine, "SELECT ID_DRZAVA, ID_GRAD, Ime, Prezime FROM PODACI",
                                    {FieldKind::Integer, FieldKind::Integer, FieldKind::Text, FieldKind::Text})) {
        lookedAt();
        there.insert(personKey(row[0].integer, row[1].integer, row[2].text, row[3].text));
    }

    // The places the list names that the register does not hold, each
    // listed once with its rows; those to be added are numbered below zero.
    std::map<std::tuple<bool, std::int64_t, std::u32string>, std::size_t> listed; // its entry
    const auto listUnknown = [&](bool city, std::int64_t country, const std::string& countryShown,
                                 const std::string& name, int line) {
        const auto [at, added] = listed.emplace(std::make_tuple(city, city ? country : 0, folded(name)),
                                                plan.unknownPlaces.size());
        if (added)
            plan.unknownPlaces.push_back({city, QString::fromStdString(countryShown).trimmed(),
                                          QString::fromStdString(name).trimmed(), {}});
        plan.unknownPlaces[at->second].lines.push_back(line);
        return added;
    };
    std::map<std::tuple<bool, std::int64_t, std::u32string>, std::int64_t> newNumber;
    const auto addNew = [&](bool city, std::int64_t country, const std::string& countryShown,
                            const std::string& name, int line) {
        listUnknown(city, country, countryShown, name, line);
        std::int64_t& number = newNumber[std::make_tuple(city, city ? country : 0, folded(name))];
        if (number == 0) {
            out.newPlaces.push_back({city, country, QString::fromStdString(name).trimmed().toStdString()});
            number = -std::int64_t(out.newPlaces.size());
        }
        return number;
    };

    for (std::size_t r = 1; r < m_list.rows.size(); ++r) {
        const std::vector<std::string>& row = m_list.rows[r];
        const int line = m_list.lines[r];
        lookedAt();
        ++plan.rows;
        const auto refuse = [&](const QString& why) { plan.refused.push_back({line, why}); };
        const std::string first = cell(row, m_columns.firstName), surname = cell(row, m_columns.surname);
        const std::string countryText = cell(row, m_columns.country), cityText = cell(row, m_columns.city);
        const std::string countryNumberText = cell(row, m_columns.countryNumber);
        const std::string cityNumberText = cell(row, m_columns.cityNumber);
        if (blank(first)) {
            refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "ime je prazno")));
            continue;
        }
        if (letters(first) > MostLetters || letters(surname) > MostLetters || letters(countryText) > MostLetters
            || letters(cityText) > MostLetters) {
            refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "ime, prezime ili naziv mesta je duži od 255 znakova")));
            continue;
        }
        if (blank(cityText) && blank(cityNumberText)) {
            refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "grad nije naveden")));
            continue;
        }

        // The country: by name, else by number, else none named (a new
        // one is added only with a row that is taken).
        std::optional<std::int64_t> country;
        bool countryNew = false;
        if (!blank(countryText)) {
            const auto found = countryNamed.find(folded(countryText));
            if (found != countryNamed.end() && found->second.size() == 1) {
                country = found->second.front();
            } else if (found != countryNamed.end()) {
                refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "u registru je više država po imenu %1"))
                           .arg(shown(countryText)));
                continue;
            } else if (!choices.addPlaces) {
                refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "države %1 nema u registru")).arg(shown(countryText)));
                listUnknown(false, 0, {}, countryText, line);
                continue;
            } else {
                countryNew = true;
            }
        } else if (!blank(countryNumberText)) {
            std::int32_t number;
            if (!db::parseInteger(countryNumberText, number) || !countryNumbers.count(number)) {
                refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "države broj %1 nema u registru"))
                           .arg(QString::fromStdString(countryNumberText).trimmed()));
                continue;
            }
            country = number;
        }

        // The city: by name within its country (or the one country that
        // has it), else by number within its country.
        std::optional<std::int64_t> city;
        bool cityNew = false;
        if (!blank(cityText)) {
            const std::u32string name = folded(cityText);
            if (country) {
                const auto found = cityNamed.find({*country, name});
                if (found != cityNamed.end())
                    city = found->second;
            } else if (!countryNew) {
                const auto found = cityAnywhere.find(name);
                if (found != cityAnywhere.end() && found->second.size() > 1) {
                    refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "grad %1 je u više država; navedite državu"))
                               .arg(shown(cityText)));
                    continue;
                }
                if (found != cityAnywhere.end()) {
                    country = found->second.front().country;
                    city = found->second.front().city;
                }
            }
            if (!city && !country && !countryNew) {
                refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "grada %1 nema u registru, a država nije navedena"))
                           .arg(shown(cityText)));
                continue;
            }
            if (!city && !choices.addPlaces) {
                refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "grada %1 (%2) nema u registru"))
                           .arg(shown(cityText), QString::fromStdString(countryName[*country])));
                listUnknown(true, *country, countryName[*country], cityText, line);
                continue;
            }
            cityNew = !city;
        } else {
            std::int32_t number;
            if (!country || !db::parseInteger(cityNumberText, number) || !cityNumbers.count({*country, number})) {
                refuse(tell(QT_TRANSLATE_NOOP("PersonsImport", "grada broj %1 nema u toj državi"))
                           .arg(QString::fromStdString(cityNumberText).trimmed()));
                continue;
            }
            city = number;
        }
        if (countryNew)
            country = addNew(false, 0, {}, countryText, line);
        if (cityNew)
            city = addNew(true, *country, countryNew ? countryText : countryName[*country], cityText, line);

        const std::u32string key = personKey(*country, *city, first, surname);
        if (!there.insert(key).second) {
            ++plan.alreadyThere;
            plan.alreadyLines.push_back(line);
            if (!choices.addExisting)
                continue;
        }
        ++plan.newPersons;
        out.persons.push_back({*country, *city, first, surname});
    }
    return out;
}

ImportPlan PersonsImport::write(const ImportChoices& choices, const Progress& progress)
{
    db::Engine& engine = m_connection.engine();
    if (!engine.mayChange("PODACI"))
        throw Exception(tell(QT_TRANSLATE_NOOP("PersonsImport", "Osobe nisu uvezene: ovde ne smete da dodajete "
                                                                "osobe u registar. Ništa nije upisano.")));
    m_connection.reopenIfReplaced();
    const std::unique_ptr<db::WriteTransaction> transaction = engine.beginWrite();
    Planned planned = this->planned(choices, progress);
    if (!planned.newPlaces.empty() && !(engine.mayChange("DRZAVE") && engine.mayChange("GRADOVI")))
        throw Exception(tell(QT_TRANSLATE_NOOP("PersonsImport", "Osobe nisu uvezene: ovde ne smete da dodajete "
                                                                "države i gradove, a lista ih navodi %1 koji nisu u "
                                                                "registru. Ništa nije upisano."))
                            .arg(planned.newPlaces.size()));

    // The new places first, numbered as the register numbers them.
    Places places(m_connection);
    std::map<std::int64_t, std::pair<std::int64_t, std::int64_t>> numbered; // below zero: (country, city)
    for (std::size_t p = 0; p < planned.newPlaces.size(); ++p) {
        const auto& place = planned.newPlaces[p];
        const std::int64_t country = place.country < 0 ? numbered.at(place.country).first : place.country;
        // A new country: its number; a new city: its country's and its own.
        const Place added = places.addWithin(place.city, std::int32_t(country), place.name);
        numbered[-std::int64_t(p + 1)] = {added.country, added.number};
    }

    db::RowWrite write;
    write.table = "PODACI";
    write.keyColumn = "ID";
    write.columns = {"ID_DRZAVA", "ID_GRAD", "Ime", "Prezime"};
    write.labels = {tell(QT_TRANSLATE_NOOP("PersonsImport", "država")).toStdString(),
                    tell(QT_TRANSLATE_NOOP("PersonsImport", "grad")).toStdString(),
                    tell(QT_TRANSLATE_NOOP("PersonsImport", "ime")).toStdString(),
                    tell(QT_TRANSLATE_NOOP("PersonsImport", "prezime")).toStdString()};
    write.kinds = {FieldKind::Integer, FieldKind::Integer, FieldKind::Text, FieldKind::Text};
    const long long total = static_cast<long long>(planned.persons.size());
    long long done = 0;
    engine.insertRows(write, [&](std::vector<db::CellValue>& values) {
        if (done > 0 && done % ProgressEvery == 0 && progress && !progress(done, total))
            throw EAbort();
        if (done == total)
            return false;
        const auto& person = planned.persons[std::size_t(done++)];
        const std::int64_t country = person.country < 0 ? numbered.at(person.country).first : person.country;
        const std::int64_t city = person.city < 0 ? numbered.at(person.city).second : person.city;
        values = {db::CellValue{false, std::int32_t(country), {}}, db::CellValue{false, std::int32_t(city), {}},
                  db::CellValue{false, 0, person.first},
                  person.surname.empty() ? db::CellValue{} : db::CellValue{false, 0, person.surname}};
        return true;
    });
    if (progress && !progress(done, total))
        throw EAbort();
    transaction->commit();
    return planned.plan;
}
