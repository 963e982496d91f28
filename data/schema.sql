-- The register: persons, the countries and the cities they live in.
--
-- Only the register builder runs this script; the program itself never
-- creates or changes tables. The program also works on a file that has the
-- three tables without the constraints and indexes below (as another tool
-- may have written it), but then the file itself no longer guards its data.

PRAGMA foreign_keys = ON;

CREATE TABLE DRZAVE (
    ID    INTEGER NOT NULL PRIMARY KEY
          CHECK (ID BETWEEN -2147483648 AND 2147483647),
    NAZIV TEXT CHECK (length(NAZIV) <= 255)
);

-- A city is known by its country and its number within that country: the
-- same ID_GRAD stands in several countries.
CREATE TABLE GRADOVI (
    ID_DRZAVA INTEGER NOT NULL REFERENCES DRZAVE (ID),
    ID_GRAD   INTEGER NOT NULL
              CHECK (typeof(ID_GRAD) = 'integer' AND ID_GRAD BETWEEN -2147483648 AND 2147483647),
    NAZIV     TEXT CHECK (length(NAZIV) <= 255),
    PRIMARY KEY (ID_DRZAVA, ID_GRAD)
);

CREATE TABLE PODACI (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    ID_DRZAVA INTEGER NOT NULL,
    ID_GRAD   INTEGER NOT NULL,
    Ime       TEXT CHECK (length(Ime) <= 255),
    Prezime   TEXT CHECK (length(Prezime) <= 255),
    FOREIGN KEY (ID_DRZAVA, ID_GRAD) REFERENCES GRADOVI (ID_DRZAVA, ID_GRAD)
);

-- The list is sorted by country name: walking countries in name order lets
-- the engine skip the sort.
CREATE INDEX DRZAVE_NAZIV ON DRZAVE (NAZIV);
-- Joining a city's persons, and checking the foreign key when a city goes.
CREATE INDEX PODACI_DRZAVA_GRAD ON PODACI (ID_DRZAVA, ID_GRAD, Ime, Prezime);
