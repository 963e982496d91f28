// kolvara-make-register: writes a new register (proba.mdb) with the schema of
// data/schema.sql and a sample of countries, cities and persons.
//
// The sample is the same every time for the same number of persons: the
// countries of the region and a few others, their cities numbered within each
// country (so the same city number stands in several countries), and persons
// with the region's names, diacritics and Cyrillic included, and a few names
// with an apostrophe.
//
// The file is written under a temporary name and renamed into place when
// complete, so an interrupted run leaves no half-written register.

#include "CommandLine.h"
#include "Language.h"
#include "NewRegisterFile.h"
#include "ServerRegister.h"
#include "Sqlite.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("MakeRegister", text);
}

struct Country {
    const char* name;
    std::vector<const char*> cities;
    // Names used for its persons; empty: the region's names.
    std::vector<const char*> firstNames;
    std::vector<const char*> surnames;
    int weight; // share of persons
};

const std::vector<Country>& countries()
{
    static const std::vector<Country> list = {
        {"Srbija", {"Beograd", "Novi Sad", "Niš", "Kragujevac", "Čačak", "Ćuprija", "Subotica", "Šabac", "Užice",
                    "Zrenjanin", "Жабаљ"}, {}, {}, 30},
        {"Hrvatska", {"Zagreb", "Split", "Rijeka", "Osijek", "Zadar", "Šibenik", "Čakovec", "Đakovo"}, {}, {}, 16},
        {"Bosna i Hercegovina", {"Sarajevo", "Banja Luka", "Mostar", "Tuzla", "Zenica", "Bijeljina", "Široki Brijeg"},
         {}, {}, 14},
        {"Crna Gora", {"Podgorica", "Nikšić", "Budva", "Herceg Novi", "Cetinje", "Žabljak", "Pljevlja"}, {}, {}, 8},
        {"Slovenija", {"Ljubljana", "Maribor", "Celje", "Kranj", "Koper", "Škofja Loka"}, {}, {}, 7},
        {"Sjeverna Makedonija", {"Skopje", "Bitola", "Ohrid", "Kumanovo", "Štip", "Prilep"}, {}, {}, 6},
        {"Austrija", {"Beč", "Grac", "Linc", "Salcburg", "Insbruk"}, {}, {}, 5},
        {"Mađarska", {"Budimpešta", "Segedin", "Pečuj", "Debrecin"}, {}, {}, 3},
        {"Njemačka", {"Berlin", "Minhen", "Hamburg", "Frankfurt", "Štutgart", "Keln"}, {}, {}, 5},
        {"Italija", {"Rim", "Milano", "Trst", "Napulj", "Torino"},
         {"Giuseppe", "Giulia", "Marco", "Chiara", "Luca", "Francesca"},
         {"D'Angelo", "Dell'Orto", "Rossi", "Bianchi", "Esposito", "Romano"}, 3},
        {"Švajcarska", {"Cirih", "Ženeva", "Bern", "Bazel"}, {}, {}, 2},
        {"Irska", {"Dablin", "Kork", "Golvej"},
         {"Seán", "Siobhán", "Patrick", "Aoife", "Niamh", "Ciarán"},
         {"O'Brien", "O'Connor", "Murphy", "Kelly", "O'Sullivan", "Walsh"}, 1},
    };
    return list;
}

const std::vector<const char*> firstNames = {
    "Đorđe", "Marko", "Nikola", "Stefan", "Lazar", "Dušan", "Miloš", "Željko", "Čedomir", "Ćiril", "Šime", "Ante",
    "Ivan", "Luka", "Petar", "Aleksandar", "Vuk", "Bojan", "Goran", "Zoran", "Dragan", "Jovan", "Filip", "Nemanja",
    "Ana", "Jelena", "Milica", "Ljiljana", "Snežana", "Marija", "Ivana", "Jovana", "Tijana", "Dragana", "Žaklina",
    "Šejla", "Đurđa", "Katarina", "Tamara", "Sanja", "Maja", "Nataša", "Emina", "Lejla", "Mirza", "Edin",
};
const std::vector<const char*> surnames = {
    "Šćepanović", "Petrović", "Jovanović", "Đorđević", "Nikolić", "Marković", "Ilić", "Pavlović", "Stojanović",
    "Popović", "Živković", "Čolić", "Ćosić", "Kovačević", "Horvat", "Babić", "Knežević", "Perić", "Vuković",
    "Radić", "Mitrović", "Tomić", "Đukić", "Šarić", "Lukić", "Begović", "Hodžić", "Delić", "Novak", "Kranjc",
    "Stojanovski", "Trajkovski", "Šimić", "Čović", "Žigić",
};
// Some persons of Srbija are written in Cyrillic.
const std::vector<const char*> cyrillicFirstNames = {"Ђорђе", "Јелена", "Милош", "Љиљана", "Жарко", "Шандор"};
const std::vector<const char*> cyrillicSurnames = {"Ђурић", "Петровић", "Шћепановић", "Чолић", "Жигић"};

// A fixed generator, so that a register is the same on every machine.
class Random {
public:
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    template <typename T> const T& pick(const std::vector<T>& v) { return v[below(v.size())]; }

private:
    std::uint64_t m_state = 20261207;
};

void writeRegister(sqlite3* raw, long persons)
{
    execOrThrow(raw, "BEGIN");

    Statement country(raw, "INSERT INTO DRZAVE (ID, NAZIV) VALUES (?1, ?2)");
    Statement city(raw, "INSERT INTO GRADOVI (ID_DRZAVA, ID_GRAD, NAZIV) VALUES (?1, ?2, ?3)");
    Statement person(raw, "INSERT INTO PODACI (ID_DRZAVA, ID_GRAD, Ime, Prezime) VALUES (?1, ?2, ?3, ?4)");

    const auto& list = countries();
    std::vector<int> byWeight; // country index, repeated by its weight
    for (std::size_t c = 0; c < list.size(); ++c) {
        country.bind(1, int(c) + 1);
        country.bind(2, list[c].name);
        country.run();
        for (std::size_t g = 0; g < list[c].cities.size(); ++g) {
            city.bind(1, int(c) + 1);
            city.bind(2, int(g) + 1);
            city.bind(3, list[c].cities[g]);
            city.run();
        }
        byWeight.insert(byWeight.end(), list[c].weight, int(c));
    }

    Random random;
    const bool showProgress = persons >= 200000 && isatty(STDERR_FILENO);
    for (long i = 0; i < persons; ++i) {
        const int c = random.pick(byWeight);
        const Country& home = list[c];
        const int cityNumber = int(random.below(home.cities.size())) + 1;
        const char* first;
        const char* last;
        if (!home.firstNames.empty()) {
            first = random.pick(home.firstNames);
            last = random.pick(home.surnames);
        } else if (c == 0 && random.below(20) == 0) {
            first = random.pick(cyrillicFirstNames);
            last = random.pick(cyrillicSurnames);
        } else {
            first = random.pick(firstNames);
            last = random.pick(surnames);
        }
        person.bind(1, c + 1);
        person.bind(2, cityNumber);
        person.bind(3, first);
        person.bind(4, last);
        person.run();
        if (showProgress && i % (persons / 50) == 0)
            writeText(stderr,
                      say(QT_TRANSLATE_NOOP("MakeRegister", "\rUpisujem osobe: %1%")).arg(i * 100 / persons, 3));
    }
    if (showProgress)
        writeText(stderr, say(QT_TRANSLATE_NOOP("MakeRegister", "\rUpisujem osobe: %1%")).arg(100, 3) + "\n");
    execOrThrow(raw, "COMMIT");
    // Statistics for the query planner, as a maintained register has them.
    execOrThrow(raw, "ANALYZE");
    if (Statement(raw, "PRAGMA foreign_key_check").step())
        throw RegisterFileError(
            say(QT_TRANSLATE_NOOP("MakeRegister", "primer krši spoljni ključ registra")).toStdString());
}

} // namespace

int main(int argc, char* argv[])
{
    CommandApplication application(argc, argv);
    CommandLine command(QStringLiteral("kolvara-make-register"),
                        say(QT_TRANSLATE_NOOP("MakeRegister",
                                              "Piše nov registar s primerom od N osoba u DATOTEKU: države i "
                                              "gradove regiona i nekoliko drugih, i osobe s imenima regiona. "
                                              "Isti N daje uvek isti registar. Postojeća DATOTEKA ostaje "
                                              "kakva je, osim uz --force. Umesto DATOTEKE može se navesti "
                                              "prazna baza na PostgreSQL serveru, njenim URI-jem "
                                              "(postgresql://korisnik@server/baza).")));
    command.addOption({QStringLiteral("persons")},
                      say(QT_TRANSLATE_NOOP("MakeRegister", "koliko osoba (od 0 do 100000000; 1000 ako se ne kaže)")),
                      QStringLiteral("N"));
    command.addOption({QStringLiteral("force")}, say(QT_TRANSLATE_NOOP("MakeRegister", "zameni postojeću DATOTEKU")));
    command.addOption({QStringLiteral("add-history")},
                      say(QT_TRANSLATE_NOOP("MakeRegister",
                                            "ne piše nov registar, nego postojećem (napravljenom pre istorije "
                                            "izmena) daje istoriju izmena, a na serveru i pečat izmena kakav "
                                            "imaju novi registri; ništa drugo se ne menja")));
    command.addPositional(say(QT_TRANSLATE_NOOP("MakeRegister", "DATOTEKA")), say(QT_TRANSLATE_NOOP("MakeRegister", "nov registar")));
    command.takesNames(1, 1);
    if (const int code = command.read(application.arguments()); code >= 0)
        return code;
    const std::string connectAs = askServerPassword(command.names().constFirst().toStdString());

    long persons = 1000;
    if (command.isSet(QStringLiteral("persons"))) {
        bool number = false;
        const qlonglong given = command.value(QStringLiteral("persons")).toLongLong(&number);
        if (!number || given < 0 || given > 100000000)
            return command.refuse(
                say(QT_TRANSLATE_NOOP("MakeRegister", "uz --persons ide broj od 0 do 100000000.")));
        persons = long(given);
    }
    const std::string path = command.names().constFirst().toStdString();
    const bool force = command.isSet(QStringLiteral("force"));
    if (command.isSet(QStringLiteral("add-history"))) {
        try {
            addHistoryTo(connectAs);
        } catch (const std::runtime_error& failure) {
            writeText(stderr, QStringLiteral("kolvara-make-register: %1\n").arg(QString::fromUtf8(failure.what())));
            return 1;
        }
        writeText(stdout, say(QT_TRANSLATE_NOOP("MakeRegister", "Registar %1 sada beleži istoriju izmena.\n"))
                              .arg(QString::fromStdString(shownTarget(path))));
        return 0;
    }
    try {
        // A register for a server is written into a file first, then put
        // onto the server in one transaction.
        const bool server = isServerTarget(path);
        QTemporaryDir scratch;
        const std::string file = server ? scratch.filePath(QStringLiteral("register.mdb")).toStdString() : path;
        NewRegisterFile written(file, force || server);
        writeRegister(written.create(), persons);
        written.publish();
        if (server)
            publishToServer(file, connectAs, force);
    } catch (const std::runtime_error& failure) { // RegisterFileError, or the file's Exception
        writeText(stderr, QStringLiteral("kolvara-make-register: %1\n").arg(QString::fromUtf8(failure.what())));
        return 1;
    }
    writeText(stdout,
              say(QT_TRANSLATE_NOOP("MakeRegister", "Napisan je %1: %2 država, %3 osoba.\n"))
                  .arg(QString::fromStdString(shownTarget(path)))
                  .arg(countries().size())
                  .arg(persons));
    return 0;
}
