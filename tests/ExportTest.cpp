// The list taken out: kolvara-export's files read back with real readers
// (Python's csv module, openpyxl) hold exactly the rows the window's
// statement gives for the four search texts, hostile names included; a
// stopped or failed export leaves nothing; printed pages (a PDF file read
// back with poppler's tools) hold every row once. On a file and on a server.

#include "ADOConnection.h"
#include "ADOQuery.h"
#include "ConnectionString.h"
#include "Exception.h"
#include "Field.h"
#include "ListExport.h"
#include "ListPrint.h"
#include "PersonsStatement.h"
#include "TestRegister.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>

namespace reg = test_register;

namespace {

// Every row of a CSV file or a workbook, each a list of its cells as text
// ("" for an empty cell), as a reader of that format gives them.
const char* const ReadBack = R"(
import csv, json, re, sys
path = sys.argv[1]
if path.endswith('.xlsx'):
    import openpyxl
    # A control character in a workbook's text is written _xHHHH_ (ECMA-376),
    # which spreadsheet programs read back as the character.
    def text(v):
        return re.sub(r'_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), v)
    sheet = openpyxl.load_workbook(path).active
    rows = [['' if v is None else (str(int(v)) if isinstance(v, (int, float)) else text(v)) for v in row]
            for row in sheet.iter_rows(values_only=True)]
    print(json.dumps({'rows': rows, 'frozen': sheet.freeze_panes}))
else:
    with open(path, newline='', encoding='utf-8-sig') as f:
        print(json.dumps({'rows': list(csv.reader(f)), 'frozen': None}))
)";

struct Read {
    QList<QStringList> rows;
    QString frozen;
};

Read readBack(const QString& path)
{
    QProcess python;
    // Debian's own, with its python3-openpyxl.
    python.start("/usr/bin/python3", {"-c", ReadBack, path});
    python.waitForFinished(60000);
    const QJsonObject read = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    Read result;
    result.frozen = read.value("frozen").toString();
    for (const QJsonValue& row : read.value("rows").toArray()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells << cell.toString();
        result.rows << cells;
    }
    if (python.exitCode() != 0)
        qWarning("%s", python.readAllStandardError().constData());
    return result;
}

// Names a spreadsheet or a CSV reader could take for something else.
const std::string Hostile = R"(
INSERT INTO PODACI (ID, ID_DRZAVA, ID_GRAD, Ime, Prezime) VALUES
  (20, 1, 1, 'Ana', 'O''Brien, "Mali"'),
  (21, 1, 1, 'Ana', 'Dva' || char(10) || 'reda' || char(13) || char(10) || 'tri'),
  (22, 1, 1, 'Ana', '=1+2'), (23, 1, 1, 'Ana', '+381'), (24, 1, 1, 'Ana', '-minus'),
  (25, 1, 1, 'Ana', '@zbir'), (26, 1, 1, 'Ana', char(9) || 'tab'),
  (27, 1, 1, 'Ana', 'שלום עולם'), (28, 1, 1, 'Ana', ' razmak '),
  (29, 1, 1, 'Ana', printf('%.255c', 'w')), (30, 1, 1, 'Ana', '_x0041_ & <b>' || char(1) || 'kraj' || char(65535)))";

// The same text on a server, where char() and printf() are spelled otherwise.
std::string hostile()
{
    if (!reg::onServer())
        return Hostile;
    QString sql = QString::fromStdString(Hostile);
    sql.replace("char(", "chr(").replace("printf('%.255c', 'w')", "repeat('w', 255)");
    return sql.toStdString();
}

QString tool()
{
    return QStringLiteral(KOLVARA_EXPORT);
}

// Persons "Ana X1" ... "Ana Xcount" more, of the first city.
std::string morePersons(int count)
{
    const std::string numbers = reg::onServer() ? "generate_series(1, " + std::to_string(count) + ") AS x"
                                                : "(WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                                                  "WHERE x < " + std::to_string(count) + ") SELECT x FROM n)";
    return "INSERT INTO PODACI (ID_DRZAVA, ID_GRAD, Ime, Prezime) SELECT 1, 1, 'Ana', 'X' || x FROM " + numbers;
}

// The window's list for the four search texts, read through a connection
// of its own.
struct List {
    explicit List(const QString& path, const QStringList& texts = {"", "", "", ""})
    {
        connection.setConnectionString(ConnectionString::forRegister(reg::location(path)));
        query.setConnection(&connection);
        query.SQL().Add(personsStatement(texts[0].toStdString(), texts[1].toStdString(), texts[2].toStdString(),
                                         texts[3].toStdString()));
        query.Open();
    }
    TADOConnection connection;
    TADOQuery query;
};

} // namespace

class ExportTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

private slots:
    void init()
    {
        m_path = m_dir.filePath("proba.mdb");
        reg::create(m_path);
        reg::exec(m_path, hostile());
    }

    // The command's rows for the four texts, read back, are the statement's,
    // in its order; a formula-like text keeps its apostrophe in CSV only.
    void exportedRowsAreTheStatementsRows_data()
    {
        QTest::addColumn<QString>("out");
        QTest::addColumn<QStringList>("texts"); // ime, prezime, drzava, grad
        for (const char* out : {"list.csv", "list.xlsx"}) {
            QTest::addRow("%s, every person", out) << out << QStringList{"", "", "", ""};
            QTest::addRow("%s, Ana of Beograd", out) << out << QStringList{"An", "", "Srb", "Beo"};
            QTest::addRow("%s, nobody", out) << out << QStringList{"", "Niko", "", ""};
        }
    }

    void exportedRowsAreTheStatementsRows()
    {
        QFETCH(QString, out);
        QFETCH(QStringList, texts);
        const QString file = m_dir.filePath(out);
        QStringList arguments{"--force", reg::location(m_path), file};
        const char* options[] = {"--ime", "--prezime", "--drzava", "--grad"};
        for (int i = 0; i < 4; ++i)
            if (!texts[i].isEmpty())
                arguments << options[i] << texts[i];
        QProcess command;
        command.start(tool(), arguments);
        QVERIFY(command.waitForFinished(60000));
        QCOMPARE(command.exitCode(), 0);

        List shown(m_path, texts);
        TADOQuery& list = shown.query;
        QList<QStringList> expected{{}};
        for (const std::string& column : personsColumns())
            expected.front() << QString::fromStdString(column);
        const bool csv = out.endsWith(".csv");
        for (int r = 0; r < list.displayRowCount(); ++r) {
            QStringList row;
            for (int f = 0; f < int(list.Fields().size()); ++f) {
                QString text = QString::fromStdString(list.displayText(r, f));
                if (csv && !text.isEmpty() && QString("=+-@\t\r").contains(text.front()))
                    text.prepend('\'');
                row << text;
            }
            expected << row;
        }
        const Read read = readBack(file);
        QCOMPARE(read.rows.size(), expected.size());
        for (qsizetype r = 0; r < expected.size(); ++r)
            QCOMPARE(read.rows[r], expected[r]);
        QCOMPARE(read.frozen, csv ? QString() : QString("A2"));
        // Readable as any new file of the person's is.
        QFile plain(m_dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        QCOMPARE(QFile::permissions(file), plain.permissions());
        QVERIFY(texts[1] != "Niko" || read.rows.size() == 1);
    }

    // Stopped halfway, or failing, an export leaves nothing: not the file,
    // not what it was written under; a file that was there stays.
    void aStoppedOrFailedExportLeavesNothing_data()
    {
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("failure"); // "gone": its folder; "full": the disk; else stopped
        QTest::addColumn<bool>("there");      // a file of that name was there
        for (const char* out : {"list.csv", "list.xlsx"}) {
            QTest::addRow("%s stopped", out) << out << "" << false;
            QTest::addRow("%s stopped over a file", out) << out << "" << true;
            QTest::addRow("%s in a folder that is gone", out) << out << "gone" << false;
            QTest::addRow("%s on a full disk, over a file", out) << out << "full" << true;
        }
    }

    void aStoppedOrFailedExportLeavesNothing()
    {
        QFETCH(QString, out);
        QFETCH(QString, failure);
        QFETCH(bool, there);
        const QString folder = m_dir.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + "/" + out;
        if (there) {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        reg::exec(m_path, morePersons(9000));
        List shown(m_path);
        QVERIFY(shown.query.RecordCount() > 9000);
        long long told = 0;
        bool written = true;
        QString message;
        // A full disk as a write sees it: no file may grow past 64 KiB.
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        if (failure == "full") {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit full{64 * 1024, unlimited.rlim_max};
            setrlimit(RLIMIT_FSIZE, &full);
        }
        try {
            written = list_export::writeList(shown.query, {"ID"}, failure == "gone" ? m_dir.filePath("gone/" + out) : file,
                                             [&](long long done, long long total) {
                                                 told = done;
                                                 return !failure.isEmpty() || done < total / 2;
                                             });
        } catch (const Exception& e) {
            message = QString::fromStdString(e.Message());
        }
        setrlimit(RLIMIT_FSIZE, &unlimited);
        QCOMPARE(written, !failure.isEmpty()); // a failure throws instead
        QCOMPARE(!message.isEmpty(), !failure.isEmpty());
        QVERIFY2(failure != "full" || message.contains("); disk je možda pun"), qPrintable(message));
        QVERIFY(!failure.isEmpty() || told > 0);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), there ? QStringList{out} : QStringList());
        if (there) {
            QFile old(file);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("old"));
        }
        QVERIFY(!QDir(m_dir.filePath("gone")).exists());
    }

    // On paper, every row the statement gives once, in its order, across
    // pages each headed by the register and the search and numbered of all
    // as the PDF file counts them; a print stopped halfway leaves no file.
    void printedPagesHoldEveryRowOnce_data()
    {
        QTest::addColumn<int>("added"); // persons beside the sample's
        QTest::addColumn<int>("only");  // the one page asked for; 0: all
        QTest::addColumn<bool>("stopped");
        QTest::newRow("one page") << 0 << 0 << false;
        QTest::newRow("pages") << 150 << 0 << false;
        QTest::newRow("the second page only") << 150 << 2 << false;
        QTest::newRow("stopped") << 150 << 0 << true;
    }

    void printedPagesHoldEveryRowOnce()
    {
        QFETCH(int, added);
        QFETCH(int, only);
        QFETCH(bool, stopped);
        if (added)
            reg::exec(m_path, morePersons(added));
        List shown(m_path);
        const QString pdf = m_dir.filePath("list.pdf");
        QFile::remove(pdf);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setFromTo(only, only);
        QStringList titles;
        for (const std::string& column : personsColumns())
            titles << QString::fromStdString(column);
        list_print::ListPages pages(shown.query, titles, {"proba.mdb", "Prezime: „X…”", QDateTime::currentDateTime()});
        const bool whole = pages.print(printer, [&](int done, int) { return !stopped || done < 2; });
        QCOMPARE(whole, !stopped);
        QCOMPARE(QFile::exists(pdf), !stopped);
        if (stopped)
            return;

        QProcess info;
        info.start("pdfinfo", {pdf});
        QVERIFY(info.waitForFinished(60000));
        const int count = QRegularExpression("Pages:\\s+(\\d+)").match(info.readAllStandardOutput()).captured(1).toInt();
        const int all = pages.layOut(printer);
        QCOMPARE(count, only ? 1 : all);
        QCOMPARE(all > 1, added > 0);
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY(text.waitForFinished(60000));
        const QStringList paper = QString::fromUtf8(text.readAllStandardOutput()).split('\f');
        QList<int> printed;
        for (int page = 0; page < count; ++page) {
            QVERIFY(paper[page].contains("proba.mdb") && paper[page].contains("Prezime: „X…”"));
            const int number = only ? only : page + 1;
            QVERIFY2(paper[page].contains(QStringLiteral("%1/%2").arg(number).arg(all)), qPrintable(paper[page]));
            const QRegularExpression row("^\\s*(\\d+)\\s+\\d+\\s+\\d+\\s", QRegularExpression::MultilineOption);
            for (const QRegularExpressionMatch& match : row.globalMatch(paper[page]))
                printed << match.captured(1).toInt();
        }
        QList<int> expected;
        for (int r = 0; r < shown.query.displayRowCount(); ++r)
            expected << std::stoi(shown.query.displayText(r, 0));
        if (only) { // the rows after the first page's, as many as a page holds
            const qsizetype perPage = printed.size();
            QVERIFY(perPage > 0);
            expected = expected.mid(perPage, perPage);
        }
        QCOMPARE(printed, expected);
    }
};

QTEST_MAIN(ExportTest)
#include "ExportTest.moc"
