#include "ImportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWizardPage>

namespace {

enum Page { ColumnsPage, PreviewPage };

// The columns page goes on only with a column of first names.
class ColumnsStep : public QWizardPage {
public:
    QComboBox* firstNames = nullptr;
    bool isComplete() const override { return firstNames && firstNames->currentIndex() > 0; }
};

} // namespace

TImportDialog::TImportDialog(PersonsImport& import, const QString& unclear, bool mayAddPlaces, QWidget* parent)
    : QWizard(parent), m_import(import)
{
    const list_import::ListFile& list = import.list();
    setWindowTitle(tr("Uvezi osobe"));
    setOption(QWizard::NoBackButtonOnStartPage);
    setButtonText(QWizard::FinishButton, tr("&Uvezi"));
    setButtonText(QWizard::NextButton, tr("&Dalje >"));
    setButtonText(QWizard::BackButton, tr("< &Nazad"));
    setButtonText(QWizard::CancelButton, tr("Otkaži"));

    // Which column holds what.
    auto* columns = new ColumnsStep;
    columns->setTitle(tr("Kolone liste"));
    columns->setSubTitle(unclear.isEmpty() ? tr("Ovako su kolone prepoznate po naslovima; promenite ako nije tako.")
                                           : unclear);
    auto* form = new QFormLayout(columns);
    const ImportColumns& found = import.columns();
    const QString roles[4] = {tr("&Ime:"), tr("&Prezime:"), tr("&Država (naziv ili broj):"),
                              tr("&Grad (naziv ili broj):")};
    const int chosen[4] = {found.firstName, found.surname, found.country >= 0 ? found.country : found.countryNumber,
                           found.city >= 0 ? found.city : found.cityNumber};
    for (int role = 0; role < 4; ++role) {
        auto* box = new QComboBox;
        box->addItem(tr("(nema)"));
        for (const std::string& title : list.rows.empty() ? std::vector<std::string>() : list.rows.front())
            box->addItem(QString::fromStdString(title));
        box->setCurrentIndex(chosen[role] + 1);
        // A screen reader says what the box is for, then what it holds.
        box->setAccessibleName(QString(roles[role]).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        auto* label = new QLabel(roles[role]);
        label->setBuddy(box);
        form->addRow(label, box);
        m_columns[role] = box;
        connect(box, &QComboBox::currentIndexChanged, columns, &QWizardPage::completeChanged);
    }
    columns->firstNames = m_columns[0];
    setPage(ColumnsPage, columns);

    // What the import would do.
    auto* preview = new QWizardPage;
    preview->setTitle(tr("Šta će biti upisano"));
    preview->setSubTitle(tr("Ništa još nije upisano; „Uvezi” upisuje sve u jednoj izmeni registra."));
    auto* layout = new QVBoxLayout(preview);
    m_preview = new QPlainTextEdit;
    m_preview->setReadOnly(true);
    m_preview->setAccessibleName(tr("Pregled uvoza"));
    m_preview->setTabChangesFocus(true);
    m_addPlaces = new QCheckBox(tr("Dodaj &države i gradove kojih nema u registru"));
    m_addPlaces->setEnabled(mayAddPlaces);
    if (!mayAddPlaces)
        m_addPlaces->setToolTip(tr("Ovde ne smete da dodajete države i gradove."));
    m_addExisting = new QCheckBox(tr("Upiši i osobe &koje već postoje"));
    layout->addWidget(m_preview);
    layout->addWidget(m_addPlaces);
    layout->addWidget(m_addExisting);
    connect(m_addPlaces, &QCheckBox::toggled, this, &TImportDialog::showPlan);
    connect(m_addExisting, &QCheckBox::toggled, this, &TImportDialog::showPlan);
    setPage(PreviewPage, preview);
    setStartId(ColumnsPage);
}

ImportChoices TImportDialog::choices() const
{
    return {m_addPlaces->isChecked(), m_addExisting->isChecked()};
}

void TImportDialog::initializePage(int id)
{
    if (id == PreviewPage) {
        m_import.setColumns(PersonsImport::columnsChosen(m_import.list(), m_columns[0]->currentIndex() - 1,
                                                         m_columns[1]->currentIndex() - 1,
                                                         m_columns[2]->currentIndex() - 1,
                                                         m_columns[3]->currentIndex() - 1));
        showPlan();
    }
    QWizard::initializePage(id);
}

void TImportDialog::showPlan()
{
    // Called by Qt (a page shown, a choice toggled): a register that cannot
    // be read says so in the preview, and nothing can be imported.
    try {
        m_plan = m_import.plan(choices());
        m_preview->setPlainText(planText());
        button(QWizard::FinishButton)->setEnabled(true);
    } catch (const Exception& failure) {
        m_plan = {};
        m_preview->setPlainText(QString::fromStdString(failure.Message()));
        button(QWizard::FinishButton)->setEnabled(false);
    }
}

QString TImportDialog::planText() const
{
    return planLines(m_plan, choices(), false).join(QLatin1Char('\n'));
}
