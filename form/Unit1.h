#pragma once
// The main window: the list of persons, the search boxes, the detail panel
// and the navigator over one register: the one the application names, or
// proba.mdb beside the program.
//
// Where each control stands, what it shows and which handler each of its
// events calls is in Unit1.ui; the data-access components (connection,
// query, tables, data sources, fields) and their handlers are described in
// data/Unit1.data.json. This class holds what the window does.

#include "DBNavigator.h"
#include "DataSet.h"
#include "Engine.h"
#include "Form.h"
#include "History.h"
#include "RegisterBackup.h"
#include "Unit1_data.h"
#include "ui_Unit1.h"

#include <QAction>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TForm1 : public TForm, public Ui::TForm1, public DataUi::TForm1 {
    Q_OBJECT
public:
    // Makes every component, connects to the register (the application's
    // registerName, else proba.mdb beside the executable) and
    // opens the country and city tables. Throws Exception when the database
    // cannot be opened; the window is then never shown.
    explicit TForm1(QObject* Owner);

    // Handlers of the data-access components' events, called directly by
    // the data sets (data/Unit1.data.json binds them): what they throw ends
    // the data-set operation that called them.
    void DataSource1DataChange(QObject* Sender, TField* Field);
    void ADOQuery1DeleteError(TDataSet* DataSet, Exception& E, TDataAction& Action);
    void ADOQuery1EditError(TDataSet* DataSet, Exception& E, TDataAction& Action);
    void ADOQuery1PostError(TDataSet* DataSet, Exception& E, TDataAction& Action);
    void ADOQuery1BeforePost(TDataSet* DataSet);
    void ADOQuery1AfterPost(TDataSet* DataSet);
    void ADOQuery1BeforeEdit(TDataSet* DataSet);
    void ADOQuery1BeforeDelete(TDataSet* DataSet);

    // Whether a search typed into a box, the first when the window opens
    // and the one after a save run in the background where the register
    // allows (true unless set otherwise): the window goes on while they run.
    // Off, every search runs at once, as the tests that read the list right
    // after each key need.
    bool SearchInBackground = true;

public slots:
    // Handlers of the controls' signals (Unit1.ui binds them). Qt calls
    // them, so each shows what fails inside it rather than throw into Qt.
    void ZajednickiChange(QObject* Sender);
    void Button1Click(QObject* Sender);
    void DBLookupComboBox2Enter(QObject* Sender);
    void DBLookupComboBox2Exit(QObject* Sender);
    void FormActivate(QObject* Sender);
    void DBNavigator1BeforeAction(QObject* Sender, TNavigateBtn Button);
    void Button2Click(QObject* Sender);
    void Button3Click(QObject* Sender);
    void Button4Click(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);

private:
    // The steps of opening the window: the register named at start (and a
    // warning when it was named with its password), the window's actions
    // (its keys and the list's context menu), the questions its boxes and
    // navigator ask, the day's copy of a file.
    void ChooseRegister();
    void WarnOfPassword();
    void MakeActions();
    void PhraseQuestions();
    void StartDailyBackup();
    TLocateOptions LocateOpts;
    std::int32_t EditedId = 0;
    std::int32_t DeletedId = 0;
    // Whether the row being saved is a new person, whom the list stands on
    // after the save.
    bool SavingNewPerson = false;
    // Whether the search running is the one after a save, which went through.
    bool SearchingAfterSave = false;
    // Builds the statement from the four search boxes, runs it again and
    // sizes the list's columns; a failing open is shown and leaves the list
    // empty. inBackground: where the register's engine can, the statement
    // runs while the window goes on (the list stays as it is until its rows
    // are there, the newest search giving up older ones); else at once.
    // then runs once the list is shown (not when a newer search gave this
    // one up).
    void RunSearch(bool inBackground = false, const std::function<void()>& then = {});
    // Shows the list of statement, read at once or in the background.
    void ShowSearch(const std::string& statement, bool afterSave);
    // A search running in the background shows after a moment as a busy
    // list; Escape in a search box gives it up.
    void ShowBusy(bool busy);
    bool eventFilter(QObject* watched, QEvent* event) override;
    QTimer* BusyDelay = nullptr;
    // "Izvezi listu…" (Ctrl+E from anywhere in the window, and the list's
    // context menu): the rows the list shows, in its order and with its
    // titles, to a CSV file or a workbook named in the save dialog, with a
    // progress that can be cancelled; nothing is written unless whole.
    void ExportList();
    QAction* ExportAction = nullptr;
    // "Uvezi osobe…": persons from a CSV file or a workbook, previewed first.
    void ImportPersons();
    QAction* ImportAction = nullptr;
    // "Štampaj listu…" (Ctrl+P, and the list's context menu): the same rows
    // on paper, in the desktop's print preview (its printers, a PDF file),
    // each page headed by the register, the search and the date; a list of
    // more than a hundred pages asks first, and goes to the printer without
    // a preview.
    void PrintList();
    QAction* PrintAction = nullptr;
    // The list's columns as it titles them.
    QStringList ListTitles() const;
    // The register as it was named: a file's path or a server's URI.
    QString RegisterNamed;
    // Beside the status line: whether this desk may only read the persons,
    // and what carries the register (a server on this computer, a line
    // encrypted or not); each hidden when there is nothing to tell.
    void ShowSigns();
    QLabel* RightsSign = nullptr;
    QLabel* LineSign = nullptr;
    // A register file is copied into the person's data folder when the
    // window opens it, once a day, while the window goes on; a copy that
    // could not be made is a quiet sign beside the status line (its reason
    // in its tooltip) and a line on stderr, never a question.
    std::unique_ptr<backup::BackgroundBackup> DailyBackup;
    QLabel* BackupSign = nullptr;
    std::optional<std::pair<bool, db::Engine::Line>> SignsShown; // what the signs say now
    // Reads the countries and cities again if the register may have changed
    // since they were read (whenUnknown: also where that cannot be told).
    // readWith: a data set just opened, whose reading tells the register's state.
    void RefreshLookups(bool whenUnknown, const TDataSet* readWith = nullptr);
    // The countries' dialog, or the cities' of the person's country, over
    // the window; typed: a name to add at once (from a lookup box, in which
    // the person is then given it). After it the boxes and the list show
    // what changed, and a person being edited or added follows a merge.
    void KeepPlaces(bool cities, const QString& typed);
    // "Istorija izmena…" (Ctrl+H, and the list's context menu): the current
    // person's recorded changes; a version chosen there is taken back as a
    // save of the person as this desk shows them.
    void ShowHistory();
    QAction* HistoryAction = nullptr;
    // "Obrisane osobe…" (Ctrl+Shift+H, and the list's context menu): the
    // persons deleted; one chosen comes back under their own number.
    void ShowDeleted();
    QAction* DeletedAction = nullptr;
    // Ctrl+Z, in the list (and in a box with nothing of its own to undo):
    // takes this desk's last save or deletion of a person back, one step
    // at a time, as long as the person is as that step left them;
    // otherwise the question a save asks.
    void UndoLastChange();
    QAction* UndoAction = nullptr;
    struct UndoStep {
        std::int32_t person = 0;
        std::optional<PersonValues> before; // none: the step added the person
        std::optional<PersonValues> after;  // none: the step deleted them
    };
    std::vector<UndoStep> UndoSteps;
    // The person being edited as they were before the edit.
    std::optional<PersonValues> EditedBefore;
    // The current person's values as the list shows them.
    PersonValues ShownValues() const;
    // Makes person hold to (none: deletes them) if the register holds
    // expected of them (none: no such person); when it holds something
    // else, asks what to keep, as a save does. Then the list shows the
    // register and stands on the person.
    enum class TakenBack {
        Written,    // the person holds to
        TheirsKept, // the person chose what the register holds
        NotNow,     // the person went on: nothing changed, nothing decided
    };
    TakenBack TakeBack(std::int32_t person, std::optional<PersonValues> to, std::optional<PersonValues> expected);
    // Runs the search again (in the background where it may) and stands on
    // the person numbered id, when the list shows them.
    void SearchAndStandOn(std::int32_t id);
    // The question a save that found the person changed elsewhere asks.
    QString ConflictQuestion(const EUpdateConflict& conflict);
    // The name (NAZIV) of the row of a lookup table with that key; empty
    // when it holds none.
    QString LookupName(TDataSet* table, const std::vector<std::pair<const char*, std::int32_t>>& key);
    // Whether the persons table's current row holds what the list shows of
    // the current person.
    bool SameAsShown(TDataSet* persons);
};

extern TForm1* Form1;
