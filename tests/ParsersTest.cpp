// The program's small languages: the connection string, the table filter,
// the case-insensitive LIKE and the searches a list finds in memory, each
// against the inputs that would break them.

#include "Sqlite.h"
#include "SqliteEngine.h"
#include "ConnectionString.h"
#include "Exception.h"
#include "FilterExpression.h"
#include "RowStore.h"
#include "SearchMemory.h"
#include "SearchStatement.h"
#include "UnicodeLike.h"

#include <QElapsedTimer>
#include <QTest>

#include <optional>
#include <string>
#include <vector>

class ParsersTest : public QObject {
    Q_OBJECT

private slots:
    void connectionStringKeepsTheDataSourceWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("security");
        const QString p = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
        auto built = [](const QString& folder) { return ConnectionString::forFile(folder + "proba.mdb"); };
        QTest::newRow("plain") << built("/home/ana/") << p << "/home/ana/proba.mdb" << "False";
        QTest::newRow("semicolon") << built("/a;b/") << p << "/a;b/proba.mdb" << "False";
        QTest::newRow("word=value in path") << built("/x;y=z;w/") << p << "/x;y=z;w/proba.mdb" << "False";
        QTest::newRow("blanks kept") << built("/ a b /") << p << "/ a b /proba.mdb" << "False";
        QTest::newRow("letters") << built("/Đorđe/регистар/") << p << "/Đorđe/регистар/proba.mdb" << "False";
        QTest::newRow("quoted") << "Provider=X;Data Source=\"/a;\"\"b\"\"/p.mdb\";Persist Security Info=True"
                                << "X" << "/a;\"b\"/p.mdb" << "True";
        QTest::newRow("keyword case and blanks") << " provider = X ; data source=/p.mdb" << "X" << "/p.mdb" << QString();
        QTest::newRow("last wins") << "Provider=A;Provider=B;Data Source=/p" << "B" << "/p" << QString();
    }

    void connectionStringKeepsTheDataSourceWhole()
    {
        QFETCH(QString, text);
        QFETCH(QString, provider);
        QFETCH(QString, source);
        QFETCH(QString, security);
        const ConnectionString parsed = ConnectionString::parse(text);
        QCOMPARE(parsed.value("PROVIDER"), provider);
        QCOMPARE(parsed.value("Data Source"), source);
        QCOMPARE(parsed.value("Persist Security Info"), security);
    }

    void connectionStringRefusesWhatItCannotRead()
    {
        QVERIFY_THROWS_EXCEPTION(Exception, ConnectionString::parse("Provider"));
        QVERIFY_THROWS_EXCEPTION(Exception, ConnectionString::parse("Data Source=\"/open"));
        QVERIFY(ConnectionString::parse("").entries().empty());
        QVERIFY(ConnectionString::parse(";;").entries().empty());
    }

    void filterParsesAndMatches_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("conditions");
        QTest::addColumn<QString>("error"); // part of the message, empty when valid
        QTest::newRow("key") << "ID_DRZAVA=3" << 1 << "";
        QTest::newRow("blanks and case") << " id_drzava = -3 and NAZIV <> 'O''Brien' " << 2 << "";
        QTest::newRow("no value") << "ID_DRZAVA=" << 1 << "";
        QTest::newRow("brackets") << "[ID_DRZAVA]>=2" << 1 << "";
        QTest::newRow("empty") << "   " << 0 << "";
        QTest::newRow("letters for a number") << "ID_DRZAVA=abc" << 0 << "ceo broj";
        QTest::newRow("no field") << "=3" << 0 << "ime polja";
        QTest::newRow("no operator") << "ID_DRZAVA 3" << 0 << "poređenje";
        QTest::newRow("open quote") << "NAZIV='x" << 0 << "nije zatvoren";
        QTest::newRow("trailing junk") << "ID_DRZAVA=3;DROP TABLE x" << 0 << "AND";
        QTest::newRow("number too big") << "ID_DRZAVA=99999999999999999999" << 0 << "ceo broj";
    }

    void filterParsesAndMatches()
    {
        QFETCH(QString, text);
        QFETCH(int, conditions);
        QFETCH(QString, error);
        try {
            const FilterExpression f = FilterExpression::parse(text.toStdString());
            QVERIFY2(error.isEmpty(), "accepted a filter it should refuse");
            QCOMPARE(int(f.conditions().size()), conditions);
        } catch (const Exception& e) {
            QVERIFY2(!error.isEmpty() && QString::fromStdString(e.Message()).contains(error), e.what());
        }
    }

    void likeMatchesLettersOfEveryScript_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("š finds Šabac") << "š%" << "Šabac" << true;
        QTest::newRow("ŠA finds šabac") << "ŠA%" << "šabac" << true;
        QTest::newRow("đ finds Đorđe") << "đ%" << "Đorđe" << true;
        QTest::newRow("cyrillic") << "жаб%" << "Жабаљ" << true;
        QTest::newRow("greek") << "σ%" << "Σοφία" << true;
        QTest::newRow("ascii") << "mar%" << "MARKO" << true;
        QTest::newRow("not a prefix") << "ab%" << "xab" << false;
        QTest::newRow("underscore takes one letter") << "_abac" << "Šabac" << true;
        QTest::newRow("underscore needs one") << "Šabac_" << "Šabac" << false;
        QTest::newRow("percent in the middle") << "D%o" << "Đorđe Đukić Mirko" << false;
        QTest::newRow("percent anywhere") << "%ORĐ%" << "Đorđe" << true;
        QTest::newRow("empty pattern") << "" << "" << true;
        QTest::newRow("empty pattern, text") << "" << "a" << false;
        QTest::newRow("outside the basic plane") << "😀%" << "😀 smile" << true;
        QTest::newRow("c is not č") << "c%" << "Čačak" << false;
        QTest::newRow("blank prefix") << " %" << "Ana" << false;
        QTest::newRow("the Kelvin sign is a k") << "k%" << "\u212Aelvin" << true;
        QTest::newRow("a long s is an s") << "S%" << "\u017Fanta" << true;
    }

    void likeMatchesLettersOfEveryScript()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        const std::string p = pattern.toStdString(), t = text.toStdString();
        QCOMPARE(unicode_like::match(p, t), matches);
        // A search passes over texts whose first letter's byte differs from
        // a pattern's that begins with a letter: never over one that matches.
        if (matches && !p.empty() && p[0] != '%' && p[0] != '_')
            QCOMPARE(unicode_like::firstKey(t.data(), t.size()), unicode_like::firstKey(p.data(), p.size()));
    }

    // A server lowers letters its own way; the rows held are found as its
    // LIKE would find them, the first letters' bytes passing over none of
    // them. "ascii": a character type that knows ASCII letters only; "full":
    // one that also lowers "İ" to "i", as the operating system's do.
    void searchesFromMemoryFoldAsTheServerDoes_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("ascii: case of ASCII letters") << "ascii" << "ana%" << QStringList{"Ana", "ANA"};
        QTest::newRow("ascii: not beyond") << "ascii" << "š%" << QStringList{"šabac"};
        QTest::newRow("ascii: one letter each") << "ascii" << "_abac" << QStringList{"Šabac", "šabac"};
        QTest::newRow("full: beyond ASCII") << "full" << "Š%" << QStringList{"Šabac", "šabac"};
        QTest::newRow("full: İ is i") << "full" << "i%" << QStringList{"İstanbul", "istanbul"};
        QTest::newRow("full: and i is İ") << "full" << "İST%" << QStringList{"İstanbul", "istanbul"};
        QTest::newRow("full: the Kelvin sign") << "full" << "k%" << QStringList{"Kelvin", "\u212Aelvin"};
        QTest::newRow("full: anywhere") << "full" << "%BUL" << QStringList{"İstanbul", "istanbul"};
    }

    void searchesFromMemoryFoldAsTheServerDoes()
    {
        QFETCH(QString, server);
        QFETCH(QString, pattern);
        QFETCH(QStringList, found);
        std::vector<std::pair<char32_t, char32_t>> lowered;
        for (char32_t c = 'A'; c <= 'Z'; ++c)
            lowered.emplace_back(c, c + 32);
        if (server == "full")
            lowered.insert(lowered.end(), {{U'Š', U'š'}, {U'İ', U'i'}, {U'\u212A', U'k'}});
        const unicode_like::Folding folding(lowered);
        const QStringList names{"Šabac", "šabac", "Ana", "ANA", "İstanbul", "istanbul", "Kelvin", "\u212Aelvin"};
        RowStore store;
        store.reset({FieldKind::Text});
        for (const QString& name : names) {
            const std::string text = name.toStdString();
            store.appendText(0, text.data(), text.size());
            store.endRow();
        }
        SearchMemory memory;
        memory.hold({});
        const SearchMemory::Rows rows = memory.find(store, {{0, pattern.toStdString()}}, &folding);
        QStringList shown;
        for (std::uint32_t row : *rows)
            shown << names[int(row)];
        QCOMPARE(shown, found);
    }

    // The rows a list holds read back as they were given, however many,
    // after edits (a text shared with other rows changed in one of them)
    // and after the store is handed on, as a search read ahead is.
    void rowStoreGivesBackEveryValue_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("a few") << 7;
        QTest::newRow("past the allocator's, in pages") << 300000;
    }

    void rowStoreGivesBackEveryValue()
    {
        QFETCH(int, rows);
        const std::vector<std::string> common{"", "Srbija", "Beograd", "Ана", "\xF0\x9F\x98\x80 emoji"};
        std::vector<std::optional<std::string>> texts;
        std::vector<std::optional<std::int32_t>> numbers;
        RowStore first;
        first.reset({FieldKind::Integer, FieldKind::Text});
        for (int r = 0; r < rows; ++r) {
            numbers.push_back(r % 11 == 3 ? std::nullopt : std::optional<std::int32_t>(r % 100000 * 7919 - 40000));
            texts.push_back(r % 13 == 5 ? std::nullopt
                            : r % 3     ? std::optional<std::string>(common[std::size_t(r) % common.size()])
                                        : std::optional<std::string>("only " + std::to_string(r)));
            numbers.back() ? first.appendInteger(0, *numbers.back()) : first.appendNull(0);
            texts.back() ? first.appendText(1, texts.back()->data(), texts.back()->size()) : first.appendNull(1);
            first.endRow();
        }
        for (int r = 1; r < rows; r += 2) {
            texts[std::size_t(r)] = r % 4 == 1 ? common[1] + "!" : common[std::size_t(r) % 3];
            first.setText(std::size_t(r), 1, *texts[std::size_t(r)]);
        }
        RowStore store;
        store = std::move(first);
        QCOMPARE(store.rowCount(), std::size_t(rows));
        for (std::size_t r = 0; r < std::size_t(rows); ++r) {
            QCOMPARE(store.isNull(r, 0), !numbers[r]);
            QCOMPARE(store.isNull(r, 1), !texts[r]);
            if (numbers[r])
                QCOMPARE(store.integer(r, 0), *numbers[r]);
            if (texts[r])
                QCOMPARE(store.text(r, 1), std::string_view(*texts[r]));
        }
    }

    // Which statements a list may answer from the rows it holds: only those
    // whose trailing conditions surely narrow the rest. "" for no search,
    // else the conditions as "column:pattern" and "|" and the base.
    void searchStatementSplitsOnlyWhatItIsSureOf_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("search");
        const QString list = "SELECT P.ID, P.Ime, G.Naziv FROM P, G WHERE (G.ID = P.ID_GRAD)";
        const QString base = list + " ORDER BY G.Naziv";
        QTest::newRow("no box") << list + "ORDER BY G.Naziv" << "|" + base;
        QTest::newRow("two boxes, a quote written twice")
            << list + "\n AND P.Ime LIKE 'O''B%'AND G.Naziv LIKE 'Ž%'ORDER BY G.Naziv" << "1:O'B% 2:Ž%|" + base;
        QTest::newRow("no order") << list + " AND P.Ime LIKE 'a%'" << "1:a%|" + list;
        QTest::newRow("quoted names") << "SELECT \"P\".\"Ime\" FROM P WHERE 1 = 1 AND p.IME LIKE '%'"
                                      << "0:%|SELECT \"P\".\"Ime\" FROM P WHERE 1 = 1";
        QTest::newRow("a column not listed stays in the base")
            << list + " AND P.Prezime LIKE 'a%' ORDER BY G.Naziv" << "|" + list + " AND P.Prezime LIKE 'a%' ORDER BY G.Naziv";
        QTest::newRow("NOT LIKE stays in the base") << list + " AND NOT P.Ime LIKE 'a%'" << "|" + list + " AND NOT P.Ime LIKE 'a%'";
        QTest::newRow("a quoted name with a dot is one name") << list + " AND \"P.Ime\" LIKE 'a%'" << "|" + list + " AND \"P.Ime\" LIKE 'a%'";
        QTest::newRow("the only condition") << "SELECT P.Ime FROM P WHERE P.Ime LIKE 'a%'" << "|SELECT P.Ime FROM P WHERE P.Ime LIKE 'a%'";
        for (const char* odd : {" OR 1 = 1 AND P.Ime LIKE 'a%'", " AND P.ID BETWEEN 1 AND P.Ime LIKE 'a%'",
                                " AND random() > 0 AND P.Ime LIKE 'a%'", " AND P.Ime LIKE 'a%' ESCAPE '!'",
                                " AND P.Ime LIKE 'a' || '%'", " AND P.Ime LIKE 'a%' -- x", " AND P.Ime LIKE 'a%';",
                                " AND P.Ime LIKE 'a%' LIMIT 5", " AND P.Ime LIKE 'a%", " AND P.ID > CURRENT_TIMESTAMP",
                                " AND P.Ime LIKE ?1", " AND P.ID IN (SELECT 1)", " AND P.Ime LIKE 'a%' COLLATE NOCASE"})
            QTest::newRow(odd) << list + odd << QString();
        QTest::newRow("every column") << "SELECT * FROM P WHERE 1 = 1" << QString();
        QTest::newRow("an alias") << "SELECT P.Ime AS x FROM P WHERE 1 = 1" << QString();
        QTest::newRow("a join") << "SELECT P.Ime FROM P JOIN G ON 1 = 1 WHERE 1 = 1" << QString();
        QTest::newRow("distinct") << "SELECT DISTINCT P.Ime FROM P WHERE 1 = 1" << QString();
        QTest::newRow("not a query") << "DELETE FROM P WHERE 1 = 1" << QString();
    }

    void searchStatementSplitsOnlyWhatItIsSureOf()
    {
        QFETCH(QString, sql);
        QFETCH(QString, search);
        const std::optional<SearchStatement> found = SearchStatement::parse(sql.toStdString());
        QString seen;
        if (found) {
            QStringList conditions;
            for (const SearchStatement::Condition& c : found->conditions)
                conditions << QString::number(c.column) + ":" + QString::fromStdString(c.pattern);
            seen = conditions.join(' ') + "|" + QString::fromStdString(found->base);
        }
        QCOMPARE(seen, search);
    }

    void likeHandlesBrokenTextAndEscapes()
    {
        QVERIFY(unicode_like::match("a\xff%", "A\xff" "bc"));
        QVERIFY(!unicode_like::match("a\xc3%", "a\xc3\xa9")); // a lone lead byte is no letter
        // A longer spelling of "%" or "A" is neither, and a value beyond
        // U+10FFFF is not the stray byte it would reach.
        QVERIFY(!unicode_like::match("\xC0\xA5", ""));
        QVERIFY(!unicode_like::match("a\xC0\xA5", "abc"));
        QVERIFY(!unicode_like::match("\xC1\x81%", "Ana"));
        QVERIFY(!unicode_like::match("\xF4\x90\x82\x80", "\x80"));
        QVERIFY(unicode_like::match("\xED\xA0\x80%", "\xED\xA0\x80x")); // a surrogate is stray bytes
        QCOMPARE(unicode_like::firstKey("\xED\xA0\x80x", 4), unicode_like::firstKey("\xED\xA0\x80%", 4));
        QVERIFY(unicode_like::match("100!%%", "100% sure", '!'));
        QVERIFY(!unicode_like::match("100!%%", "1000", '!'));
        QVERIFY(unicode_like::match("a!_c", "a_c", '!'));
        QVERIFY(!unicode_like::match("a!_c", "abc", '!'));
        QVERIFY(unicode_like::match("%!%", "50%", '!'));
    }

    // A pattern made to explode a naive matcher must still answer at once.
    void likeStaysFastOnHostilePatterns()
    {
        const std::string text(20000, 'a');
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!unicode_like::match("%a%a%a%a%a%a%a%a%a%a%b", text));
        QVERIFY(!unicode_like::match(std::string(500, '%') + "_%_%_%b", text));
        QVERIFY(unicode_like::match("%a%a%a%a%a%a%a%a%a%a", text));
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    }

    void likeReplacesTheDatabasesOwn()
    {
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(":memory:", &db), SQLITE_OK);
        QCOMPARE(db::installCaselessLike(db), SQLITE_OK);
        auto ask = [&](const char* sql) {
            sqlite3_stmt* st = nullptr;
            QString result;
            if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
                return QString("error: ") + sqlite3_errmsg(db);
            const int rc = sqlite3_step(st);
            if (rc == SQLITE_ROW)
                result = sqlite3_column_type(st, 0) == SQLITE_NULL
                             ? QString("NULL")
                             : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            else
                result = QString("error: ") + sqlite3_errmsg(db);
            sqlite3_finalize(st);
            return result;
        };
        QCOMPARE(ask("SELECT 'Šabac' LIKE 'š%'"), QString("1"));
        QCOMPARE(ask("SELECT NULL LIKE 'a%'"), QString("NULL"));
        QCOMPARE(ask("SELECT 'a' LIKE NULL"), QString("NULL"));
        QCOMPARE(ask("SELECT 'a_b' LIKE 'a\\_b' ESCAPE '\\'"), QString("1"));
        QVERIFY(ask("SELECT 'a' LIKE 'a' ESCAPE 'xy'").contains("single character"));
        QVERIFY(ask(("SELECT 'a' LIKE '" + std::string(60000, 'a') + "'").c_str()).contains("predugačak"));
        QCOMPARE(ask("SELECT 12 LIKE '1%'"), QString("1"));
        sqlite3_close(db);
    }
};

QTEST_GUILESS_MAIN(ParsersTest)
#include "ParsersTest.moc"
