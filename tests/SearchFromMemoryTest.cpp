// Searches that the list finds in the rows it holds, held against the
// statement itself: random sequences of typing, Backspace, emptying a box,
// "Nova pretraga", saves in the window and other programs' writes, and after
// every step the list (every value of every row, in order), its count and
// the status line compared with what the window's statement gives when run
// on a connection of the test's own.
//
// The number of sequences per register is KOLVARA_STRESS_INPUTS / 10 (600
// when unset), a third of that on a server; they come from a fixed seed.

#include "Sqlite.h"
#include "SqliteEngine.h"
#include "WindowTest.h"

#include "ADOConnection.h"
#include "Exception.h"
#include "PostgresEngine.h"
#include "RowStore.h"
#include "UnicodeLike.h"

#include <QDeadlineTimer>
#include <QTest>

#include <memory>
#include <random>

using namespace window_test;
namespace reg = test_register;

namespace {

// Names in every script of the register and in both cases, with the
// characters a pattern treats specially; empty and missing names too.
const char16_t* const FirstNames[] = {u"Ana", u"ana", u"ANA", u"Đorđe", u"đorđe", u"ĐURO", u"Šime", u"šime",
                                      u"Željko", u"žarko", u"Čedo", u"čeda", u"Ćira", u"Јелена", u"јован",
                                      u"ЈОВАНА", u"Ђурђа", u"Жика", u"Seán", u"O'Neil", u"o'brien", u"Jova",
                                      u"jova", u"JOVAN", u"Petar", u"Pera", u"100%", u"a_b", u"a\\b", u"ß", u""};
const char16_t* const Surnames[] = {u"Petrović", u"petrović", u"PERIĆ", u"Pe", u"Šćepanović", u"šuica",
                                    u"Ђурић", u"ђукић", u"Čolić", u"O'Brien", u"D'Arcy", u"Horvat", u"horvat",
                                    u"Jovanović", u"_x", u"%y", u"x\\y", u"Ñúñez"};
// What a person may type: letters as above, and the pattern characters.
const QString Keys = QString::fromUtf16(u"aAjJoOvVpPeEšŠđĐčČжЖјЈђЂсС'%_\\ ßnNrRhH");
// Cities of the sample, as (country, city); the last one is not there.
const int Cities[][2] = {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {3, 1}, {3, 2}, {1, 9}};

// sql as another program writes it: on a server as a replica writes, so
// that a person may be in a city not there (and the stamp still counts it).
std::string unchecked(const std::string& sql)
{
    return (reg::onServer() ? "SET session_replication_role = replica; " : "") + sql;
}

std::string quoted(const QString& text)
{
    return "'" + QString(text).replace("'", "''").toStdString() + "'";
}

class Register {
public:
    explicit Register(std::uint32_t seed) : m_random(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    QString name(const char16_t* const* pool, std::size_t size)
    {
        QString text = QString::fromUtf16(pool[below(int(size))]);
        for (int i = below(4); i > 0; --i)
            text += Keys[below(int(Keys.size()))];
        return text;
    }
    std::string firstName()
    {
        return below(40) == 0 ? "NULL" : quoted(name(FirstNames, std::size(FirstNames)));
    }
    std::string surname() { return quoted(name(Surnames, std::size(Surnames))); }

    // count persons from number first on, in random cities.
    std::string persons(int first, int count)
    {
        std::string sql;
        for (int i = 0; i < count; ++i) {
            const int* city = Cities[below(int(std::size(Cities)))];
            sql += (i ? "," : "INSERT INTO PODACI (ID, ID_DRZAVA, ID_GRAD, Ime, Prezime) VALUES ")
                   + ("(" + std::to_string(first + i) + "," + std::to_string(city[0]) + "," + std::to_string(city[1])
                      + "," + firstName() + "," + surname() + ")");
        }
        return sql + ";";
    }

private:
    std::mt19937 m_random;
};

// The rows a statement gives on a connection of the test's own, each as
// its seven values; false with the database's message when it fails. On a
// server, through an engine of its own, which asks the server every time.
class Statements {
public:
    Statements()
    {
        if (reg::onServer()) {
            m_server = db::openPostgresEngine(reg::location(registerPath()), 5000, {});
            return;
        }
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open_v2(registerPath().toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        m_file.reset(raw);
        QCOMPARE(db::installCaselessLike(raw), SQLITE_OK);
    }

    bool rows(const std::string& sql, QStringList& rows, QString& error)
    {
        rows.clear();
        return m_server ? serverRows(sql, rows, error) : fileRows(sql, rows, error);
    }

private:
    bool fileRows(const std::string& sql, QStringList& rows, QString& error)
    {
        sqlite3* db = m_file.get();
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &st, nullptr);
        while (rc == SQLITE_OK || rc == SQLITE_ROW) {
            if ((rc = sqlite3_step(st)) != SQLITE_ROW)
                break;
            QStringList values;
            for (int c = 0; c < 7; ++c) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                values << (text ? QString::fromUtf8(text, sqlite3_column_bytes(st, c)) : QString("(null)"));
            }
            rows << values.join('|');
        }
        error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
        return rc == SQLITE_DONE;
    }

    bool serverRows(const std::string& sql, QStringList& rows, QString& error)
    {
        try {
            const auto statement = m_server->prepareRead(sql, {}, true);
            db::ReadPlan plan;
            for (int c = 0; c < 7; ++c) {
                plan.columnOf.push_back(c);
                plan.kinds.push_back(statement->columns()[c].integer ? FieldKind::Integer : FieldKind::Text);
                plan.labels.push_back(statement->columns()[c].name);
            }
            RowStore store;
            store.reset(plan.kinds);
            std::vector<std::int64_t> noRowIds;
            statement->readAll(plan, store, noRowIds);
            for (std::size_t r = 0; r < store.rowCount(); ++r) {
                QStringList values;
                for (std::size_t c = 0; c < 7; ++c)
                    values << (store.isNull(r, c) ? QString("(null)")
                               : plan.kinds[c] == FieldKind::Integer
                                   ? QString::number(store.integer(r, c))
                                   : QString::fromStdString(std::string(store.text(r, c))));
                rows << values.join('|');
            }
            return true;
        } catch (const Exception& failure) {
            error = QString::fromUtf8(failure.what());
            return false;
        }
    }

    SqliteHandle m_file;
    std::unique_ptr<db::Engine> m_server;
};

// Whether the list shows what the statement gives. A server promises no
// order for persons of one country: there, the same persons, country by
// country in the same order.
bool sameList(QStringList shown, QStringList expected)
{
    if (!reg::onServer() || shown == expected)
        return shown == expected;
    if (shown.size() != expected.size())
        return false;
    for (qsizetype r = 0; r < shown.size(); ++r)
        if (shown[r].section('|', 5, 5) != expected[r].section('|', 5, 5))
            return false;
    shown.sort();
    expected.sort();
    return shown == expected;
}

// The rows the window's list holds, in the order it shows them.
QStringList windowRows(TForm1* form)
{
    QStringList rows;
    TADOQuery* list = form->ADOQuery1;
    if (!list->Active())
        return rows;
    for (int r = 0; r < list->displayRowCount(); ++r) {
        QStringList values;
        for (int f = 0; f < 7; ++f)
            values << (list->displayIsNull(r, f) ? QString("(null)")
                                                 : QString::fromStdString(list->displayText(r, f)));
        rows << values.join('|');
    }
    return rows;
}

int sequences()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("KOLVARA_STRESS_INPUTS", &ok);
    // A server's round trips make each step slower there: a third as many.
    return std::max(1, (ok && n > 0 ? n / 10 : 600) / (reg::onServer() ? 3 : 1));
}

// Counts the times the window's connection reads the persons in full: a
// statement on PODACI that the engine runs, not one it only plans.
struct ReadCounter {
    int reads = 0;
    explicit ReadCounter(sqlite3* db) : m_db(db)
    {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &ReadCounter::traced, this);
    }
    ~ReadCounter() { sqlite3_trace_v2(m_db, 0, nullptr, nullptr); }
    static int traced(unsigned, void* self, void* statement, void*)
    {
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
        if (sql && std::string_view(sql).starts_with("SELECT PODACI.ID"))
            ++static_cast<ReadCounter*>(self)->reads;
        return 0;
    }
    sqlite3* m_db;
};

} // namespace

class SearchFromMemoryTest : public QObject {
    Q_OBJECT

private slots:
    void init() { failOnWarnings(); }

    void everyStepListsWhatTheStatementGives_data()
    {
        QTest::addColumn<int>("persons");
        QTest::addColumn<bool>("keys"); // false: a file without keys or indexes
        QTest::addColumn<bool>("stamp"); // false: a server register made before its change stamp
        QTest::addColumn<bool>("background"); // searches typed run in the background
        QTest::newRow("the sample") << 0 << true << true << false;
        QTest::newRow("1,000 persons") << 1000 << true << true << false;
        QTest::newRow("10,000 persons") << 10000 << true << true << false;
        QTest::newRow("1,000 persons, no keys") << 1000 << false << true << false;
        QTest::newRow("1,000 persons, no stamp") << 1000 << true << false << false;
        QTest::newRow("1,000 persons, in the background") << 1000 << true << true << true;
    }

    void everyStepListsWhatTheStatementGives()
    {
        QFETCH(int, persons);
        QFETCH(bool, keys);
        QFETCH(bool, stamp);
        QFETCH(bool, background);
        if (reg::onServer() && !keys)
            QSKIP("a register on a server always has its keys: the tools write it whole");
        if (!reg::onServer() && !stamp)
            QSKIP("a file has no stamp of the register's own");
        Register random(20261207u + std::uint32_t(persons) + keys);
        BoxWatcher boxes;
        const std::string noStamp = "; DROP FUNCTION KOLVARA_COUNT_CHANGE() CASCADE; DROP TABLE KOLVARA_STAMP";
        auto form = openWindow(keys ? reg::Schema::Full : reg::Schema::Converted,
                               unchecked(random.persons(8, persons)) + (stamp ? "" : noStamp));
        form->SearchInBackground = background;
        TEdit* edits[] = {form->Edit1, form->Edit2, form->Edit3, form->Edit4};
        Statements statements;

        int nextId = 8 + persons, steps = 0, written = 0, saved = 0, largest = 0, waited = 0;
        QString last;
        for (int sequence = 0, n = sequences(); sequence < n; ++sequence) {
            for (int step = random.below(12) + 1; step > 0; --step) {
                TEdit* edit = edits[random.below(4)];
                const int action = random.below(100);
                const qsizetype messages = boxes.texts.size();
                if (action < 60) {
                    typeText(edit, QString(Keys[random.below(int(Keys.size()))]));
                    last = "typed into " + edit->objectName();
                } else if (action < 80) {
                    QTest::keyClick(edit, Qt::Key_Backspace);
                    last = "Backspace in " + edit->objectName();
                } else if (action < 84) {
                    retype(edit, QString());
                    last = "emptied " + edit->objectName();
                } else if (action < 94) {
                    // Another program writes between two keystrokes.
                    const int id = 1 + random.below(nextId);
                    const std::string sql[] = {
                        random.persons(nextId++, 1),
                        "UPDATE PODACI SET Ime = " + random.firstName() + " WHERE ID = " + std::to_string(id),
                        "UPDATE PODACI SET Prezime = " + random.surname() + " WHERE ID = " + std::to_string(id),
                        "DELETE FROM PODACI WHERE ID = " + std::to_string(id),
                        "UPDATE GRADOVI SET NAZIV = " + quoted(random.name(FirstNames, 3)) + " WHERE ID_GRAD = "
                            + std::to_string(1 + random.below(2))};
                    reg::exec(registerPath(), unchecked(sql[random.below(5)]));
                    ++written;
                    typeText(edit, QString(Keys[random.below(int(Keys.size()))]));
                    last = "another program wrote, then typed into " + edit->objectName();
                } else if (action < 97 && form->ADOQuery1->RecordCount() > 0) {
                    // The window saves a change of the current person.
                    retype(form->DBEdit1, random.name(FirstNames, std::size(FirstNames)));
                    click(form.get(), nbPost);
                    ++saved;
                    last = "saved the current person";
                } else {
                    QTest::mouseClick(form->Button1, Qt::LeftButton);
                    last = "Nova pretraga";
                }
                ++steps;
                waited += form->ADOQuery1->readingAhead();
                for (QDeadlineTimer limit(20000); form->ADOQuery1->readingAhead() && !limit.hasExpired();)
                    QTest::qWait(1);
                QVERIFY(!form->ADOQuery1->readingAhead());

                const std::string sql = form->ADOQuery1->SQL()[0];
                QStringList expected;
                QString error;
                const QString where = QString("step %1 (%2; boxes \"%3\" \"%4\" \"%5\" \"%6\")")
                                          .arg(steps)
                                          .arg(last, edits[0]->Text(), edits[1]->Text(), edits[2]->Text(),
                                               edits[3]->Text());
                if (!statements.rows(sql, expected, error)) {
                    QVERIFY2(!form->ADOQuery1->Active() && boxes.texts.size() == messages + 1,
                             qPrintable(where + ": the statement fails with " + error));
                    continue;
                }
                const QStringList shown = windowRows(form.get());
                if (!sameList(shown, expected)) {
                    qsizetype r = 0;
                    while (shown.value(r) == expected.value(r))
                        ++r;
                    QFAIL(qPrintable(where + QString(": %1 rows shown, the statement gives %2; row %3 shown \"%4\", "
                                                     "by the statement \"%5\"")
                                                 .arg(shown.size())
                                                 .arg(expected.size())
                                                 .arg(r)
                                                 .arg(shown.value(r), expected.value(r))));
                }
                const int count = int(expected.size());
                QVERIFY2(form->ADOQuery1->RecordCount() == count && form->DBGrid1->model()->rowCount() == count,
                         qPrintable(where));
                if (form->ADOQuery1->State() == dsBrowse)
                    QVERIFY2(form->StatusBar1->SimpleText().endsWith(
                                 QString("[%1/%2]").arg(count ? form->ADOQuery1->RecNo() : 0).arg(count)),
                             qPrintable(where + ": " + form->StatusBar1->SimpleText()));
                largest = std::max(largest, count);
            }
            if (random.below(2))
                QTest::mouseClick(form->Button1, Qt::LeftButton);
        }
        qInfo("searches from memory, %s: %d sequences, %d steps (%d waited for in the background), %d writes of "
              "another program, %d saves in the window, the longest list %d rows; every list as the statement "
              "gives it",
              QTest::currentDataTag(), sequences(), steps, waited, written, saved, largest);
        QCOMPARE(waited > 0, background);
        QCOMPARE(boxes.texts.size(), 0);
    }

    // The persons are read in full only when the register may have changed:
    // by another program's commit or a save in the window (whose own search
    // reads them); else a search is found in the rows held. A register whose statement the engine must
    // sort is read at every search.
    void personsAreReadAgainOnlyAfterAChange_data()
    {
        QTest::addColumn<QString>("between");
        QTest::addColumn<bool>("keys");
        QTest::addColumn<int>("reads");
        QTest::newRow("nothing") << "" << true << 0;
        QTest::newRow("another program's commit") << "UPDATE DRZAVE SET NAZIV = NAZIV" << true << 1;
        QTest::newRow("another program's rolled-back write")
            << "BEGIN; DELETE FROM PODACI; ROLLBACK" << true << 0;
        QTest::newRow("a save in the window") << "save" << true << 1;
        QTest::newRow("a register without keys") << "" << false << 3;
        QTest::newRow("a register without keys, by surname") << "" << false << 0;
    }

    void personsAreReadAgainOnlyAfterAChange()
    {
        SKIP_ON_SERVER("counts a file's reads; on a server, another desk's lock tells (ConcurrencyTest)");
        QFETCH(QString, between);
        QFETCH(bool, keys);
        QFETCH(int, reads);
        auto form = openWindow(keys ? reg::Schema::Full : reg::Schema::Converted);
        // Country and surname: the same beginning, "Sr" and "Šć".
        TEdit* box = QString(QTest::currentDataTag()).endsWith("without keys") ? form->Edit3 : form->Edit2;
        typeText(box, box == form->Edit3 ? "S" : "Š");
        const ReadCounter counter(db::sqliteHandle(form->ADOConnection1->engine()));
        if (between == "save") {
            retype(form->DBEdit1, "Anica");
            click(form.get(), nbPost);
        } else if (!between.isEmpty()) {
            reg::exec(registerPath(), between.toStdString());
        }
        typeText(box, box == form->Edit3 ? "r" : "ć");
        QCOMPARE(form->ADOQuery1->RecordCount(), box == form->Edit3 ? 2 : 1);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(counter.reads, reads);
        QCOMPARE(form->ADOQuery1->RecordCount(), 6);
    }

    // After another program's commit a search typed is read in the
    // background, and those rows are the ones shown: the window's own
    // connection reads nothing, with conditions or without.
    void aListReadInTheBackgroundIsNotReadAgain_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rows");
        QTest::newRow("a letter more") << "Šć" << 1;
        QTest::newRow("the box emptied") << "" << 6;
    }

    void aListReadInTheBackgroundIsNotReadAgain()
    {
        SKIP_ON_SERVER("counts a file's reads");
        QFETCH(QString, text);
        QFETCH(int, rows);
        auto form = openWindow();
        form->SearchInBackground = true;
        typeText(form->Edit2, "Š");
        QTRY_VERIFY(!form->ADOQuery1->readingAhead());
        const ReadCounter counter(db::sqliteHandle(form->ADOConnection1->engine()));
        reg::exec(registerPath(), "UPDATE DRZAVE SET NAZIV = NAZIV");
        retype(form->Edit2, text);
        QVERIFY(form->ADOQuery1->readingAhead());
        QTRY_VERIFY(!form->ADOQuery1->readingAhead());
        QCOMPARE(form->ADOQuery1->RecordCount(), rows);
        QCOMPARE(counter.reads, 0);
    }
};

WINDOW_TEST_MAIN(SearchFromMemoryTest)
#include "SearchFromMemoryTest.moc"
