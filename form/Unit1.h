#pragma once
// The main window: the list of persons, the search boxes, the detail panel
// and the navigator over the register in proba.mdb beside the program.
//
// Where each control stands and what it shows is in Unit1.ui; the data-access
// components (connection, query, tables, data sources, fields) are described
// in data/Unit1.data.json. This class holds the window's behaviour.

#include "DataSet.h"
#include "Form.h"
#include "Unit1_data.h"
#include "ui_Unit1.h"

#include <cstdint>

class TForm1 : public TForm, public Ui::TForm1, public DataUi::TForm1 {
    Q_OBJECT
public:
    // Makes every component, connects to proba.mdb beside the executable and
    // opens the country and city tables. Throws Exception when the database
    // cannot be opened; the window is then never shown.
    explicit TForm1(QObject* Owner);

private:
    TLocateOptions LocateOpts;
    std::int32_t EditedId = 0;
    std::int32_t DeletedId = 0;
};

extern TForm1* Form1;
