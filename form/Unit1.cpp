#include "Unit1.h"

#include "Application.h"
#include "ConnectionString.h"
#include "Exception.h"
#include "PersonsStatement.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(QObject* Owner) : TForm(Owner)
{
    setupUi(this);
    setupData(this);
    bindDataControls();
    LocateOpts.clear();

    // The register named at start (on the command line, or the person's
    // own of an installed program); else the one beside the program,
    // wherever it was started from.
    const QString named = TApplication::instance()->registerName();
    ADOConnection1->setConnectionString(
        named.isEmpty() ? ConnectionString::forFile(ExtractFilePath(TApplication::instance()->ExeName()) + "proba.mdb")
                        : ConnectionString::forRegister(named));
    ADOConnection1->askPassword = AskPassword;
    ADOConnection1->Open();
    ADOTable1->Open();
    ADOTable2->Open();
}

void TForm1::RunSearch()
{
    const std::string statement = personsStatement(Edit1->Text().toStdString(), Edit2->Text().toStdString(),
                                                   Edit3->Text().toStdString(), Edit4->Text().toStdString());
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
    guarded([this] { RunSearch(); });
}

void TForm1::ZajednickiChange(QObject* /*Sender*/)
{
    guarded([this] { RunSearch(); });
}

void TForm1::Button1Click(QObject* /*Sender*/)
{
    guarded([this] {
        Edit1->setText("");
        Edit2->setText("");
        Edit3->setText("");
        Edit4->setText("");
    });
}

void TForm1::Button2Click(QObject* /*Sender*/)
{
    close();
}

// Closing while a person is edited or added with a change not yet saved
// asks first: save (the window closes only if the save went through),
// don't save, or stay. Without a change it asks nothing.
void TForm1::FormCloseQuery(QObject* /*Sender*/, bool& CanClose)
{
    if (ADOQuery1->State() != dsEdit && ADOQuery1->State() != dsInsert)
        return;
    CanClose = false;
    guarded([&] {
        bool changed = true; // a typed text that does not fit its field is a change too
        try {
            ADOQuery1->UpdateRecord();
            changed = ADOQuery1->Modified();
        } catch (const Exception&) {
        }
        if (!changed) {
            ADOQuery1->Cancel();
            CanClose = true;
            return;
        }
        switch (AskToSave(tr("Izmene ove osobe nisu sačuvane. Da li da ih sačuvam pre izlaska?"))) {
        case TSaveAnswer::Save:
            ADOQuery1->Post(); // a refused save shows its message and throws: the window stays
            CanClose = true;
            break;
        case TSaveAnswer::Discard:
            ADOQuery1->Cancel();
            CanClose = true;
            break;
        case TSaveAnswer::Stay:
            break;
        }
    });
}

void TForm1::DataSource1DataChange(QObject* /*Sender*/, TField* /*Field*/)
{
    QString text;
    switch (ADOQuery1->State()) {
    case dsInactive: text = tr("Inactive"); break;
    case dsBrowse:
        text = tr("Browse [") + QString::number(ADOQuery1->RecNo()) + "/" + QString::number(ADOQuery1->RecordCount())
               + "]";
        break;
    case dsEdit: text = tr("Edit"); break;
    case dsInsert: text = tr("Insert"); break;
    case dsSetKey: text = tr("SetKey"); break;
    default: break;
    }
    StatusBar1->setSimpleText(text);
}

// Remember whose edit begins, to come back to that person after saving.
void TForm1::ADOQuery1BeforeEdit(TDataSet* /*DataSet*/)
{
    LocateOpts.clear();
    LocateOpts.include(loCaseInsensitive);
    EditedId = ADOQuery1->FieldByName("ID")->AsInteger();
}

void TForm1::ADOQuery1BeforePost(TDataSet* /*DataSet*/)
{
    SavingNewPerson = ADOQuery1->State() == dsInsert;
}

// Every save rebuilds the list; go back to the person edited last, or to
// the new person just saved, by the key the register gave it.
void TForm1::ADOQuery1AfterPost(TDataSet* /*DataSet*/)
{
    const std::int32_t id = SavingNewPerson ? ADOQuery1->FieldByName("ID")->AsInteger() : EditedId;
    RunSearch();
    ADOQuery1->Locate("ID", id, LocateOpts);
}

void TForm1::ADOQuery1EditError(TDataSet* /*DataSet*/, Exception& E, TDataAction& Action)
{
    Action = daAbort;
    ShowMessage(E.Message());
}

void TForm1::ADOQuery1PostError(TDataSet* /*DataSet*/, Exception& E, TDataAction& Action)
{
    Action = daAbort;
    ShowMessage(E.Message());
}

// A person is removed from the persons table itself, not through the joined
// list; the list is then rebuilt, and its own delete removes nothing more.
void TForm1::ADOQuery1BeforeDelete(TDataSet* /*DataSet*/)
{
    ADOTable3->Open();
    DeletedId = ADOQuery1->FieldByName("ID")->AsInteger();
    LocateOpts.clear();
    LocateOpts.include(loCaseInsensitive);
    if (ADOTable3->Locate("ID", DeletedId, LocateOpts))
        ADOTable3->Delete();
    else
        ShowMessage(tr("Ne mogu da pronadjem ID:") + QString::number(DeletedId));
    ADOTable3->Close();
    RunSearch();
}

void TForm1::ADOQuery1DeleteError(TDataSet* /*DataSet*/, Exception& /*E*/, TDataAction& Action)
{
    Action = daAbort;
}

// Before the navigator acts, the keyboard goes where the user works next.
void TForm1::DBNavigator1BeforeAction(QObject* /*Sender*/, TNavigateBtn Button)
{
    // Moving the focus hands over what was typed in the box left, which
    // cannot fail loudly; nothing here throws.
    switch (Button) {
    case nbFirst:
    case nbPrior:
    case nbNext:
    case nbLast:
    case nbPost:
    case nbCancel:
    case nbRefresh:
        DBGrid1->setFocus();
        break;
    case nbInsert:
    case nbEdit:
        DBEdit1->setFocus();
        break;
    default:
        break;
    }
}

// While the city box has the focus, it offers the cities of the person's country.
void TForm1::DBLookupComboBox2Enter(QObject* /*Sender*/)
{
    guarded([this] {
        ADOTable2->setFilter("ID_DRZAVA=" + DBEdit3->Text());
        ADOTable2->setFiltered(true);
    });
}

void TForm1::DBLookupComboBox2Exit(QObject* /*Sender*/)
{
    guarded([this] { ADOTable2->setFiltered(false); });
}
