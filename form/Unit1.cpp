#include "Unit1.h"

#include "Application.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(QObject* Owner) : TForm(Owner)
{
    setupUi(this);
    setupData(this);
    bindDataControls();
    LocateOpts.clear();

    // The register lies beside the program, wherever it was started from.
    const std::string connection = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source="
                                   + ExtractFilePath(TApplication::instance()->ExeName()).toStdString()
                                   + "proba.mdb;Persist Security Info=False";
    ADOConnection1->setConnectionString(QString::fromStdString(connection));
    ADOConnection1->Open();
    ADOTable1->Open();
    ADOTable2->Open();
}

namespace {

// A box's text inside a quoted SQL pattern: each apostrophe written twice,
// so that no text can end the pattern and be read as part of the statement.
std::string quotedPattern(const QString& text)
{
    std::string pattern;
    for (char c : text.toStdString()) {
        pattern += c;
        if (c == '\'')
            pattern += '\'';
    }
    return pattern;
}

} // namespace

std::string TForm1::searchStatement(const QString& firstName, const QString& surname, const QString& country,
                                    const QString& city)
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

void TForm1::RunSearch()
{
    const std::string statement = searchStatement(Edit1->Text(), Edit2->Text(), Edit3->Text(), Edit4->Text());
    ADOQuery1->Close();
    ADOQuery1->SQL().Clear();
    ADOQuery1->SQL().Add(statement);
    try {
        ADOQuery1->Open();
        if (ADOQuery1->RecordCount() > 0) {
            DBGrid1->Columns(0).setWidth(35);
            DBGrid1->Columns(1).setWidth(35);
            DBGrid1->Columns(2).setWidth(35);
            DBGrid1->Columns(3).setWidth(90);
            DBGrid1->Columns(4).setWidth(90);
            DBGrid1->Columns(5).setWidth(120);
            DBGrid1->Columns(6).setWidth(120);
        }
    } catch (const Exception& E) {
        ShowMessage(E.Message());
    }
}

void TForm1::FormActivate(QObject* /*Sender*/)
{
    RunSearch();
}

void TForm1::ZajednickiChange(QObject* /*Sender*/)
{
    RunSearch();
}

void TForm1::Button1Click(QObject* /*Sender*/)
{
    Edit1->setText("");
    Edit2->setText("");
    Edit3->setText("");
    Edit4->setText("");
}

void TForm1::Button2Click(QObject* /*Sender*/)
{
    close();
}

void TForm1::DataSource1DataChange(QObject* /*Sender*/, TField* /*Field*/)
{
    QString text;
    switch (ADOQuery1->State()) {
    case dsInactive: text = "Inactive"; break;
    case dsBrowse:
        text = "Browse [" + QString::number(ADOQuery1->RecNo()) + "/" + QString::number(ADOQuery1->RecordCount()) + "]";
        break;
    case dsEdit: text = "Edit"; break;
    case dsInsert: text = "Insert"; break;
    case dsSetKey: text = "SetKey"; break;
    default: break;
    }
    StatusBar1->setSimpleText(text);
}

void TForm1::DBNavigator1BeforeAction(QObject* /*Sender*/, TNavigateBtn /*Button*/)
{
}

void TForm1::DBLookupComboBox2Enter(QObject* /*Sender*/)
{
}

void TForm1::DBLookupComboBox2Exit(QObject* /*Sender*/)
{
}
