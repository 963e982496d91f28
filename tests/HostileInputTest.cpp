// The main window fed with hostile and odd input: apostrophes, quotes,
// pattern characters, SQL fragments, control characters, very long texts and
// every script the register holds, set and typed into the four search boxes
// and pasted and typed into the detail panel. No search may leave its
// pattern, show more than one message, or list other persons than the
// register holds for those texts; no refused save may change the file; a
// saved name is exactly what its box showed.
//
// The number of generated texts per search box is KOLVARA_STRESS_INPUTS
// (10000 when unset); the texts come from a fixed seed, so every run feeds
// the same ones.

#include "ServerConnection.h"
#include "Sqlite.h"
#include "SqliteEngine.h"
#include "WindowTest.h"

#include "UnicodeLike.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMap>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

using namespace window_test;
namespace reg = test_register;

namespace {

// ------------------------------------------------------------------ texts

QString u16(const char16_t* text)
{
    return QString::fromUtf16(text);
}

// Pieces a hostile text is made of.
const char16_t* const Fragments[] = {
    u"'", u"''", u"'''", u"\"", u"%", u"_", u"\\", u";", u"'; DROP TABLE PODACI; --", u"' OR '1'='1",
    u"' OR 1=1 --", u"/*", u"*/", u"--", u"%'", u"'%", u"\\'", u"\\%", u"' ESCAPE '\\", u"'); DELETE FROM PODACI; --",
    u"' UNION SELECT 1,2,3,4,5,6,7 --", u"\" OR \"\"=\"", u"NULL", u"' || '", u"?", u"?1", u":ime", u"@x", u"$x",
    u"[", u"]", u"`", u"char(39)", u"x'27'", u"ORDER BY 1", u"; VACUUM;", u"ATTACH 'x' AS y", u"PRAGMA foreign_keys=OFF",
    u"\t", u"\n", u"\r\n", u"\r", u"\x01", u"\x08", u"\x1b", u"\x1f", u"\x7f", u" ", u"  ",
    // every script of the register, Irish names with their apostrophe
    u"ĐđŠšČčĆćŽž", u"Đ", u"đ", u"Š", u"š", u"Č", u"č", u"Ć", u"ć", u"Ž", u"ž", u"Ј", u"Ђ", u"Ж", u"јђж", u"Јелена",
    u"Ђурић", u"Жабљак", u"O'Brien", u"O'", u"Ó Súilleabháin", u"Ní Bhriain", u"Mac Giolla Phádraig", u"D'Arcy",
    // letters whose case folds oddly, invisible and unusual characters
    u"ß", u"ẞ", u"İ", u"ı", u"ς", u"Σ", u"ǅ", u"ﬀ", u"\u212A", u"\u212B", u"\u00A0", u"\u200B", u"\u200F", u"\u202E",
    u"\uFEFF", u"\uFFFD", u"e\u0301", u"😀", u"𝕬", u"中文", u"العربية"};

// The values of each search box's column, for texts that find someone.
const char16_t* const Values[4][7] = {
    {u"Đorđe", u"Ana", u"Marko", u"Željko", u"Јелена", u"Seán", u"Nema"},
    {u"Šćepanović", u"Petrović", u"Horvat", u"Čolić", u"Ђурић", u"O'Brien", u"Grada"},
    {u"Srbija", u"Hrvatska", u"Crna Gora", u"Srbija", u"Hrvatska", u"Crna Gora", u"Srbija"},
    {u"Beograd", u"Šabac", u"Niš", u"Zagreb", u"Đakovo", u"Podgorica", u"Жабљак"}};

// Characters a keyboard can type into a search box.
const QString Typable = u16(u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 '\"%_\\;-/*=()!?.,:@#$&|<>[]{}~`^+"
                            u"ĐđŠšČčĆćŽžЈЂЖјђжеланрићуОБ");

// The longest text a search box holds (QLineEdit's own limit).
constexpr int BoxLimit = 32767;

// text shortened to length UTF-16 code units, never inside a surrogate pair.
QString cut(QString text, int length)
{
    if (text.size() > length) {
        text.truncate(length);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

// Makes the texts from a fixed seed: always the same ones, in the same order.
class HostileTexts {
public:
    explicit HostileTexts(std::uint32_t seed) : m_random(seed) {}

    int below(int n) { return static_cast<int>(m_random() % static_cast<std::uint32_t>(n)); }

    // A text for the search box box (0 to 3); longest in characters.
    QString next(int box, int longest)
    {
        const int kind = below(100);
        if (kind < 30)
            return nearAValue(box);
        if (kind < 80)
            return mixture(1 + below(8));
        if (kind < 90)
            return controls();
        return lengthy(std::min(longest, 1000 + below(7000)));
    }

    // A short text of characters a keyboard types.
    QString typable()
    {
        QString text;
        for (int n = 1 + below(10); n > 0; --n)
            text += Typable[below(Typable.size())];
        return text;
    }

private:
    // The beginning of a value of the box's column, in any letter case, at
    // times with a pattern character or hostile tail.
    QString nearAValue(int box)
    {
        const QString value = u16(Values[box][below(7)]);
        QString text = value.left(1 + below(value.size()));
        for (QChar& c : text)
            if (below(3) == 0)
                c = below(2) ? c.toUpper() : c.toLower();
        switch (below(6)) {
        case 0: text[below(text.size())] = '_'; break;
        case 1: text.insert(below(text.size() + 1), '%'); break;
        case 2: text += u16(Fragments[below(std::size(Fragments))]); break;
        default: break;
        }
        return text;
    }

    QString mixture(int pieces)
    {
        QString text;
        while (pieces-- > 0) {
            text += u16(Fragments[below(std::size(Fragments))]);
            if (below(40) == 0)
                text += QChar(below(2) ? 0xD800 : 0xDFFF); // half of a character
        }
        return text;
    }

    // Control characters among letters (U+0000 has a test of its own).
    QString controls()
    {
        QString text;
        for (int n = 1 + below(12); n > 0; --n) {
            const int r = below(4);
            text += r == 0 ? QChar(0x7F) : r == 1 ? Typable[below(Typable.size())] : QChar(1 + below(0x1F));
        }
        return text;
    }

    // Some thousands of characters: runs of pattern characters, a name and
    // a tail, or pieces over and over.
    QString lengthy(int length)
    {
        QString text;
        switch (below(5)) {
        case 0: text = QString(length, '%'); break;
        case 1: text = QString(length, '_'); break;
        case 2: text = nearAValue(below(4)) + QString(length, below(2) ? '%' : '\''); break;
        default:
            while (text.size() < length)
                text += u16(Fragments[below(std::size(Fragments))]);
        }
        return cut(text, length);
    }

    std::mt19937 m_random;
};

// Texts around the longest pattern the program's LIKE takes, and beyond it
// up to as long as a box holds. A box's text and the "%" after it make the
// pattern; the apostrophes written twice in the statement do not count.
QList<QString> oversizedTexts()
{
    constexpr int longest = int(unicode_like::MaxPatternLength);
    const QString zhe = u16(u"Ж"); // two bytes
    const QString smile = u16(u"😀"); // two UTF-16 code units, four bytes
    QString mixed;
    while (mixed.size() < 30000)
        mixed += u16(u"Ђурић O'Brien ' OR '1'='1 ");
    return {
        zhe.repeated((longest - 1) / 2) + QString((longest - 1) % 2, 'a'), // the pattern just fits
        zhe.repeated(longest / 2) + QString(longest % 2, 'a'),             // one byte too many
        QString(BoxLimit, '\''),                 // twice as long in its quoted form, still taken
        "%" + smile.repeated(BoxLimit / 2),      // 65,533 bytes
        cut(mixed, 30000),                       // about 36,000 bytes, taken
        cut(u16(u"Đorđe") + zhe.repeated(BoxLimit), BoxLimit), // a name, then 65,000 bytes more
    };
}

// A text shown in a report: control and format characters and halves of characters
// written out, long ones cut.
QString describe(const QString& text)
{
    QString shown;
    const QString start = text.left(50);
    for (int i = 0; i < start.size(); ++i) {
        const QChar c = start[i];
        const bool whole = c.isHighSurrogate() ? i + 1 < text.size() && text[i + 1].isLowSurrogate()
                         : c.isLowSurrogate()  ? i > 0 && text[i - 1].isHighSurrogate()
                                               : true;
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Format || !whole)
            shown += QString("\\u%1").arg(c.unicode(), 4, 16, QChar('0'));
        else
            shown += c;
    }
    return QString("\"%1\"%2 (%3 characters, %4 bytes)")
        .arg(shown, text.size() > 50 ? "..." : "")
        .arg(text.size())
        .arg(text.toUtf8().size());
}

// What a one-line box keeps of text: no control character (U+0000 to U+001F
// and U+007F), a run of tabs and line breaks made one blank, and no half of
// a character.
QString asLine(const QString& text)
{
    const auto isBreak = [](char16_t c) { return std::u16string_view(u"\t\n\v\f\r").find(c) != std::u16string_view::npos; };
    // Halves of characters and other control characters out first, then
    // each run of breaks made one blank.
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            line += text.mid(i++, 2);
        else if (!QChar::isSurrogate(c) && (c >= 0x20 || isBreak(c)) && c != 0x7F)
            line += QChar(c);
    }
    QString joined;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!isBreak(line[i].unicode()))
            joined += line[i];
        else if (i == 0 || !isBreak(line[i - 1].unicode()))
            joined += QLatin1Char(' ');
    }
    return joined;
}

// The last three UTF-16 code units of text, written out.
QString ending(const QString& text)
{
    QStringList units;
    for (QChar c : text.right(3))
        units << QString("U+%1").arg(c.unicode(), 4, 16, QChar('0')).toUpper();
    return units.join(' ');
}

// Types text key by key, a character outside the basic plane as one key
// (as an input method sends it), the rest as typeText does.
void typeCharacters(QWidget* widget, const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size()) {
            const QString pair = text.mid(i++, 2);
            QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, pair, Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, pair, Qt::NoModifier);
        } else {
            typeText(widget, QString(text[i]));
        }
    }
}

// Puts text on the clipboard and pastes it over the box's whole text.
void paste(QWidget* box, const QString& text)
{
    QApplication::clipboard()->setText(text);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

// A column's bytes in hexadecimal, in the register's own SQL.
std::string hexOf(const std::string& column)
{
    return reg::onServer() ? "encode(convert_to(" + column + "::text, 'UTF8'), 'hex')" : "hex(" + column + ")";
}

// A text column of one person as the register holds it, NUL characters included.
QString stored(int id, const char* column)
{
    const QString hex
        = reg::value(registerPath(), "SELECT " + hexOf(column) + " FROM PODACI WHERE ID = " + std::to_string(id));
    return QString::fromUtf8(QByteArray::fromHex(hex.toLatin1()));
}

// Every person but one, as the register holds them.
QString othersThan(int id)
{
    const std::string row = "ID || '/' || ID_DRZAVA || '/' || ID_GRAD || '/' || " + hexOf("Ime") + " || '/' || "
                          + hexOf("Prezime");
    return reg::value(registerPath(), (reg::onServer() ? "SELECT string_agg(" + row + ", ';' ORDER BY ID)"
                                                       : "SELECT group_concat(" + row + ", ';')")
                                          + " FROM PODACI WHERE ID <> " + std::to_string(id));
}

// ------------------------------------------------------------ the searches

struct StatementCloser {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using db::ServerConnection;
using db::ServerResult;

// The persons a search must find, with the box texts bound as parameters,
// on each engine as that engine's LIKE matches: the file's own, and the
// server's with no escape character, as the server engine runs patterns.
const char* const PersonsByParameters =
    "SELECT PODACI.ID FROM PODACI, DRZAVE, GRADOVI"
    " WHERE DRZAVE.ID = GRADOVI.ID_DRZAVA AND GRADOVI.ID_DRZAVA = PODACI.ID_DRZAVA"
    " AND GRADOVI.ID_GRAD = PODACI.ID_GRAD"
    " AND (?1 = '' OR PODACI.Ime LIKE ?1 || '%') AND (?2 = '' OR PODACI.Prezime LIKE ?2 || '%')"
    " AND (?3 = '' OR DRZAVE.Naziv LIKE ?3 || '%') AND (?4 = '' OR GRADOVI.Naziv LIKE ?4 || '%')"
    " ORDER BY PODACI.ID";
const char* const PersonsByParametersOnServer =
    "SELECT PODACI.ID FROM PODACI, DRZAVE, GRADOVI"
    " WHERE DRZAVE.ID = GRADOVI.ID_DRZAVA AND GRADOVI.ID_DRZAVA = PODACI.ID_DRZAVA"
    " AND GRADOVI.ID_GRAD = PODACI.ID_GRAD"
    " AND ($1 = '' OR PODACI.Ime LIKE $1 || '%' ESCAPE '') AND ($2 = '' OR PODACI.Prezime LIKE $2 || '%' ESCAPE '')"
    " AND ($3 = '' OR DRZAVE.Naziv LIKE $3 || '%' ESCAPE '') AND ($4 = '' OR GRADOVI.Naziv LIKE $4 || '%' ESCAPE '')"
    " ORDER BY PODACI.ID";

// What a search must give, worked out on a connection of the test's own
// with the box texts bound as parameters, and what the window showed.
class SearchChecker {
public:
    struct Tally {
        int inputs = 0;
        int typed = 0;
        int searches = 0;
        int failedWithOneMessage = 0;
        int altered = 0;        // the statement was not the one built, or read as more than its pattern
        int wrongList = 0;      // other persons listed, or a message where the search should run
        int manyMessages = 0;   // more than one message for one search
        QMap<QString, int> messages;
        QMap<QString, QStringList> messageInputs; // the first few inputs of each
        QStringList problems;   // the first few, with their inputs
    };

    SearchChecker()
    {
        if (reg::onServer()) {
            m_server = ServerConnection(reg::location(registerPath()).toStdString());
            if (!m_server.connected())
                qFatal("cannot connect to the register: %s", m_server.reason().c_str());
            m_server.exec("SET default_transaction_read_only = on");
            return;
        }
        sqlite3* raw = nullptr;
        if (sqlite3_open_v2(registerPath().toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            qFatal("cannot open the register: %s", sqlite3_errmsg(raw));
        m_db.reset(raw);
        if (db::installCaselessLike(raw) != SQLITE_OK)
            qFatal("cannot install LIKE: %s", sqlite3_errmsg(raw));
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(raw, PersonsByParameters, -1, &st, nullptr) != SQLITE_OK)
            qFatal("%s", sqlite3_errmsg(raw));
        m_persons.reset(st);
    }

    // The statement the window must run for these box texts: the base,
    // then on a fourth line one clause per filled box with its apostrophes
    // written twice, then the ordering.
    static QByteArray expectedStatement(const QString (&texts)[4])
    {
        static const QString order = "ORDER BY DRZAVE.Naziv";
        static const QString base = QString::fromStdString(reg::PersonsStatement).chopped(order.size());
        static const char* const prefixes[4] = {" AND PODACI.Ime LIKE '", " AND PODACI.Prezime LIKE '",
                                                "AND DRZAVE.Naziv LIKE '", "AND GRADOVI.Naziv LIKE '"};
        QString clauses;
        for (int i = 0; i < 4; ++i)
            if (!texts[i].isEmpty())
                clauses += prefixes[i] + QString(texts[i]).replace("'", "''") + "%'";
        return (base + (clauses.isEmpty() ? QString() : "\n" + clauses) + order).toUtf8();
    }

    // Whether the database reads statement whole as one query of the seven
    // columns, with no parameter and nothing after it: no text left its pattern.
    bool readsAsOneQuery(const QByteArray& statement) const
    {
        if (m_server.get()) {
            // The server prepares one statement at most, and writes nothing in a read-only session.
            if (m_server.prepare(statement.toStdString(), {}).failed())
                return false;
            const ServerResult described = m_server.describePrepared();
            return described.columns() == 7 && PQnparams(described.get()) == 0;
        }
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(m_db.get(), statement.constData(), int(statement.size()), &raw, &tail);
        std::unique_ptr<sqlite3_stmt, StatementCloser> st(raw);
        if (rc != SQLITE_OK || !raw || sqlite3_column_count(raw) != 7 || sqlite3_bind_parameter_count(raw) != 0
            || !sqlite3_stmt_readonly(raw))
            return false;
        for (const char* end = statement.constData() + statement.size(); tail < end; ++tail)
            if (!std::strchr(" \t\r\n", *tail))
                return false;
        return true;
    }

    // The persons these texts find, or the database's message.
    bool persons(const QString (&texts)[4], QList<int>& ids, QString& error) const
    {
        ids.clear();
        if (m_server.get()) {
            QByteArray utf8[4];
            const char* values[4];
            for (int i = 0; i < 4; ++i) {
                utf8[i] = texts[i].toUtf8();
                values[i] = utf8[i].constData();
            }
            const ServerResult result = m_server.exec(PersonsByParametersOnServer, {values, values + 4});
            if (result.failed()) {
                error = QString::fromStdString(result.field(PG_DIAG_MESSAGE_PRIMARY));
                return false;
            }
            for (int r = 0; r < result.rows(); ++r)
                ids << std::atoi(result.value(r, 0));
            return true;
        }
        sqlite3_stmt* st = m_persons.get();
        sqlite3_reset(st);
        for (int i = 0; i < 4; ++i) {
            const QByteArray utf8 = texts[i].toUtf8();
            sqlite3_bind_text(st, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            ids << sqlite3_column_int(st, 0);
        if (rc != SQLITE_DONE) {
            error = QString::fromUtf8(sqlite3_errmsg(m_db.get()));
            sqlite3_reset(st);
            return false;
        }
        return true;
    }

    // Checks the search the window has just run; messagesBefore is how many
    // messages the watcher had seen before the change.
    void check(TForm1* form, const BoxWatcher& boxes, qsizetype messagesBefore, const QString& input)
    {
        ++tally.searches;
        const QString texts[4] = {form->Edit1->Text(), form->Edit2->Text(), form->Edit3->Text(),
                                  form->Edit4->Text()};
        const QByteArray expected = expectedStatement(texts);
        const TSQLText& sql = form->ADOQuery1->SQL();
        if (sql.Count() != 1 || QByteArray::fromStdString(sql[0]) != expected || !readsAsOneQuery(expected)) {
            ++tally.altered;
            problem("statement altered", texts);
        }

        const qsizetype shown = boxes.texts.size() - messagesBefore;
        if (shown > 1) {
            ++tally.manyMessages;
            problem(QString("%1 messages").arg(shown), texts);
        }
        QList<int> listed;
        QAbstractItemModel* model = form->DBGrid1->model();
        for (int r = 0; r < model->rowCount(); ++r)
            listed << model->index(r, 0).data().toInt();
        std::sort(listed.begin(), listed.end());

        QList<int> ids;
        QString error;
        const bool runs = persons(texts, ids, error);
        const bool open = form->ADOQuery1->Active();
        if (runs) {
            if (!open || shown != 0 || listed != ids) {
                ++tally.wrongList;
                problem(shown ? "message \"" + boxes.texts.last() + "\" for a search that runs" : "other persons listed",
                        texts);
            }
        } else if (open || shown != 1 || boxes.texts.last() != error || !listed.isEmpty()) {
            ++tally.wrongList;
            problem("the database refuses it with \"" + error + "\", the window did otherwise", texts);
        } else {
            ++tally.failedWithOneMessage;
            if (++tally.messages[error] <= 4)
                tally.messageInputs[error] << describe(input);
        }
    }

    Tally tally;

private:
    void problem(const QString& what, const QString (&texts)[4])
    {
        if (tally.problems.size() >= 8)
            return;
        QStringList boxes;
        for (int i = 0; i < 4; ++i)
            if (!texts[i].isEmpty())
                boxes << QString("Edit%1 %2").arg(i + 1).arg(describe(texts[i]));
        tally.problems << what + ": " + (boxes.isEmpty() ? QString("all boxes empty") : boxes.join(", "));
    }

    SqliteHandle m_db;
    std::unique_ptr<sqlite3_stmt, StatementCloser> m_persons;
    mutable ServerConnection m_server;
};

int stressInputs()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("KOLVARA_STRESS_INPUTS", &ok);
    return ok && n > 0 ? n : 10000;
}

} // namespace

class HostileInputTest : public QObject {
    Q_OBJECT

private slots:
    void init() { failOnWarnings(); }

    // Box -1: each text goes into one of the four boxes at random, the
    // others keeping theirs, so that hostile texts stand side by side.
    void searchBoxesKeepEveryTextInsideItsPattern_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<int>("inputs");
        const int n = stressInputs();
        QTest::newRow("Edit1") << 0 << n;
        QTest::newRow("Edit2") << 1 << n;
        QTest::newRow("Edit3") << 2 << n;
        QTest::newRow("Edit4") << 3 << n;
        QTest::newRow("all four") << -1 << std::max(1, n / 4);
    }

    void searchBoxesKeepEveryTextInsideItsPattern()
    {
        QFETCH(int, box);
        QFETCH(int, inputs);
        QElapsedTimer clock;
        clock.start();
        BoxWatcher boxes;
        auto form = openWindow();
        const QByteArray before = reg::digest(registerPath());
        SearchChecker checker;
        TEdit* edits[] = {form->Edit1, form->Edit2, form->Edit3, form->Edit4};
        HostileTexts texts(20240611u + std::uint32_t(box + 1));

        // The texts around the longest pattern go first, into one box alone.
        // Side by side the texts stay well under that length, so that each
        // search either runs or fails whatever order the database tests its
        // conditions in.
        QList<QString> queue = box < 0 ? QList<QString>{} : oversizedTexts();
        for (int i = 0; i < inputs; ++i) {
            const int target = box < 0 ? texts.below(4) : box;
            TEdit* edit = edits[target];
            const bool typed = i % 25 == 7;
            QString input = !queue.isEmpty() ? queue.takeFirst()
                          : typed           ? texts.typable()
                                            : texts.next(target, box < 0 ? 8000 : BoxLimit);
            if (asLine(input) == edit->Text())
                input += ' '; // the same text again is no change, and runs nothing
            ++checker.tally.inputs;
            if (typed) {
                ++checker.tally.typed;
                qsizetype messages = boxes.texts.size();
                if (!edit->Text().isEmpty()) {
                    edit->setText(QString());
                    checker.check(form.get(), boxes, messages, QString());
                }
                for (QChar c : input) {
                    const QString was = edit->Text();
                    messages = boxes.texts.size();
                    typeText(edit, QString(c));
                    QVERIFY2(edit->Text() == was + c, qPrintable("the box did not take " + describe(QString(c))));
                    checker.check(form.get(), boxes, messages, edit->Text());
                }
            } else {
                const qsizetype messages = boxes.texts.size();
                edit->setText(input);
                QVERIFY2(edit->Text() == asLine(input), qPrintable("the box did not keep " + describe(input)));
                checker.check(form.get(), boxes, messages, input);
            }
            if (TEdit* other = edits[texts.below(4)]; box < 0 && texts.below(16) == 0 && !other->Text().isEmpty()) {
                const qsizetype messages = boxes.texts.size();
                other->setText(QString());
                checker.check(form.get(), boxes, messages, QString());
            }
            // Let the window paint what it now shows, now and then.
            if (i % 64 == 0 || input.size() > 1000)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();

        const SearchChecker::Tally& t = checker.tally;
        const QString name = box < 0 ? QString("search boxes Edit1-Edit4 together") : "search box " + edits[box]->objectName();
        qInfo("%s: %d inputs, %d failed with one message, %d altered (%d typed key by key; %d searches, "
              "%d listed other persons, %d with more than one message; %.1f s)",
              qPrintable(name), t.inputs, t.failedWithOneMessage, t.altered, t.typed, t.searches, t.wrongList,
              t.manyMessages, clock.elapsed() / 1000.0);
        for (auto m = t.messages.cbegin(); m != t.messages.cend(); ++m)
            qInfo("  message \"%s\" for %d inputs: %s", qPrintable(m.key()), m.value(),
                  qPrintable(t.messageInputs[m.key()].join(", ")));
        for (const QString& p : t.problems)
            qWarning("  %s", qPrintable(p));

        QCOMPARE(t.altered, 0);
        QCOMPARE(t.manyMessages, 0);
        QCOMPARE(t.wrongList, 0);
        QCOMPARE(reg::digest(registerPath()), before);
        // The window still searches as before.
        for (TEdit* edit : edits)
            edit->setText(QString());
        QCOMPARE(form->DBGrid1->model()->rowCount(), 6);
        QVERIFY(form->isVisible());
    }

    // Control characters, U+0000 among them, can reach a search box by
    // pasting. No SQL text can carry U+0000: the box drops control
    // characters, and the search runs on the rest without a message.
    void controlCharactersNeverReachTheStatement_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::newRow("Edit1") << 0 << QString("Ana") + QChar(0) + "' OR '1'='1";
        QTest::newRow("Edit2") << 1 << QString(QChar(0));
        QTest::newRow("Edit3") << 2 << QString("Srb") + QChar(0) + "%";
        QTest::newRow("Edit4") << 3 << QString("'") + QChar(0) + "'; DROP TABLE PODACI; --";
        QTest::newRow("line break and tab") << 0 << QString("A\tn\r\na");
    }

    void controlCharactersNeverReachTheStatement()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        BoxWatcher boxes;
        auto form = openWindow();
        const QByteArray before = reg::digest(registerPath());
        SearchChecker checker;
        TEdit* edits[] = {form->Edit1, form->Edit2, form->Edit3, form->Edit4};
        paste(edits[box], text);
        QCOMPARE(edits[box]->Text(), asLine(text));
        QVERIFY(!edits[box]->Text().contains(QChar(0)));
        checker.check(form.get(), boxes, 0, text);
        for (const QString& p : checker.tally.problems)
            qWarning("  %s", qPrintable(p));
        QVERIFY2(boxes.texts.isEmpty(), qPrintable("message: " + boxes.texts.join(" | ")));
        QCOMPARE(checker.tally.altered, 0);
        QCOMPARE(checker.tally.wrongList, 0);
        QCOMPARE(reg::digest(registerPath()), before);
    }

    // Names longer than the field takes: the box keeps the beginning, at
    // most the field's 255 characters, and a save stores exactly what the
    // box shows.
    void longNamesAreSavedAsTheBoxShowsThem_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<int>("atCursor"); // -1: over the whole text, else at that place in the name
        QTest::addColumn<QString>("text");
        const QString latin = u16(u"Đorđe-Šćepanović Čolić-Žarko ");
        const QString cyrillic = u16(u"Јелена Ђурић Жабљак ");
        QTest::newRow("first name, 300 letters pasted") << 0 << false << -1 << latin.repeated(11).left(300);
        QTest::newRow("surname, 255 letters typed") << 1 << true << -1 << cyrillic.repeated(13).left(255);
        QTest::newRow("surname, 260 letters typed") << 1 << true << -1 << latin.repeated(9).left(260);
        QTest::newRow("first name, 5000 pasted into the name")
            << 0 << false << 2 << (cyrillic + "O'Brien ").repeated(200).left(5000);
        QTest::newRow("surname, 400 apostrophes pasted") << 1 << false << -1 << QString(400, '\'');
        QTest::newRow("first name, 60000 characters pasted")
            << 0 << false << -1 << u16(u"Ní Bhriain ' OR '1'='1 ").repeated(3000).left(60000);
        QTest::newRow("first name, 200 letters outside the basic plane pasted")
            << 0 << false << -1 << u16(u"𝕬").repeated(200);
        QTest::newRow("surname, 200 emoji typed") << 1 << true << -1 << u16(u"😀").repeated(200);
    }

    void longNamesAreSavedAsTheBoxShowsThem()
    {
        QFETCH(int, box);
        QFETCH(bool, typed);
        QFETCH(int, atCursor);
        QFETCH(QString, text);
        BoxWatcher boxes;
        auto form = openWindow();
        QVERIFY(form->ADOQuery1->Locate("ID", 5, {}));
        const QString others = othersThan(5);
        TDBEdit* edit = box == 0 ? form->DBEdit1 : form->DBEdit2;
        const char* column = box == 0 ? "Ime" : "Prezime";
        const QString name = edit->Text();
        edit->setFocus();
        if (atCursor >= 0) {
            QApplication::clipboard()->setText(text);
            edit->setCursorPosition(atCursor);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        } else if (typed) {
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            typeCharacters(edit, text);
        } else {
            paste(edit, text);
        }
        const QString shown = edit->Text();
        const auto characters = [](const QString& s) { return s.toUcs4().size(); };
        QVERIFY2(characters(shown) <= 255, qPrintable(QString::number(characters(shown))));
        if (atCursor >= 0) {
            // The name stays whole around what the box took of the paste.
            QCOMPARE(shown.size(), 255);
            QCOMPARE(shown.left(atCursor) + shown.right(name.size() - atCursor), name);
            QCOMPARE(shown.mid(atCursor, 255 - name.size()), text.left(255 - name.size()));
        } else {
            QVERIFY(text.startsWith(shown)); // the beginning, nothing else lost
            if (characters(text) == text.size()) // letters of the basic plane: as many as the field takes
                QCOMPARE(shown.size(), std::min<qsizetype>(text.size(), 255));
        }
        click(form.get(), nbPost); // a message would be shown and answered before the click returns
        QCOMPARE(boxes.texts, QStringList());
        const QString inFile = stored(5, column);
        QVERIFY2(inFile == shown, qPrintable(QString("the file holds %1 code units ending in %2, the box showed %3 ending in %4")
                                                 .arg(inFile.size()).arg(ending(inFile)).arg(shown.size()).arg(ending(shown))));
        QCOMPARE(edit->Text(), shown); // the window reads back what it saved
        QCOMPARE(othersThan(5), others);
    }

    // Names with every odd character saved and read back exactly, but for
    // control characters, which a line does not hold.
    void oddNamesAreSavedAndReadBackExactly_data()
    {
        QTest::addColumn<bool>("inserting");
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<QString>("surname");
        QTest::newRow("apostrophes") << false << "O'Brien''" << "'";
        QTest::newRow("statement fragments") << false << "'; DROP TABLE PODACI; --" << "' OR '1'='1";
        QTest::newRow("comments and quotes") << false << "/* \"x\" */" << "-- x";
        QTest::newRow("pattern characters") << false << "%_\\%" << "\\'_%";
        QTest::newRow("control characters")
            << false << QString("a\tb\nc\r\nd") << QString("\x01\x1b\x1f") + QChar(0x7F);
        QTest::newRow("NUL character") << false << QString("Ana") + QChar(0) + "Marija" << QString(QChar(0));
        QTest::newRow("Latin with diacritics") << false << u16(u"ĐđŠšČčĆćŽž") << u16(u"Šćepanović-Đurđević");
        QTest::newRow("Cyrillic") << false << u16(u"ЈЂЖ јђж Љиљана") << u16(u"Ђорђевић-Жујовић");
        QTest::newRow("Irish") << false << u16(u"Seán Ó Súilleabháin") << u16(u"Ní Bhriain O'Neill");
        QTest::newRow("invisible and joining")
            << false << u16(u"e\u0301\u200B\u200F\u202E\uFEFF") << u16(u"\u00A0ß ẞ İ ı ς ǅ ﬀ \u212A");
        QTest::newRow("outside the basic plane") << false << u16(u"😀𝕬") << u16(u"中文 العربية");
        QTest::newRow("new person, statement fragments") << true << "x'); DELETE FROM PODACI; --" << "' || '";
        QTest::newRow("new person, control characters")
            << true << QString("\t") + QChar(0) + "\n" << u16(u"Ђурић\r\nO'Brien");
    }

    void oddNamesAreSavedAndReadBackExactly()
    {
        QFETCH(bool, inserting);
        QFETCH(QString, firstName);
        QFETCH(QString, surname);
        BoxWatcher boxes;
        auto form = openWindow();
        QVERIFY(form->ADOQuery1->Locate("ID", 3, {}));
        const QString others = othersThan(inserting ? 0 : 3);
        if (inserting) {
            click(form.get(), nbInsert);
            typeText(form->DBEdit3, "2");
            typeText(form->DBEdit4, "1");
        }
        paste(form->DBEdit1, firstName);
        paste(form->DBEdit2, surname);
        // What a line cannot hold never reaches the name.
        firstName = asLine(firstName);
        surname = asLine(surname);
        QCOMPARE(form->DBEdit1->Text(), firstName);
        QCOMPARE(form->DBEdit2->Text(), surname);
        click(form.get(), nbPost);
        QCOMPARE(boxes.texts, QStringList());
        const int id = inserting ? reg::value(registerPath(), "SELECT max(ID) FROM PODACI").toInt() : 3;
        QCOMPARE(reg::count(registerPath()), inserting ? 8 : 7);
        QCOMPARE(stored(id, "Ime"), firstName);
        QCOMPARE(stored(id, "Prezime"), surname);
        if (!firstName.contains(QChar(0)))
            QCOMPARE(reg::value(registerPath(), "SELECT Ime FROM PODACI WHERE ID = " + std::to_string(id)), firstName);
        QCOMPARE(othersThan(inserting ? 0 : 3).left(others.size()), others); // a new person comes last
        // The window lists the person again with the name as saved.
        QVERIFY(form->ADOQuery1->Locate("ID", id, {}));
        QCOMPARE(form->DBEdit1->Text(), firstName);
        QCOMPARE(form->DBEdit2->Text(), surname);
        // Searching for the whole name finds the person (a name matches
        // itself as a pattern). U+0000 in a search has a test of its own.
        if (!firstName.contains(QChar(0)) && !surname.contains(QChar(0))) {
            form->Edit1->setText(firstName);
            form->Edit2->setText(surname);
            QCOMPARE(boxes.texts, QStringList());
            QVERIFY(form->ADOQuery1->Locate("ID", id, {}));
        }
    }

    // The country and city number boxes take a sign and digits only: other
    // keys and pastes are refused by the box itself, without a message and
    // without starting an edit.
    void numberBoxesRefuseWhatIsNotANumber_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown");
        // Person 3: country 2, city 1.
        QTest::newRow("letters typed") << 3 << false << "abc" << "2";
        QTest::newRow("statement typed") << 3 << false << "'; DROP TABLE PODACI; --" << "-"; // the sign alone is taken
        QTest::newRow("other digits typed") << 4 << false << u16(u"٣３߃") << "1";
        QTest::newRow("decimal point typed") << 3 << false << "1.5" << "15";
        QTest::newRow("exponent typed") << 4 << false << "1e3" << "13";
        QTest::newRow("hexadecimal typed") << 3 << false << "0x1F" << "01";
        QTest::newRow("two signs typed") << 4 << false << "+-1" << "+1";
        QTest::newRow("digits among letters typed") << 3 << false << "12abc" << "12";
        QTest::newRow("number and letters pasted") << 4 << true << "12abc" << "1";
        QTest::newRow("twenty digits pasted") << 3 << true << "99999999999999999999" << "2";
        QTest::newRow("blank and digit pasted") << 4 << true << " 7" << "1";
        QTest::newRow("control characters pasted") << 3 << true << QString("1\t2") + QChar(0) << "2";
    }

    void numberBoxesRefuseWhatIsNotANumber()
    {
        QFETCH(int, box);
        QFETCH(bool, pasted);
        QFETCH(QString, input);
        QFETCH(QString, shown);
        BoxWatcher boxes;
        auto form = openWindow();
        QVERIFY(form->ADOQuery1->Locate("ID", 3, {}));
        const QByteArray before = reg::digest(registerPath());
        TDBEdit* edit = box == 3 ? form->DBEdit3 : form->DBEdit4;
        const QString was = edit->Text();
        if (pasted) {
            paste(edit, input);
        } else {
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            typeText(edit, input);
        }
        QCOMPARE(edit->Text(), shown);
        QCOMPARE(form->ADOQuery1->State(), shown == was ? dsBrowse : dsEdit);
        form->DBGrid1->setFocus(); // what the box holds goes to the field
        QCOMPARE(boxes.texts, QStringList());
        if (form->ADOQuery1->State() == dsEdit)
            click(form.get(), nbCancel);
        QCOMPARE(edit->Text(), was);
        QCOMPARE(reg::digest(registerPath()), before);
    }

    // Numbers the field cannot hold, or that name no country or city: the
    // save is refused with exactly one message each time, the row stays as
    // typed and the file does not change.
    void numbersOutOfRangeOrUnknownAreRefused_data()
    {
        QTest::addColumn<bool>("inserting");
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");  // what the box holds once typed
        QTest::addColumn<QString>("shown"); // what it shows after the refused save: the number the field holds
        QTest::addColumn<QString>("message");
        const QString notANumber = "%2: „%1” nije ceo broj.";
        const QString noCity = "Nije sačuvano: grad (država %1, grad %2) ne postoji u registru.";
        // Person 3: country 2, city 1; a new person gets country 2, city 1 first.
        QTest::newRow("twenty nines for the country") << false << 3 << "99999999999999999999" << "9999999999"
                                                      << "9999999999" << notANumber.arg("9999999999", "država");
        QTest::newRow("one over the largest city")
            << false << 4 << "2147483648" << "2147483648" << "2147483648" << notANumber.arg("2147483648", "grad");
        QTest::newRow("one under the smallest country") << false << 3 << "-2147483649" << "-2147483649"
                                                        << "-2147483649" << notANumber.arg("-2147483649", "država");
        QTest::newRow("largest country")
            << false << 3 << "2147483647" << "2147483647" << "2147483647" << noCity.arg("2147483647", "1");
        QTest::newRow("smallest city")
            << false << 4 << "-2147483648" << "-2147483648" << "-2147483648" << noCity.arg("2", "-2147483648");
        QTest::newRow("country zero") << false << 3 << "0" << "0" << "0" << noCity.arg("0", "1");
        QTest::newRow("city minus zero") << false << 4 << "-0" << "-0" << "0" << noCity.arg("2", "0");
        QTest::newRow("city with sign and zeros") << false << 4 << "+0009" << "+0009" << "9" << noCity.arg("2", "9");
        QTest::newRow("new person, twenty nines for the city") << true << 4 << "99999999999999999999" << "9999999999"
                                                               << "9999999999" << notANumber.arg("9999999999", "grad");
        QTest::newRow("new person, unknown country")
            << true << 3 << "2147483647" << "2147483647" << "2147483647" << noCity.arg("2147483647", "1");
    }

    void numbersOutOfRangeOrUnknownAreRefused()
    {
        QFETCH(bool, inserting);
        QFETCH(int, box);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        BoxWatcher boxes;
        auto form = openWindow();
        QVERIFY(form->ADOQuery1->Locate("ID", 3, {}));
        const QByteArray before = reg::digest(registerPath());
        if (inserting) {
            click(form.get(), nbInsert);
            typeText(form->DBEdit1, u16(u"Đurđa O'Neill"));
            typeText(form->DBEdit3, "2");
            typeText(form->DBEdit4, "1");
        }
        TDBEdit* edit = box == 3 ? form->DBEdit3 : form->DBEdit4;
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        typeText(edit, typed);
        QCOMPARE(edit->Text(), kept);
        const TDataSetState state = inserting ? dsInsert : dsEdit;
        for (int save = 1; save <= 2; ++save) {
            click(form.get(), nbPost);
            QTRY_COMPARE(boxes.texts.size(), save);
            QCOMPARE(boxes.texts.last(), message);
            QCOMPARE(form->ADOQuery1->State(), state);
            QCOMPARE(edit->Text(), shown);
            if (inserting)
                QCOMPARE(form->DBEdit1->Text(), u16(u"Đurđa O'Neill"));
            QCOMPARE(reg::digest(registerPath()), before);
        }
        click(form.get(), nbCancel);
        QCOMPARE(form->ADOQuery1->State(), dsBrowse);
        QCOMPARE(boxes.texts.size(), 2);
        QCOMPARE(reg::digest(registerPath()), before);
    }
};

WINDOW_TEST_MAIN(HostileInputTest)
#include "HostileInputTest.moc"
