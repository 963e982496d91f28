#include "History.h"

#include "ADOConnection.h"
#include "Engine.h"
#include "ReadRows.h"

#include <QCoreApplication>

#include <memory>
#include <string>

namespace {

QString tell(const char* text)
{
    return QCoreApplication::translate("History", text);
}

const char* const Fields[] = {"ID_DRZAVA", "ID_GRAD", "Ime", "Prezime"};
const FieldKind Kinds[] = {FieldKind::Integer, FieldKind::Integer, FieldKind::Text, FieldKind::Text};

db::CellValue& field(PersonValues& values, int i)
{
    switch (i) {
    case 0: return values.country;
    case 1: return values.city;
    case 2: return values.firstName;
    default: return values.surname;
    }
}

const db::CellValue& field(const PersonValues& values, int i)
{
    return field(const_cast<PersonValues&>(values), i);
}

// The values of four columns from first on, when any of them holds one
// (a row recorded before or after the person was there holds none).
std::optional<PersonValues> valuesAt(const std::vector<db::CellValue>& row, std::size_t first)
{
    PersonValues values;
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        field(values, i) = row[first + std::size_t(i)];
        any = any || !row[first + std::size_t(i)].null;
    }
    return any ? std::optional<PersonValues>(values) : std::nullopt;
}

// Letter for letter, as a save compares what it saw.
bool same(const std::optional<PersonValues>& a, const std::optional<PersonValues>& b)
{
    return a.has_value() == b.has_value() && (!a || *a == *b);
}

const char* const ChangeColumns = "CAST(h.ID AS TEXT), h.AT, h.WHO, h.APP, h.KIND, h.ROW_ID, h.OLD_ID_DRZAVA, "
                                  "h.OLD_ID_GRAD, h.OLD_IME, h.OLD_PREZIME, h.NEW_ID_DRZAVA, h.NEW_ID_GRAD, "
                                  "h.NEW_IME, h.NEW_PREZIME";

} // namespace

QString History::label(int field)
{
    switch (field) {
    case 0: return tell(QT_TRANSLATE_NOOP("History", "Država"));
    case 1: return tell(QT_TRANSLATE_NOOP("History", "Grad"));
    case 2: return tell(QT_TRANSLATE_NOOP("History", "Ime"));
    default: return tell(QT_TRANSLATE_NOOP("History", "Prezime"));
    }
}

db::Engine& History::engine()
{
    return m_connection.engine();
}

bool History::kept()
{
    // Asked of the catalogue, which a role that may not read the history
    // still reads: such a desk is told it lacks the right, not that the
    // register keeps no history.
    return !engine().primaryKey("KOLVARA_HISTORY").empty();
}

std::vector<PersonChange> History::read(const std::string& sql)
{
    std::vector<FieldKind> kinds = {FieldKind::Text, FieldKind::Text, FieldKind::Text, FieldKind::Text,
                                    FieldKind::Text, FieldKind::Integer};
    for (int side = 0; side < 2; ++side)
        kinds.insert(kinds.end(), std::begin(Kinds), std::end(Kinds));
    std::vector<PersonChange> changes;
    for (const std::vector<db::CellValue>& row : readRows(engine(), sql, kinds)) {
        PersonChange change;
        change.number = std::stoll(row[0].text);
        change.at = QDateTime::fromString(QString::fromStdString(row[1].text), Qt::ISODateWithMs);
        change.at.setTimeSpec(Qt::UTC);
        change.who = row[2];
        change.program = row[3];
        change.kind = row[4].text.empty() ? 'U' : row[4].text[0];
        change.person = row[5].integer;
        if (change.kind != 'I')
            change.before = valuesAt(row, 6);
        if (change.kind != 'D')
            change.after = valuesAt(row, 10);
        changes.push_back(std::move(change));
    }
    return changes;
}

std::string History::personStatement(std::int32_t person)
{
    return std::string("SELECT ") + ChangeColumns + " FROM KOLVARA_HISTORY h WHERE h.TBL = 'PODACI' AND h.ROW_ID = "
         + std::to_string(person) + " ORDER BY h.ID DESC";
}

std::string History::deletedStatement(int limit)
{
    return std::string("SELECT ") + ChangeColumns
         + " FROM KOLVARA_HISTORY h WHERE h.KIND = 'D' AND h.TBL = 'PODACI'"
           " AND NOT EXISTS (SELECT 1 FROM PODACI p WHERE p.ID = h.ROW_ID)"
           " AND NOT EXISTS (SELECT 1 FROM KOLVARA_HISTORY later WHERE later.KIND = 'D' AND later.TBL = 'PODACI'"
           " AND later.ROW_ID = h.ROW_ID AND later.ID > h.ID)"
           " ORDER BY h.ID DESC LIMIT "
         + std::to_string(limit);
}

std::vector<PersonChange> History::ofPerson(std::int32_t person)
{
    return read(personStatement(person));
}

std::vector<PersonChange> History::deleted(int limit)
{
    return read(deletedStatement(limit));
}

std::optional<PersonValues> History::now(std::int32_t person)
{
    const auto rows = readRows(engine(),
                               "SELECT ID_DRZAVA, ID_GRAD, Ime, Prezime FROM PODACI WHERE ID = " + std::to_string(person),
                               {std::begin(Kinds), std::end(Kinds)});
    if (rows.empty())
        return std::nullopt;
    PersonValues values;
    for (int i = 0; i < 4; ++i)
        field(values, i) = rows.front()[std::size_t(i)];
    return values;
}

bool History::mayRestore()
{
    return engine().mayChange("PODACI");
}

void History::refuse(std::int32_t person, const std::optional<PersonValues>& to)
{
    const std::optional<PersonValues> held = now(person);
    if (!held)
        throw Exception(tell(QT_TRANSLATE_NOOP("History",
                                               "Ova osoba je u međuvremenu obrisana (drugi korisnik ili program), pa "
                                               "ništa nije vraćeno. Ako treba, vratite je iz „Obrisane osobe…”.")));
    std::vector<EUpdateConflict::Entry> entries;
    for (int i = 0; i < 4; ++i)
        if (!to || field(*to, i) != field(*held, i))
            entries.push_back({QString::fromLatin1(Fields[i]), label(i), Kinds[i], to ? field(*to, i) : db::CellValue{},
                               field(*held, i)});
    throw EUpdateConflict(tell(QT_TRANSLATE_NOOP("History", "Osobu je u međuvremenu izmenio neko drugi.")),
                          std::move(entries));
}

void History::restore(std::int32_t person, const std::optional<PersonValues>& to,
                      const std::optional<PersonValues>& expected)
{
    m_connection.reopenIfReplaced();
    db::Engine& database = engine();
    if (!database.mayChange("PODACI"))
        throw Exception(tell(QT_TRANSLATE_NOOP("History",
                                               "Ovaj radni sto sme samo da čita osobe, pa ne može da ih vraća. Zatražite "
                                               "od vlasnika registra pravo da menja osobe.")));
    const std::unique_ptr<db::WriteTransaction> transaction = database.beginWrite();
    db::RowWrite write;
    write.table = "PODACI";
    write.keyColumn = "ID";
    write.key = person;
    for (int i = 0; i < 4; ++i) {
        write.columns.push_back(Fields[i]);
        write.labels.push_back(label(i).toStdString());
        write.kinds.push_back(Kinds[i]);
        write.values.push_back(to ? field(*to, i) : db::CellValue{});
        write.written.push_back(true);
        write.seen.push_back(expected ? field(*expected, i) : db::CellValue{});
        write.compared.push_back(true);
    }
    if (!expected) {
        // Back under their own number, into the city they lived in.
        if (const std::optional<PersonValues> held = now(person)) {
            if (same(held, to)) // back already
                return;
            throw Exception(tell(QT_TRANSLATE_NOOP("History", "Osoba broj %1 je već u registru (%2 %3), pa ništa "
                                                              "nije vraćeno."))
                                .arg(person)
                                .arg(QString::fromStdString(held->firstName.text),
                                     QString::fromStdString(held->surname.text)));
        }
        if (!to)
            return;
        if (to->country.null || to->city.null
            || !database.rowExists("GRADOVI", {"ID_DRZAVA", "ID_GRAD"}, {FieldKind::Integer, FieldKind::Integer},
                                   {to->country, to->city})) {
            const auto named = readRows(database,
                                        "SELECT OLD_NAZIV FROM KOLVARA_HISTORY WHERE TBL = 'GRADOVI' AND KIND = 'D' "
                                        "AND OLD_ID_DRZAVA = " + std::to_string(to->country.integer)
                                            + " AND ROW_ID = " + std::to_string(to->city.integer)
                                            + " ORDER BY ID DESC LIMIT 1",
                                        {FieldKind::Text});
            const QString city = named.empty() || named.front().front().null
                ? tell(QT_TRANSLATE_NOOP("History", "broj %1")).arg(to->city.integer)
                : QStringLiteral("„%1”").arg(QString::fromStdString(named.front().front().text));
            throw Exception(tell(QT_TRANSLATE_NOOP("History", "Osoba %1 %2 ne može da se vrati: grada %3 više nema u "
                                                              "registru. Dodajte ga (dugme „...” pored grada), pa je "
                                                              "vratite."))
                                .arg(QString::fromStdString(to->firstName.text),
                                     QString::fromStdString(to->surname.text), city));
        }
        write.kind = db::RowWrite::Kind::Insert;
        write.columns.insert(write.columns.begin(), "ID");
        write.labels.insert(write.labels.begin(), tell(QT_TRANSLATE_NOOP("History", "broj osobe")).toStdString());
        write.kinds.insert(write.kinds.begin(), FieldKind::Integer);
        write.values.insert(write.values.begin(), db::CellValue{false, person, {}});
        write.written.insert(write.written.begin(), true);
        write.seen.clear();
        write.compared.clear();
        if (database.writeRow(write).rows != 1)
            refuse(person, to);
    } else if (!to) {
        write.kind = db::RowWrite::Kind::Delete;
        if (database.deleteRow(write) != 1)
            refuse(person, to);
    } else {
        write.kind = db::RowWrite::Kind::Update;
        if (database.writeRow(write).rows != 1)
            refuse(person, to);
    }
    transaction->commit();
}
