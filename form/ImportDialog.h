#pragma once
// Persons brought in from a list, from the window: two steps before
// anything is written. First which column holds what (as the titles say,
// or as the person picks when they do not say it); then what the import
// would do (new persons, those already there, places not in the register,
// rows refused, each with its rows), with the choice of adding the places
// and the look-alikes. Nothing is written until the person says so; the
// window then writes it (PersonsImport::write) with progress and a cancel.
//
// Keyboard first: every choice has its mnemonic, Enter goes on, Escape
// gives up. A desk that may not add places sees that choice off, and why.

#include "PersonsImport.h"

#include <QWizard>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;

class TImportDialog : public QWizard {
    Q_OBJECT
public:
    // import: the list read, its columns as the titles say; mayAddPlaces:
    // whether this desk may add countries and cities. Reads the register
    // for the preview; throws Exception when it cannot.
    // unclear: why the titles did not say which column is which, or "".
    TImportDialog(PersonsImport& import, const QString& unclear, bool mayAddPlaces, QWidget* parent);

    ImportChoices choices() const;
    // The preview as it was shown last.
    const ImportPlan& shownPlan() const { return m_plan; }

protected:
    void initializePage(int id) override;

private:
    void showPlan();
    QString planText() const;

    PersonsImport& m_import;
    QComboBox* m_columns[4] = {};
    QCheckBox* m_addPlaces = nullptr;
    QCheckBox* m_addExisting = nullptr;
    QPlainTextEdit* m_preview = nullptr;
    ImportPlan m_plan;
};
