#pragma once
// The persons list's statement: the three tables joined, a prefix condition
// for each search text that is not empty (first name, surname, country,
// city, in that order), ordered by country name. Texts are UTF-8; an
// apostrophe in one is written twice, so that no text ends its pattern.

#include <string>
#include <vector>

std::string personsStatement(const std::string& firstName, const std::string& surname, const std::string& country,
                             const std::string& city);

// The list's seven columns, named as the window names its fields and titles
// them: the key, the country's and the city's keys, the names, the
// country's and the city's names.
const std::vector<std::string>& personsColumns();
