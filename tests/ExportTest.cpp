// The list taken out: kolvara-export's files read back with real readers
// (Python's csv module, openpyxl) hold exactly the rows the window's
// statement gives for the four search texts, hostile names included; a
// stopped or failed export leaves nothing. On a file and on a server.

#include "ADOConnection.h"
#include "ADOQuery.h"
#include "ConnectionString.h"
#include "Exception.h"
#include "Field.h"
#include "ListExport.h"
#include "PersonsStatement.h"
#include "TestRegister.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
  (29, 1, 1, 'Ana', printf('%.255c', 'w')))";

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

        TADOConnection connection;
        connection.setConnectionString(ConnectionString::forRegister(reg::location(m_path)));
        TADOQuery list;
        list.setConnection(&connection);
        list.SQL().Add(personsStatement(texts[0].toStdString(), texts[1].toStdString(), texts[2].toStdString(),
                                        texts[3].toStdString()));
        list.Open();
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
        QTest::addColumn<bool>("failing"); // its folder is gone; else stopped
        QTest::addColumn<bool>("there");   // a file of that name was there
        for (const char* out : {"list.csv", "list.xlsx"}) {
            QTest::addRow("%s stopped", out) << out << false << false;
            QTest::addRow("%s stopped over a file", out) << out << false << true;
            QTest::addRow("%s in a folder that is gone", out) << out << true << false;
        }
    }

    void aStoppedOrFailedExportLeavesNothing()
    {
        QFETCH(QString, out);
        QFETCH(bool, failing);
        QFETCH(bool, there);
        const QString folder = m_dir.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + "/" + out;
        if (there) {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        reg::exec(m_path, "INSERT INTO PODACI (ID_DRZAVA, ID_GRAD, Ime, Prezime) SELECT 1, 1, 'Ana', 'X' || x FROM "
                          + std::string(reg::onServer() ? "generate_series(1, 9000) AS x"
                                                        : "(WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
                                                          "FROM n WHERE x < 9000) SELECT x FROM n)"));
        TADOConnection connection;
        connection.setConnectionString(ConnectionString::forRegister(reg::location(m_path)));
        TADOQuery list;
        list.setConnection(&connection);
        list.SQL().Add(personsStatement("", "", "", ""));
        list.Open();
        QVERIFY(list.RecordCount() > 9000);
        long long told = 0;
        bool written = true;
        QString message;
        try {
            written = list_export::writeList(list, {"ID"}, failing ? m_dir.filePath("gone/" + out) : file,
                                             [&](long long done, long long total) {
                                                 told = done;
                                                 return done < total / 2;
                                             });
        } catch (const Exception& e) {
            message = QString::fromStdString(e.Message());
        }
        QCOMPARE(written, failing); // a failure throws instead
        QCOMPARE(!message.isEmpty(), failing);
        QVERIFY(failing || told > 0);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), there ? QStringList{out} : QStringList());
        if (there) {
            QFile old(file);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("old"));
        }
        QVERIFY(!QDir(m_dir.filePath("gone")).exists());
    }
};

QTEST_GUILESS_MAIN(ExportTest)
#include "ExportTest.moc"
