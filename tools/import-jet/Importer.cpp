#include "Importer.h"

#include "ImportText.h"

#include "JetFile.h"
#include "Exception.h"
#include "NewRegisterFile.h"
#include "RegisterSource.h"
#include "ServerRegister.h"
#include "Sqlite.h"

#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

using import_text::say;

// The register's tables as the import copies them, in an order in which
// every row's parents come first.
struct Column {
    const char* name;
    JetKind kind;
    bool required; // part of a key: never empty
};
struct TableSpec {
    const char* name;
    std::vector<Column> columns;
    std::vector<int> key; // indexes of the columns that name a row
};

const std::vector<TableSpec>& registerTables()
{
    static const std::vector<TableSpec> tables = {
        {"DRZAVE", {{"ID", JetKind::Integer, true}, {"NAZIV", JetKind::Text, false}}, {0}},
        {"GRADOVI",
         {{"ID_DRZAVA", JetKind::Integer, true}, {"ID_GRAD", JetKind::Integer, true}, {"NAZIV", JetKind::Text, false}},
         {0, 1}},
        {"PODACI",
         {{"ID", JetKind::Integer, true}, {"ID_DRZAVA", JetKind::Integer, true}, {"ID_GRAD", JetKind::Integer, true},
          {"Ime", JetKind::Text, false}, {"Prezime", JetKind::Text, false}},
         {0}},
    };
    return tables;
}

constexpr std::size_t MaxNameCharacters = 255;

std::size_t characters(const std::string& utf8)
{
    return std::size_t(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void bindValue(sqlite3_stmt* st, int index, const JetValue& value, JetKind kind)
{
    ::bindValue(st, index, value.null, kind == JetKind::Integer, value.integer, value.text);
}

std::string describeKey(const TableSpec& spec, const std::vector<JetValue>& values)
{
    std::string key;
    for (int k : spec.key) {
        key += (key.empty() ? "" : ", ") + std::string(spec.columns[k].name) + "=";
        key += values[k].null ? "NULL" : std::to_string(values[k].integer);
    }
    return key;
}

// Why the register's schema refuses values before any write ("" if it
// does not): the checks a person can act on, said plainly.
std::string whyRefused(const TableSpec& spec, const std::vector<JetValue>& values)
{
    for (std::size_t c = 0; c < spec.columns.size(); ++c) {
        const Column& column = spec.columns[c];
        const JetValue& value = values[c];
        if (column.required && value.null)
            return say(QT_TRANSLATE_NOOP("ImportJet", "%1 je prazno"), column.name);
        if (column.kind == JetKind::Text && !value.null && characters(value.text) > MaxNameCharacters)
            return say(QT_TRANSLATE_NOOP("ImportJet", "%1 ima %2 znakova, a staje najviše %3"), column.name,
                       characters(value.text), MaxNameCharacters);
    }
    return {};
}

class Import {
public:
    Import(const ImportOptions& options, const std::function<void(std::int64_t, std::int64_t)>& progress)
        : m_options(options), m_progress(progress)
    {
    }

    ImportReport run()
    {
        std::unique_ptr<JetFile> jet;
        std::unique_ptr<RegisterSource> kept;
        if (m_options.fromRegister) {
            try {
                kept = std::make_unique<RegisterSource>(m_options.source);
            } catch (const Exception& error) {
                throw ImportError(error.Message());
            }
            m_report.format = "Kolvara";
        } else {
            jet = std::make_unique<JetFile>(m_options.source, m_options.codePage);
            m_report.format = jet->formatName();
            m_report.codePage = jet->isJet3() ? jet->codePage() : 0;
        }

        // Every table and column there and of the right kind, before anything is written.
        std::vector<std::unique_ptr<JetTable>> sources;
        std::vector<std::vector<int>> columnOf; // register column -> source column
        std::int64_t total = 0;
        for (const TableSpec& spec : registerTables()) {
            std::unique_ptr<JetTable> table = kept ? kept->table(spec.name) : jet->table(spec.name);
            if (!table)
                throw ImportError(say(QT_TRANSLATE_NOOP("ImportJet", "„%1” nema tabelu %2: to nije registar osoba."),
                                      shownTarget(m_options.source), spec.name));
            std::vector<int> map;
            for (const Column& column : spec.columns) {
                const int index = table->columnIndex(column.name);
                if (index < 0)
                    throw ImportError(
                        say(QT_TRANSLATE_NOOP("ImportJet", "tabela %1 nema kolonu %2."), table->name(), column.name));
                const JetColumn& found = table->columns()[index];
                if (found.kind != column.kind)
                    throw ImportError(
                        column.kind == JetKind::Integer
                            ? say(QT_TRANSLATE_NOOP("ImportJet",
                                                    "kolona %1 tabele %2 drži vrednosti tipa %3, a ne cele brojeve."),
                                  found.name, table->name(), found.typeName)
                            : say(QT_TRANSLATE_NOOP("ImportJet",
                                                    "kolona %1 tabele %2 drži vrednosti tipa %3, a ne tekst."),
                                  found.name, table->name(), found.typeName));
                map.push_back(index);
            }
            total += table->rowCount();
            sources.push_back(std::move(table));
            columnOf.push_back(std::move(map));
        }
        // A register being copied brings its history, read at the same moment.
        std::vector<std::vector<JetValue>> history;
        std::vector<std::pair<std::string, bool>> historyColumns; // name, whole numbers
        if (kept)
            readHistory(*kept, historyColumns, history);
        // Every row is held now: a register being copied is let go, so that
        // its writers need not wait for the rest.
        if (kept)
            kept->finishedReading();

        // A register for a server is written into a file first, then put
        // onto the server in one transaction.
        const bool server = isServerTarget(m_options.target);
        QTemporaryDir scratch;
        const std::string target
            = server ? scratch.filePath(QStringLiteral("register.mdb")).toStdString() : m_options.target;
        NewRegisterFile file(target, m_options.force || !m_options.keepOldAs.empty() || server);
        m_db = file.create();
        execOrThrow(m_db, "BEGIN");
        if (m_options.refused == RefusedRows::SetAside)
            createSideTables();

        std::int64_t done = 0;
        std::vector<JetValue> row, values;
        for (std::size_t t = 0; t < sources.size(); ++t) {
            const TableSpec& spec = registerTables()[t];
            TableReport report;
            report.name = spec.name;
            Statement insert(m_db, insertSql(spec, false));
            while (sources[t]->next(row)) {
                values.clear();
                for (int source : columnOf[t])
                    values.push_back(row[source]);
                ++report.read;
                if (spec.name == std::string("PODACI") && !values[0].null)
                    m_largestPersonId = std::max(m_largestPersonId, values[0].integer);
                std::string reason = whyRefused(spec, values);
                if (reason.empty()) {
                    for (std::size_t c = 0; c < values.size(); ++c)
                        bindValue(insert.get(), int(c) + 1, values[c], spec.columns[c].kind);
                    try {
                        insert.step();
                    } catch (const Exception&) {
                        // A constraint refuses the row; anything else stops the import.
                        const int rc = sqlite3_extended_errcode(m_db);
                        if ((rc & 0xFF) != SQLITE_CONSTRAINT)
                            throw;
                        reason = rc == SQLITE_CONSTRAINT_PRIMARYKEY || rc == SQLITE_CONSTRAINT_UNIQUE
                            ? say(QT_TRANSLATE_NOOP("ImportJet", "drugi red ima isti ključ"))
                            : sqlite3_errstr(rc);
                    }
                    sqlite3_reset(insert.get());
                    sqlite3_clear_bindings(insert.get());
                }
                if (!reason.empty())
                    refuse(spec, values, reason, report);
                if (m_progress && ++done % 4096 == 0)
                    m_progress(done, total);
            }
            m_report.tables.push_back(report);
        }
        if (m_progress)
            m_progress(total, total);
        refuseBrokenReferences();
        for (TableReport& report : m_report.tables) {
            Statement count(m_db, "SELECT count(*) FROM " + quoteIdentifier(report.name));
            count.step();
            report.written = sqlite3_column_int64(count.get(), 0);
        }

        if (m_options.refused == RefusedRows::Stop && !m_report.refused.empty())
            return m_report; // nothing written: the list says why
        // New persons are numbered after the largest key the old file held,
        // a person set aside or left out included: no key is given twice.
        execOrThrow(m_db, "DELETE FROM sqlite_sequence WHERE name = 'PODACI'");
        {
            Statement sequence(m_db, "INSERT INTO sqlite_sequence (name, seq) VALUES ('PODACI', "
                                     "max(?1, coalesce((SELECT max(ID) FROM PODACI), 0)))");
            sqlite3_bind_int64(sequence.get(), 1, m_largestPersonId);
            sequence.step();
        }
        execOrThrow(m_db, "COMMIT");
        file.addHistory();
        writeHistory(historyColumns, history);
        execOrThrow(m_db, "ANALYZE");
        keepTheOldFile();
        try {
            file.publish();
        } catch (...) {
            if (!m_options.keepOldAs.empty())
                ::unlink(m_options.keepOldAs.c_str());
            throw;
        }
        if (server)
            publishToServer(target, m_options.target, m_options.force);
        m_report.written = true;
        return m_report;
    }

private:
    // The columns of the register's history that source has, and its rows
    // in the order they were recorded; nothing for a register without one.
    static void readHistory(RegisterSource& source, std::vector<std::pair<std::string, bool>>& columns,
                            std::vector<std::vector<JetValue>>& rows)
    {
        static const char* const known[]
            = {"ID",          "AT",          "WHO",           "APP",         "MARK",      "TBL",
               "KIND",        "ROW_ID",      "OLD_ID_DRZAVA", "OLD_ID_GRAD", "OLD_NAZIV", "OLD_IME",
               "OLD_PREZIME", "NEW_ID_DRZAVA", "NEW_ID_GRAD", "NEW_NAZIV",   "NEW_IME",   "NEW_PREZIME"};
        // A role that may not read the history copies the register without it.
        try {
            const std::unique_ptr<JetTable> table = source.table("KOLVARA_HISTORY");
            if (!table)
                return;
            std::vector<int> at;
            for (const char* column : known)
                if (const int index = table->columnIndex(column); index >= 0) {
                    columns.emplace_back(column, table->columns()[std::size_t(index)].kind == JetKind::Integer);
                    at.push_back(index);
                }
            std::vector<JetValue> row;
            while (table->next(row)) {
                std::vector<JetValue> kept;
                for (int index : at)
                    kept.push_back(row[std::size_t(index)]);
                rows.push_back(std::move(kept));
            }
        } catch (const Exception&) {
            columns.clear();
            rows.clear();
        }
    }

    // Writes a copied history into the new register, after its own triggers
    // are there (the rows copied are no change of it).
    void writeHistory(const std::vector<std::pair<std::string, bool>>& columns,
                      const std::vector<std::vector<JetValue>>& rows)
    {
        if (columns.empty() || rows.empty())
            return;
        std::string names, parameters;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            names += (c ? ", " : "") + columns[c].first;
            parameters += (c ? ", ?" : "?") + std::to_string(c + 1);
        }
        execOrThrow(m_db, "BEGIN");
        Statement insert(m_db, "INSERT INTO KOLVARA_HISTORY (" + names + ") VALUES (" + parameters + ")");
        for (const std::vector<JetValue>& row : rows) {
            for (std::size_t c = 0; c < row.size(); ++c)
                ::bindValue(insert.get(), int(c) + 1, row[c].null, columns[c].second, row[c].integer, row[c].text);
            insert.step();
            sqlite3_reset(insert.get());
            sqlite3_clear_bindings(insert.get());
        }
        execOrThrow(m_db, "COMMIT");
    }

    static std::string insertSql(const TableSpec& spec, bool sideTable)
    {
        std::string columns, parameters;
        for (std::size_t c = 0; c < spec.columns.size(); ++c) {
            columns += (c ? ", " : "") + quoteIdentifier(spec.columns[c].name);
            parameters += (c ? ", ?" : "?") + std::to_string(c + 1);
        }
        if (sideTable) {
            columns += ", REASON";
            parameters += ", ?" + std::to_string(spec.columns.size() + 1);
        }
        return "INSERT INTO " + quoteIdentifier(std::string(spec.name) + (sideTable ? "_SET_ASIDE" : "")) + " (" + columns
               + ") VALUES (" + parameters + ")";
    }

    void createSideTables()
    {
        for (const TableSpec& spec : registerTables()) {
            std::string columns;
            for (const Column& column : spec.columns)
                columns += quoteIdentifier(column.name) + (column.kind == JetKind::Integer ? " INTEGER, " : " TEXT, ");
            execOrThrow(m_db, ("CREATE TABLE " + quoteIdentifier(std::string(spec.name) + "_SET_ASIDE") + " (" + columns
                               + "REASON TEXT NOT NULL)").c_str());
        }
    }

    void refuse(const TableSpec& spec, const std::vector<JetValue>& values, const std::string& reason,
                TableReport& report)
    {
        m_report.refused.push_back({spec.name, describeKey(spec, values), reason});
        if (m_options.refused == RefusedRows::SetAside) {
            Statement aside(m_db, insertSql(spec, true));
            for (std::size_t c = 0; c < values.size(); ++c)
                bindValue(aside.get(), int(c) + 1, values[c], spec.columns[c].kind);
            sqlite3_bind_text(aside.get(), int(values.size()) + 1, reason.c_str(), -1, SQLITE_TRANSIENT);
            aside.step();
            ++report.setAside;
        } else if (m_options.refused == RefusedRows::Skip) {
            ++report.skipped;
        }
    }

    // A city of a country that is not there, a person of a city that is not
    // there: refused, and then whatever hung on them, until nothing is left.
    void refuseBrokenReferences()
    {
        for (;;) {
            struct Broken {
                std::string table;
                sqlite3_int64 rowid;
            };
            std::vector<Broken> broken;
            {
                Statement check(m_db, "SELECT \"table\", rowid FROM pragma_foreign_key_check");
                while (check.step())
                    broken.push_back({reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0)),
                                      sqlite3_column_int64(check.get(), 1)});
            }
            if (broken.empty())
                return;
            for (const Broken& b : broken) {
                const auto spec = std::find_if(registerTables().begin(), registerTables().end(),
                                               [&](const TableSpec& s) { return b.table == s.name; });
                if (spec == registerTables().end())
                    throw ImportError(
                        say(QT_TRANSLATE_NOOP("ImportJet", "nov registar krši upućivanje tabele %1"), b.table));
                std::vector<JetValue> values(spec->columns.size());
                std::string columns;
                for (const Column& column : spec->columns)
                    columns += (columns.empty() ? "" : ", ") + quoteIdentifier(column.name);
                Statement read(m_db, "SELECT " + columns + " FROM " + quoteIdentifier(spec->name) + " WHERE rowid = ?1");
                sqlite3_bind_int64(read.get(), 1, b.rowid);
                if (!read.step())
                    continue; // already gone with an earlier one
                for (std::size_t c = 0; c < values.size(); ++c) {
                    values[c].null = sqlite3_column_type(read.get(), int(c)) == SQLITE_NULL;
                    values[c].integer = sqlite3_column_int64(read.get(), int(c));
                    if (const auto* text = sqlite3_column_text(read.get(), int(c)))
                        values[c].text = reinterpret_cast<const char*>(text);
                }
                const std::string reason = spec->name == std::string("GRADOVI")
                    ? say(QT_TRANSLATE_NOOP("ImportJet", "njegove države ID_DRZAVA=%1 nema u DRZAVE"),
                          values[0].integer)
                    : say(QT_TRANSLATE_NOOP("ImportJet", "njegovog grada ID_DRZAVA=%1, ID_GRAD=%2 nema u GRADOVI"),
                          values[1].integer, values[2].integer);
                auto report = std::find_if(m_report.tables.begin(), m_report.tables.end(),
                                           [&](const TableReport& r) { return r.name == spec->name; });
                refuse(*spec, values, reason, *report);
                Statement remove(m_db, "DELETE FROM " + quoteIdentifier(spec->name) + " WHERE rowid = ?1");
                sqlite3_bind_int64(remove.get(), 1, b.rowid);
                remove.step();
            }
        }
    }

    // The new register takes the old file's name: the old file keeps its
    // bytes under another name, never overwriting a file there.
    void keepTheOldFile()
    {
        if (m_options.keepOldAs.empty())
            return;
        if (::link(m_options.source.c_str(), m_options.keepOldAs.c_str()) != 0)
            throw ImportError(
                say(QT_TRANSLATE_NOOP("ImportJet",
                                      "stari registar ne može da se sačuva kao „%1”: %2. Ništa nije promenjeno."),
                    m_options.keepOldAs, std::strerror(errno)));
    }

    const ImportOptions& m_options;
    const std::function<void(std::int64_t, std::int64_t)>& m_progress;
    ImportReport m_report;
    sqlite3* m_db = nullptr;
    std::int64_t m_largestPersonId = 0;
};

} // namespace

ImportReport importJet(const ImportOptions& options, const std::function<void(std::int64_t, std::int64_t)>& progress)
{
    if (!options.keepOldAs.empty() && options.target != options.source)
        throw ImportError(
            say(QT_TRANSLATE_NOOP("ImportJet",
                                  "stara datoteka se čuva pod drugim imenom samo kad nov registar zauzme njeno "
                                  "mesto.")));
    if (options.keepOldAs.empty() && options.target == options.source)
        throw ImportError(say(
            QT_TRANSLATE_NOOP("ImportJet", "nov registar ne može da se upiše preko stare datoteke; navedite drugu.")));
    try {
        return Import(options, progress).run();
    } catch (const JetError& error) {
        throw ImportError(error.what());
    } catch (const RegisterFileError& error) {
        throw ImportError(error.what());
    } catch (const Exception& error) {
        throw ImportError(say(QT_TRANSLATE_NOOP("ImportJet", "nov registar ne može da se upiše: %1"), error.Message()));
    } catch (const std::bad_alloc&) {
        throw ImportError(
            say(QT_TRANSLATE_NOOP("ImportJet", "nema dovoljno memorije za čitanje „%1”: datoteka je možda oštećena."),
                shownTarget(options.source)));
    }
}
