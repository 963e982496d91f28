#include "Unit1.h"

#include "Application.h"

#include <string>

TForm1* Form1 = nullptr;

TForm1::TForm1(QObject* Owner) : TForm(Owner)
{
    setupUi(this);
    setupData(this);
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
