#include "Unit1.h"

#include "Application.h"
#include "CommandLine.h"
#include "ConnectionString.h"
#include "Dialogs.h"
#include "Exception.h"
#include "HistoryDialog.h"
#include "ImportDialog.h"
#include "Language.h"
#include "ListExport.h"
#include "ListPrint.h"
#include "PlacesDialog.h"
#include "RegisterName.h"
#include "PersonsStatement.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

TForm1* Form1 = nullptr;

namespace {

// The names of the countries and cities a history dialog shows, each
// country's cities read once.
THistoryDialog::PlaceName PlaceNames(Places& places)
{
    auto countries = std::make_shared<std::vector<Place>>(places.listed(false, 0));
    auto cities = std::make_shared<std::map<std::int32_t, std::vector<Place>>>();
    return [&places, countries, cities](bool city, std::int32_t country, std::int32_t number) {
        const std::vector<Place>* list = countries.get();
        if (city) {
            auto found = cities->find(country);
            if (found == cities->end())
                found = cities->emplace(country, places.listed(true, country)).first;
            list = &found->second;
        }
        for (const Place& place : *list)
            if (place.country == country && (!city || place.number == number))
                return place.shownName();
        return QString();
    };
}

} // namespace

TForm1::TForm1(QObject* Owner) : TForm(Owner)
{
    setupUi(this);
    setupData(this);
    bindDataControls();
    LocateOpts.clear();
    ChooseRegister();
    BusyDelay = new QTimer(this);
    BusyDelay->setSingleShot(true);
    BusyDelay->setInterval(150);
    connect(BusyDelay, &QTimer::timeout, this, [this] { ShowBusy(ADOQuery1->readingAhead()); });
    // However a search in the background ends (its rows there, given up by
    // a key, an edit or Escape), the list is no longer busy.
    connect(ADOQuery1, &TDataSet::readAheadEnded, this, [this] { ShowBusy(false); });
    MakeActions();
    DBGrid1->installEventFilter(this);
    // Every box of the window, the search boxes among them: the window's
    // keys over a box's own, and Escape in a search box.
    for (QLineEdit* box : findChildren<QLineEdit*>())
        box->installEventFilter(this);
    RightsSign = new QLabel(StatusBar1);
    RightsSign->setObjectName("RightsSign");
    LineSign = new QLabel(StatusBar1);
    LineSign->setObjectName("LineSign");
    for (QLabel* sign : {RightsSign, LineSign}) {
        sign->hide();
        StatusBar1->addPermanentWidget(sign);
    }
    PhraseQuestions();
    WarnOfPassword();
    ADOConnection1->Open();
    ADOTable1->Open();
    ADOTable2->Open();
    if (!db::isServerRegister(RegisterNamed))
        StartDailyBackup();
}

void TForm1::ChooseRegister()
{
    // The register named at start (on the command line, or the person's
    // own of an installed program); else the one beside the program,
    // wherever it was started from.
    RegisterNamed = TApplication::instance()->registerName();
    if (RegisterNamed.isEmpty()) {
        RegisterNamed = ExtractFilePath(TApplication::instance()->ExeName()) + "proba.mdb";
        ADOConnection1->setConnectionString(ConnectionString::forFile(RegisterNamed));
    } else {
        ADOConnection1->setConnectionString(ConnectionString::forRegister(RegisterNamed));
    }
    ADOConnection1->askPassword = AskPassword;
}

void TForm1::WarnOfPassword()
{
    // A password in the register's name works, but the process list shows
    // it to every user of the computer: said as the commands say it, on
    // stderr and in a sign beside the status line for as long as the window
    // is open, its words in the tooltip. Nothing is asked.
    if (!db::namesPassword(RegisterNamed))
        return;
    QString warning = CommandLine::passwordWarning();
    writeText(stderr, "kolvara: " + warning + "\n");
    warning[0] = warning[0].toUpper();
    auto* sign = new QLabel(tr("Lozinka vidljiva drugima"), StatusBar1);
    sign->setObjectName("PasswordSign");
    sign->setToolTip(warning);
    sign->setAccessibleName(sign->text());
    sign->setAccessibleDescription(warning);
    StatusBar1->addPermanentWidget(sign);
}

void TForm1::MakeActions()
{
    const auto make = [this](const QString& text, const QKeySequence& keys, void (TForm1::*handler)()) {
        QAction* action = new QAction(text, this);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
        return action;
    };
    ExportAction = make(tr("&Izvezi listu…"), QKeySequence(Qt::CTRL | Qt::Key_E), &TForm1::ExportList);
    ImportAction = make(tr("&Uvezi osobe…"), QKeySequence(Qt::CTRL | Qt::Key_I), &TForm1::ImportPersons);
    PrintAction = make(tr("Š&tampaj listu…"), QKeySequence(Qt::CTRL | Qt::Key_P), &TForm1::PrintList);
    HistoryAction = make(tr("Istori&ja izmena…"), QKeySequence(Qt::CTRL | Qt::Key_H), &TForm1::ShowHistory);
    DeletedAction = make(tr("O&brisane osobe…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H), &TForm1::ShowDeleted);
    UndoAction = make(tr("&Poništi poslednju izmenu"), QKeySequence(Qt::CTRL | Qt::Key_Z), &TForm1::UndoLastChange);
    addActions({ExportAction, PrintAction, ImportAction, HistoryAction, DeletedAction, UndoAction});
    // The list's context menu (right button, the Menu key, Shift+F10).
    DBGrid1->setContextMenuPolicy(Qt::ActionsContextMenu);
    DBGrid1->addActions({ExportAction, PrintAction, ImportAction, HistoryAction, DeletedAction, UndoAction});
    // F5 on a list left closed (a search or a refresh that failed, the
    // server's connection lost) reads it as a search box does, and then the
    // countries and cities as F5 always does.
    DBNavigator1->readClosed = [this] {
        RunSearch(SearchInBackground, [this] {
            if (ADOQuery1->Active())
                RefreshLookups(true);
        });
    };
}

void TForm1::PhraseQuestions()
{
    // A name typed into a lookup box that the register does not have is
    // offered to be added there and then.
    DBLookupComboBox1->describeMissing = [](const QString& typed) {
        return tr("Nijedna država ne počinje sa %1. Enter je dodaje u registar.")
            .arg(db::shownValue(FieldKind::Text, db::CellValue{false, 0, typed.toStdString()}));
    };
    DBLookupComboBox2->describeMissing = [this](const QString& typed) {
        const QString country = DBLookupComboBox1->currentText();
        return tr("Nijedan grad države %1 ne počinje sa %2. Enter ga dodaje u nju.")
            .arg(country.isEmpty() ? tr("(nije izabrana)") : country,
                 db::shownValue(FieldKind::Text, db::CellValue{false, 0, typed.toStdString()}));
    };
    connect(DBLookupComboBox1, &TDBLookupComboBox::addRequested, this,
            [this](const QString& typed) { guarded([&] { KeepPlaces(false, typed); }); });
    connect(DBLookupComboBox2, &TDBLookupComboBox::addRequested, this,
            [this](const QString& typed) { guarded([&] { KeepPlaces(true, typed); }); });
    // The delete question names the person, as the list shows them.
    DBNavigator1->deleteQuestion = [this] {
        // Each name kept apart from the sentence, whatever its direction.
        const auto shown = [](const TField* field) {
            return QStringLiteral("\u2068") + QString::fromStdString(field->AsString()) + QStringLiteral("\u2069");
        };
        return tr("Obrisati osobu %1 %2 (%3, %4)?")
            .arg(shown(ADOQuery1Ime), shown(ADOQuery1Prezime), shown(ADOQuery1GRADOVINaziv),
                 shown(ADOQuery1DRZAVENaziv));
    };
}

void TForm1::StartDailyBackup()
{
    BackupSign = new QLabel(tr("Kopija registra nije napravljena"), StatusBar1);
    BackupSign->setObjectName("BackupSign");
    BackupSign->hide();
    StatusBar1->addPermanentWidget(BackupSign);
    DailyBackup = std::make_unique<backup::BackgroundBackup>(RegisterNamed, [this](const QString& failure) {
        if (failure.isEmpty())
            return;
        QMetaObject::invokeMethod(this, [this, failure] {
            std::fprintf(stderr, "kolvara: %s\n", failure.toLocal8Bit().constData());
            BackupSign->setToolTip(failure);
            BackupSign->setAccessibleDescription(failure);
            BackupSign->show();
        }, Qt::QueuedConnection);
    });
}

void TForm1::Button3Click(QObject* /*Sender*/)
{
    guarded([this] { KeepPlaces(false, QString()); });
}

void TForm1::Button4Click(QObject* /*Sender*/)
{
    guarded([this] { KeepPlaces(true, QString()); });
}

void TForm1::KeepPlaces(bool cities, const QString& typed)
{
    if (!ADOConnection1->Connected())
        return;
    const bool editing = ADOQuery1->State() == dsEdit || ADOQuery1->State() == dsInsert;
    std::int32_t country = 0;
    if (ADOQuery1->Active() && !ADOQuery1ID_DRZAVA->IsNull())
        country = ADOQuery1ID_DRZAVA->AsInteger();
    Places places(*ADOConnection1);
    TPlacesDialog dialog(places, cities, country, this);
    if (!typed.isEmpty())
        QTimer::singleShot(0, &dialog, [&] {
            dialog.addNamed(typed);
            // Added from the box, or not after all: back to the person at once.
            dialog.done(dialog.added() ? QDialog::Accepted : QDialog::Rejected);
        });
    dialog.exec();
    if (!dialog.changed())
        return;
    // The boxes name what the register now holds.
    RefreshLookups(true);
    if (editing || (!typed.isEmpty() && dialog.added())) {
        if (!editing && ADOQuery1->Active())
            ADOQuery1->Edit(); // a name typed into a box is a change of the person
        // The person follows a merge of their city (the register moved them
        // already; a country merged may have renumbered its cities, and the
        // save then says what is missing rather than guess).
        for (const auto& [from, into] : dialog.merged())
            if (from.city && !ADOQuery1ID_DRZAVA->IsNull() && ADOQuery1ID_DRZAVA->AsInteger() == from.country
                && !ADOQuery1ID_GRAD->IsNull() && ADOQuery1ID_GRAD->AsInteger() == from.number)
                ADOQuery1ID_GRAD->setAsInteger(into.number);
        // The place added from a box is the person's.
        if (const std::optional<Place>& added = dialog.added(); added && !typed.isEmpty()) {
            if (ADOQuery1ID_DRZAVA->IsNull() || ADOQuery1ID_DRZAVA->AsInteger() != added->country) {
                ADOQuery1ID_DRZAVA->setAsInteger(added->country);
                ADOQuery1ID_GRAD->Clear();
            }
            if (added->city)
                ADOQuery1ID_GRAD->setAsInteger(added->number);
        }
        return;
    }
    // Browsing: the list reads the register again, on the same person.
    const std::int32_t id = ADOQuery1->Active() && ADOQuery1->RecordCount() > 0 ? ADOQuery1ID->AsInteger() : 0;
    RunSearch(SearchInBackground, [this, id] {
        if (ADOQuery1->Active() && id)
            ADOQuery1->Locate("ID", id, LocateOpts);
    });
}

void TForm1::ExportList()
{
    if (!ADOQuery1->Active())
        return;
    // What the list shows now is what goes out: no search ends under it.
    ADOQuery1->dropReadAhead();
    const QString csv = tr("CSV, za tabelarne programe (*.csv)");
    const QString workbook = tr("Excel radna sveska (*.xlsx)");
    QFileDialog dialog(this, tr("Izvezi listu"), QDir::homePath(), csv + ";;" + workbook);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.setDefaultSuffix(filter == workbook ? QStringLiteral("xlsx") : QStringLiteral("csv"));
    });
    dialog.selectFile(tr("lista") + ".csv");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QProgressDialog progress(tr("Lista se izvozi…"), tr("Otkaži"), 0, 1000, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    list_export::writeList(*ADOQuery1, ListTitles(), dialog.selectedFiles().constFirst(),
                           [&](long long done, long long total) {
                               if (done < total) {
                                   progress.setValue(int(done * 1000 / total));
                               } else { // every row written: the file is being finished
                                   progress.setRange(0, 0);
                                   QCoreApplication::processEvents();
                               }
                               return !progress.wasCanceled();
                           });
}

void TForm1::ImportPersons()
{
    if (!ADOConnection1->Connected())
        return;
    db::Engine& engine = ADOConnection1->engine();
    if (!engine.mayChange("PODACI"))
        throw Exception(tr("U ovaj registar ovde ne smete da dodajete osobe, pa nema uvoza."));
    // The list is read again after the import: typing in the detail panel
    // is saved or given up first, never lost under it.
    if (ADOQuery1->State() == dsEdit || ADOQuery1->State() == dsInsert) {
        ShowMessage(tr("Osoba se upravo menja: sačuvajte izmenu (Ctrl+S) ili je otkažite (Esc), pa uvezite osobe."));
        return;
    }
    ADOQuery1->dropReadAhead();
    QFileDialog choosing(this, tr("Uvezi osobe"), QDir::homePath(), tr("Liste osoba (*.csv *.xlsx);;Sve datoteke (*)"));
    choosing.setAcceptMode(QFileDialog::AcceptOpen);
    choosing.setFileMode(QFileDialog::ExistingFile);
    if (choosing.exec() != QDialog::Accepted || choosing.selectedFiles().isEmpty())
        return;
    const QString path = choosing.selectedFiles().constFirst();
    list_import::ListFile list;
    try {
        list = list_import::readListFile(path);
    } catch (const list_import::EUnknownEncoding& unknown) {
        const QStringList encodings{tr("UTF-8"), tr("Windows-1250 (latinica srednje Evrope)")};
        bool chosen = false;
        const QString encoding = QInputDialog::getItem(this, tr("Pismo liste"), QString::fromStdString(unknown.Message()),
                                                       encodings, 0, false, &chosen);
        if (!chosen)
            return;
        list = list_import::readListFile(path, encoding == encodings.front() ? list_import::Encoding::Utf8
                                                                            : list_import::Encoding::Windows1250);
    }
    QString unclear;
    ImportColumns columns;
    try {
        columns = PersonsImport::columnsOf(list);
    } catch (const EUnclearColumns& failure) {
        unclear = QString::fromStdString(failure.Message());
    }
    PersonsImport import(*ADOConnection1, std::move(list), columns);
    TImportDialog dialog(import, unclear, engine.mayChange("DRZAVE") && engine.mayChange("GRADOVI"), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QProgressDialog progress(tr("Osobe se upisuju…"), tr("Otkaži"), 0, 1000, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    ImportPlan written;
    try {
        written = import.write(dialog.choices(), [&](long long done, long long total) {
            progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
            return !progress.wasCanceled();
        });
    } catch (const EAbort&) {
        ShowMessage(tr("Uvoz je otkazan; ništa nije upisano."));
        return;
    }
    progress.reset();
    RefreshLookups(true);
    RunSearch(SearchInBackground);
    ShowMessage(tr("Upisano je novih osoba: %1.").arg(written.newPersons));
}

void TForm1::PrintList()
{
    if (!ADOQuery1->Active())
        return;
    ADOQuery1->dropReadAhead();
    const QString shownName = db::isServerRegister(RegisterNamed)
                                ? db::serverNameWithoutPassword(RegisterNamed)
                                : QDir::toNativeSeparators(QFileInfo(RegisterNamed).absoluteFilePath());
    // The search as the boxes' labels name it, or that there is none.
    QStringList searched;
    for (auto [label, box] : {std::pair{Label1, Edit1}, {Label2, Edit2}, {Label3, Edit3}, {Label4, Edit4}})
        if (!box->Text().isEmpty())
            searched << tr("%1: „%2…”").arg(label->text().remove('&'), box->Text());
    list_print::ListPages pages(*ADOQuery1, ListTitles(),
                                {shownName, searched.isEmpty() ? tr("Sve osobe, bez pretrage") : searched.join("   "),
                                 QDateTime::currentDateTime()});
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(tr("Lista osoba"));
    const int count = pages.layOut(printer);
    // Asked for every printer and page setup the person picks.
    const auto print = [&](QPrinter& target) {
        guarded([&] {
            QProgressDialog progress(tr("Lista se priprema za štampu…"), tr("Otkaži"), 0, count, this);
            progress.setWindowModality(Qt::WindowModal);
            progress.setMinimumDuration(300);
            pages.print(target, [&](int done, int all) {
                progress.setMaximum(all);
                progress.setValue(done);
                return !progress.wasCanceled();
            });
        });
    };
    // A preview holds every page at once: a long list goes to the printer
    // page by page, without one, if the person wants it so.
    if (count <= 100)
        ShowPrintPreview(printer, tr("Štampa liste"), print);
    else if (AskToGoOn(tr("Lista zauzima %1 strana, previše za pregled pre štampe. Da li da je štampam bez "
                          "pregleda? Pretraga može da je suzi.")
                           .arg(count),
                       tr("Š&tampaj bez pregleda"))
             && ChoosePrinter(printer, tr("Štampa liste"), count))
        print(printer);
}

QStringList TForm1::ListTitles() const
{
    QStringList titles;
    for (int c = 0; c < DBGrid1->model()->columnCount(); ++c)
        titles << DBGrid1->model()->headerData(c, Qt::Horizontal).toString();
    return titles;
}

void TForm1::ShowSigns()
{
    // Asked at every change of the list: the labels change only when what
    // they say does.
    const bool readOnly = ADOQuery1->Active() && !ADOQuery1->CanModify();
    const db::Engine::Line line = ADOConnection1->Connected() ? ADOConnection1->engine().line() : db::Engine::Line::None;
    if (SignsShown == std::make_pair(readOnly, line))
        return;
    SignsShown = {readOnly, line};
    RightsSign->setVisible(readOnly);
    RightsSign->setText(tr("Samo čitanje"));
    RightsSign->setAccessibleName(tr("Samo čitanje"));
    RightsSign->setAccessibleDescription(tr("Ovaj radni sto sme samo da čita registar: izmene nisu ponuđene."));
    QString text, description;
    switch (line) {
    case db::Engine::Line::None: break;
    case db::Engine::Line::ThisComputer:
        text = tr("Server na ovom računaru");
        description = tr("Registar je na serveru na ovom računaru; podaci ne idu mrežom.");
        break;
    case db::Engine::Line::Encrypted:
        text = tr("Šifrovana veza");
        description = tr("Veza sa serverom registra je šifrovana.");
        break;
    case db::Engine::Line::Clear:
        text = tr("Nešifrovana veza");
        description = tr("Veza sa serverom registra nije šifrovana: podaci i lozinka idu mrežom čitljivi.");
        break;
    }
    LineSign->setVisible(!text.isEmpty());
    LineSign->setText(text);
    LineSign->setAccessibleName(text);
    LineSign->setAccessibleDescription(description);
}

void TForm1::RefreshLookups(bool whenUnknown, const TDataSet* readWith)
{
    for (TDataSet* lookup : std::initializer_list<TDataSet*>{ADOTable1, ADOTable2})
        if (lookup->State() == dsBrowse && lookup->mayHaveChanged(whenUnknown, readWith))
            lookup->Refresh();
}

void TForm1::RunSearch(bool inBackground, const std::function<void()>& then)
{
    const std::string statement = personsStatement(Edit1->Text().toStdString(), Edit2->Text().toStdString(),
                                                   Edit3->Text().toStdString(), Edit4->Text().toStdString());
    const bool afterSave = SearchingAfterSave;
    // A person being edited goes with the old list at once, as it does when
    // the search runs at once: never later, under the typing.
    if (inBackground && (ADOQuery1->State() == dsEdit || ADOQuery1->State() == dsInsert))
        ADOQuery1->Close();
    if (inBackground
        && ADOQuery1->readAhead(statement, [this, statement, afterSave, then] {
               guarded([&] {
                   ShowSearch(statement, afterSave);
                   if (then)
                       then();
               });
           })) {
        BusyDelay->start();
        return;
    }
    ShowSearch(statement, afterSave);
    if (then)
        then();
}

void TForm1::ShowBusy(bool busy)
{
    BusyDelay->stop();
    // Seen as the cursor over the list, and heard as the list's description.
    if (busy)
        DBGrid1->setCursor(Qt::BusyCursor);
    else
        DBGrid1->unsetCursor();
    DBGrid1->setAccessibleDescription(busy ? tr("Pretraga je u toku; spisak je još prethodni.") : QString());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // The window's own keys win over a box's editing keys (Ctrl+E moves to
    // a line's end in a box on some desktops).
    if (event->type() == QEvent::ShortcutOverride && qobject_cast<QLineEdit*>(watched)) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        if (pressed == ExportAction->shortcut() || pressed == PrintAction->shortcut()
            || pressed == HistoryAction->shortcut() || pressed == DeletedAction->shortcut()) {
            event->ignore();
            return true;
        }
        // Ctrl+Z undoes a box's own typing first, and only then a save.
        if (pressed == UndoAction->shortcut() && !static_cast<QLineEdit*>(watched)->isUndoAvailable()) {
            event->ignore();
            return true;
        }
    }
    // Shift+F10 opens the list's context menu, as the Menu key does.
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->keyCombination() == QKeyCombination(Qt::SHIFT, Qt::Key_F10)) {
        const QRect cell = DBGrid1->visualRect(DBGrid1->currentIndex());
        const QPoint at = cell.isValid() ? DBGrid1->viewport()->mapTo(DBGrid1, cell.center()) : QPoint(8, 8);
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, DBGrid1->mapToGlobal(at));
        QCoreApplication::sendEvent(DBGrid1, &menu);
        return true;
    }
    const bool escape = (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
                     && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    if (escape && ADOQuery1->readingAhead()) {
        event->accept(); // the key is the search box's, no shortcut's
        if (event->type() == QEvent::KeyPress)
            ADOQuery1->dropReadAhead();
        return true;
    }
    return TForm::eventFilter(watched, event);
}

void TForm1::ShowSearch(const std::string& statement, bool afterSave)
{
    ADOQuery1->Close();
    ADOQuery1->SQL().Clear();
    ADOQuery1->SQL().Add(statement);
    try {
        ADOQuery1->Open();
        // Countries and cities changed meanwhile show with the new list
        // (after a save also where the register cannot tell), as the list
        // found the register.
        RefreshLookups(afterSave, ADOQuery1);
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
        // After a save the person must not read its failure as the save's.
        ShowMessage(afterSave
                        ? tr("Osoba je sačuvana, ali spisak posle toga nije mogao ponovo da se pročita: %1")
                              .arg(QString::fromStdString(E.Message()))
                        : QString::fromStdString(E.Message()));
    }
}

void TForm1::FormActivate(QObject* /*Sender*/)
{
    guarded([this] { RunSearch(SearchInBackground); });
}

void TForm1::ZajednickiChange(QObject* /*Sender*/)
{
    guarded([this] { RunSearch(SearchInBackground); });
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
    ShowSigns();
}

// Remember whose edit begins, to come back to that person after saving.
void TForm1::ADOQuery1BeforeEdit(TDataSet* /*DataSet*/)
{
    LocateOpts.clear();
    LocateOpts.include(loCaseInsensitive);
    EditedId = ADOQuery1->FieldByName("ID")->AsInteger();
    EditedBefore = ShownValues();
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
    // What Ctrl+Z takes back: the person as saved, over what they were.
    const PersonValues saved = ShownValues();
    if (SavingNewPerson || (EditedBefore && !(*EditedBefore == saved)))
        UndoSteps.push_back({id, SavingNewPerson ? std::nullopt : EditedBefore, saved});
    EditedBefore.reset();
    SearchingAfterSave = true;
    const auto searched = qScopeGuard([this] { SearchingAfterSave = false; });
    SearchAndStandOn(id);
}

void TForm1::SearchAndStandOn(std::int32_t id)
{
    RunSearch(SearchInBackground, [this, id] {
        // A failed search has said so and left the list closed: nothing to find.
        if (ADOQuery1->Active())
            ADOQuery1->Locate("ID", id, LocateOpts);
    });
}

PersonValues TForm1::ShownValues() const
{
    const auto value = [](const TField* field, FieldKind kind) {
        if (field->IsNull())
            return db::CellValue{};
        return kind == FieldKind::Integer ? db::CellValue{false, field->AsInteger(), {}}
                                          : db::CellValue{false, 0, field->AsString()};
    };
    return PersonValues{value(ADOQuery1ID_DRZAVA, FieldKind::Integer), value(ADOQuery1ID_GRAD, FieldKind::Integer),
                        value(ADOQuery1Ime, FieldKind::Text), value(ADOQuery1Prezime, FieldKind::Text)};
}

TForm1::TakenBack TForm1::TakeBack(std::int32_t person, std::optional<PersonValues> to,
                                   std::optional<PersonValues> expected)
{
    TakenBack outcome = TakenBack::Written;
    History history(*ADOConnection1);
    for (;;) {
        try {
            history.restore(person, to, expected);
            break;
        } catch (const EUpdateConflict& conflict) {
            const TConflictAnswer answer = AskAboutConflict(ConflictQuestion(conflict));
            if (answer == TConflictAnswer::GoOnEditing)
                return TakenBack::NotNow;
            if (answer == TConflictAnswer::TakeRegisters) {
                outcome = TakenBack::TheirsKept;
                break;
            }
            // Over what the register holds now, as the question showed it;
            // refused again if that changes too.
            PersonValues held = to.value_or(PersonValues{});
            for (const EUpdateConflict::Entry& entry : conflict.entries()) {
                db::CellValue& field = entry.fieldName == QLatin1String("ID_DRZAVA") ? held.country
                                     : entry.fieldName == QLatin1String("ID_GRAD")   ? held.city
                                     : entry.fieldName == QLatin1String("Ime")       ? held.firstName
                                                                                     : held.surname;
                field = entry.stored;
            }
            expected = held;
        }
    }
    RefreshLookups(true);
    SearchAndStandOn(person);
    return outcome;
}

void TForm1::UndoLastChange()
{
    // While a person is edited, Ctrl+Z belongs to the boxes.
    if (ADOQuery1->State() != dsBrowse)
        return;
    if (UndoSteps.empty()) {
        ShowMessage(tr("Nema ničega da se poništi: ovaj radni sto od otvaranja nije sačuvao ni obrisao nijednu "
                       "osobu (ili je sve već poništeno)."));
        return;
    }
    const UndoStep step = UndoSteps.back();
    if (TakeBack(step.person, step.before, step.after) != TakenBack::NotNow)
        UndoSteps.pop_back();
}

void TForm1::ShowHistory()
{
    if (!ADOQuery1->Active() || ADOQuery1->IsEmpty()) {
        ShowMessage(tr("Spisak je prazan: izaberite osobu čiju istoriju želite da vidite."));
        return;
    }
    ADOQuery1->CheckBrowseMode();
    History history(*ADOConnection1);
    if (!history.kept()) {
        ShowMessage(tr("Ovaj registar ne beleži istoriju izmena (napravljen je pre nje). Vlasnik registra je "
                       "uključuje naredbom:\n    kolvara-make-register --add-history REGISTAR"));
        return;
    }
    const std::int32_t id = ADOQuery1->FieldByName("ID")->AsInteger();
    const PersonValues shown = ShownValues();
    Places places(*ADOConnection1);
    THistoryDialog dialog(history.ofPerson(id), false, history.mayRestore(), PlaceNames(places), this);
    if (dialog.exec() != QDialog::Accepted || !dialog.chosen() || !dialog.chosen()->after)
        return;
    const std::optional<PersonValues> version = dialog.chosen()->after;
    if (TakeBack(id, version, shown) == TakenBack::Written)
        UndoSteps.push_back({id, shown, version});
}

void TForm1::ShowDeleted()
{
    ADOQuery1->CheckBrowseMode();
    History history(*ADOConnection1);
    if (!history.kept()) {
        ShowMessage(tr("Ovaj registar ne beleži istoriju izmena (napravljen je pre nje), pa ne zna za obrisane "
                       "osobe. Vlasnik registra je uključuje naredbom:\n    kolvara-make-register --add-history "
                       "REGISTAR"));
        return;
    }
    Places places(*ADOConnection1);
    THistoryDialog dialog(history.deleted(), true, history.mayRestore(), PlaceNames(places), this);
    if (dialog.exec() != QDialog::Accepted || !dialog.chosen() || !dialog.chosen()->before)
        return;
    const PersonChange chosen = *dialog.chosen();
    if (TakeBack(chosen.person, chosen.before, std::nullopt) == TakenBack::Written)
        UndoSteps.push_back({chosen.person, std::nullopt, chosen.before});
}

void TForm1::ADOQuery1EditError(TDataSet* /*DataSet*/, Exception& E, TDataAction& Action)
{
    Action = daAbort;
    ShowMessage(E.Message());
}

// A save that finds the person changed at another desk asks what to keep:
// the register's version (the typing is dropped and the list shows theirs),
// this desk's (written over theirs, unless it changes again meanwhile), or
// neither yet (the edit goes on).
void TForm1::ADOQuery1PostError(TDataSet* /*DataSet*/, Exception& E, TDataAction& Action)
{
    Action = daAbort;
    const auto* conflict = dynamic_cast<const EUpdateConflict*>(&E);
    if (!conflict) {
        ShowMessage(E.Message());
        // Whether the save went through cannot be known: the edit goes (its
        // values are in the message), and the list shows what the register
        // holds, so that no second try makes a second person unseen.
        if (dynamic_cast<const EUnknownOutcome*>(&E)) {
            ADOQuery1->Cancel();
            RunSearch(SearchInBackground);
        }
        return;
    }
    switch (AskAboutConflict(ConflictQuestion(*conflict))) {
    case TConflictAnswer::TakeRegisters:
        ADOQuery1->Cancel();
        RunSearch(SearchInBackground, [this, id = EditedId] {
            if (ADOQuery1->Active())
                ADOQuery1->Locate("ID", id, LocateOpts);
        });
        break;
    case TConflictAnswer::KeepMine:
        ADOQuery1->overwriteOnRetry();
        Action = daRetry;
        break;
    case TConflictAnswer::GoOnEditing: {
        // Back to the first field asked about: the save took the keyboard
        // to the list.
        const QString first = conflict->entries().empty() ? QString() : conflict->entries().front().fieldName;
        QWidget* box = first == QLatin1String("Prezime")     ? static_cast<QWidget*>(DBEdit2)
                     : first == QLatin1String("ID_DRZAVA") ? static_cast<QWidget*>(DBLookupComboBox1)
                     : first == QLatin1String("ID_GRAD")   ? static_cast<QWidget*>(DBLookupComboBox2)
                                                           : static_cast<QWidget*>(DBEdit1);
        box->setFocus();
        break;
    }
    }
}

QString TForm1::ConflictQuestion(const EUpdateConflict& conflict)
{
    // A country or a city by its name too, as the lookup lists name it; a
    // city by the country given beside it.
    const auto named = [&](const EUpdateConflict::Entry& entry, bool typed) {
        const db::CellValue& value = typed ? entry.typed : entry.stored;
        QString shown = db::shownValue(entry.kind, value);
        std::optional<std::int32_t> country;
        for (const EUpdateConflict::Entry& other : conflict.entries())
            if (other.fieldName == QLatin1String("ID_DRZAVA") && !(typed ? other.typed : other.stored).null)
                country = (typed ? other.typed : other.stored).integer;
        if (!country && !ADOQuery1ID_DRZAVA->IsNull())
            country = ADOQuery1ID_DRZAVA->AsInteger();
        QString name;
        if (!value.null && entry.fieldName == QLatin1String("ID_DRZAVA"))
            name = LookupName(ADOTable1, {{"ID", value.integer}});
        else if (!value.null && country && entry.fieldName == QLatin1String("ID_GRAD"))
            name = LookupName(ADOTable2, {{"ID_DRZAVA", *country}, {"ID_GRAD", value.integer}});
        return name.isEmpty() ? shown : shown + QStringLiteral(" (\u2068") + name + QStringLiteral("\u2069)");
    };
    QString text = tr("Ovu osobu je u međuvremenu izmenio neko drugi (drugi korisnik ili program). Ništa još nije "
                      "upisano.");
    for (const EUpdateConflict::Entry& entry : conflict.entries())
        text += QStringLiteral("\n\n") + entry.label + QStringLiteral("\n    ")
              + tr("vi ste upisali: %1").arg(named(entry, true)) + QStringLiteral("\n    ")
              + tr("u registru je sada: %1").arg(named(entry, false));
    return text + QStringLiteral("\n\n")
         + tr("Uzmite verziju iz registra (vaša izmena se odbacuje), zadržite svoju izmenu (upisuje se preko njihove) "
              "ili nastavite izmenu.");
}

QString TForm1::LookupName(TDataSet* table, const std::vector<std::pair<const char*, std::int32_t>>& key)
{
    const int rows = table->displayRowCount();
    const int name = table->FieldByName("NAZIV")->Index();
    for (int row = 0; row < rows; ++row) {
        const bool match = std::all_of(key.begin(), key.end(), [&](const auto& part) {
            return table->displayText(row, table->FieldByName(part.first)->Index()) == std::to_string(part.second);
        });
        if (match)
            return QString::fromStdString(table->displayText(row, name));
    }
    return QString();
}

// A person is removed from the persons table itself, not through the joined
// list; the list is then rebuilt, and its own delete removes nothing more.
void TForm1::ADOQuery1BeforeDelete(TDataSet* /*DataSet*/)
{
    ADOTable3->Open();
    DeletedId = ADOQuery1->FieldByName("ID")->AsInteger();
    LocateOpts.clear();
    LocateOpts.include(loCaseInsensitive);
    // The person goes only as this desk saw them: changed at another desk
    // meanwhile, they stay, and the list shows them as they are now.
    bool changedElsewhere = false;
    if (ADOTable3->Locate("ID", DeletedId, LocateOpts)) {
        changedElsewhere = !SameAsShown(ADOTable3);
        if (!changedElsewhere) {
            const PersonValues deleted = ShownValues();
            ADOTable3->Delete();
            UndoSteps.push_back({DeletedId, deleted, std::nullopt});
        }
    } else {
        ShowMessage(tr("Ne mogu da pronadjem ID:") + QString::number(DeletedId));
    }
    ADOTable3->Close();
    RunSearch();
    if (changedElsewhere) {
        if (ADOQuery1->Active())
            ADOQuery1->Locate("ID", DeletedId, LocateOpts);
        ShowMessage(tr("Nije obrisano: ovu osobu je u međuvremenu izmenio neko drugi. Spisak sada pokazuje kako je "
                       "upisana; obrišite je ponovo ako i dalje treba."));
    }
}

bool TForm1::SameAsShown(TDataSet* persons)
{
    const std::initializer_list<const TField*> shownFields
        = {ADOQuery1ID_DRZAVA, ADOQuery1ID_GRAD, ADOQuery1Ime, ADOQuery1Prezime};
    for (const TField* shown : shownFields) {
        const TField* stored = persons->FieldByName(shown->FieldName());
        if (stored->IsNull() != shown->IsNull() || stored->AsString() != shown->AsString())
            return false;
    }
    return true;
}

void TForm1::ADOQuery1DeleteError(TDataSet* /*DataSet*/, Exception& /*E*/, TDataAction& Action)
{
    Action = daAbort;
}

// Before the navigator acts, the keyboard goes where the user works next.
void TForm1::DBNavigator1BeforeAction(QObject* /*Sender*/, TNavigateBtn Button)
{
    // Moving the focus hands over what was typed in the box left, which
    // cannot fail loudly; what fails in reading the lookups again is shown
    // here, and the action goes on.
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
    // F5 reads the list as a search does, and shows the countries and
    // cities as the register has them now too; a list left closed reads
    // them after itself, so that a register still out of reach costs the
    // one message a search costs.
    if (Button == nbRefresh && ADOQuery1->Active()) {
        DBNavigator1->RefreshInBackground = SearchInBackground;
        BusyDelay->start();
        guarded([this] { RefreshLookups(true); });
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
