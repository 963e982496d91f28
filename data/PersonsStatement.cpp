#include "PersonsStatement.h"

namespace {

// A box's text inside a quoted SQL pattern: each apostrophe written twice,
// so that no text can end the pattern and be read as part of the statement.
std::string quotedPattern(const std::string& text)
{
    std::string pattern;
    for (char c : text) {
        pattern += c;
        if (c == '\'')
            pattern += '\'';
    }
    return pattern;
}

} // namespace

std::string personsStatement(const std::string& firstName, const std::string& surname, const std::string& country,
                             const std::string& city)
{
    std::string clauses[4];
    std::string statement = "SELECT PODACI.ID, PODACI.ID_DRZAVA, PODACI.ID_GRAD, PODACI.Ime, PODACI.Prezime, "
                            "DRZAVE.Naziv, GRADOVI.Naziv";
    statement += "\n";
    statement += "FROM PODACI, DRZAVE, GRADOVI";
    statement += "\n";
    statement += "WHERE DRZAVE.ID = GRADOVI.ID_DRZAVA AND (GRADOVI.ID_DRZAVA = PODACI.ID_DRZAVA AND "
                 "GRADOVI.ID_GRAD = PODACI.ID_GRAD)";
    if (firstName != "")
        clauses[0] = " AND PODACI.Ime LIKE '" + quotedPattern(firstName) + "%'";
    if (surname != "")
        clauses[1] = " AND PODACI.Prezime LIKE '" + quotedPattern(surname) + "%'";
    if (country != "")
        clauses[2] = "AND DRZAVE.Naziv LIKE '" + quotedPattern(country) + "%'";
    if (city != "")
        clauses[3] = "AND GRADOVI.Naziv LIKE '" + quotedPattern(city) + "%'";
    const std::string joined = clauses[0] + clauses[1] + clauses[2] + clauses[3];
    if (!joined.empty())
        statement += "\n" + joined;
    statement += "ORDER BY DRZAVE.Naziv";
    return statement;
}


const std::vector<std::string>& personsColumns()
{
    static const std::vector<std::string> columns{"ID", "ID_DRZAVA", "ID_GRAD", "Ime", "Prezime", "DRZAVE.Naziv",
                                                  "GRADOVI.Naziv"};
    return columns;
}
