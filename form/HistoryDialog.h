#pragma once
// A list of a register's recorded changes of persons over the window: one
// person's history, newest first, or the persons deleted and not back
// since. Each row tells when, who (with which program, where it is not this
// one), what happened, and the person's values after it (a deletion: the
// values deleted), the ones changed by it in bold; countries and cities by
// name. A person's history ends with the version before the oldest change
// recorded, which may be taken back too.
//
// Keyboard first: the list has the focus; Enter or the button (Alt+V)
// takes the chosen version back (a deleted person: brings them back),
// Escape closes. A desk that may not change persons sees the list and is
// told why it cannot take anything back. The dialog only chooses: the
// window makes the change, as a save.

#include "History.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

class THistoryDialog : public QDialog {
    Q_OBJECT
public:
    // The name of a country (city: false) or of a city of a country, as
    // the window's lists have them; empty when they have none.
    using PlaceName = std::function<QString(bool city, std::int32_t country, std::int32_t number)>;
    // deleted: the list is of deleted persons, else of one person's history.
    THistoryDialog(std::vector<PersonChange> changes, bool deleted, bool mayRestore, PlaceName placeName,
                   QWidget* parent);

    // The change whose version was chosen to be taken back, after exec()
    // accepted.
    const PersonChange* chosen() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateButton();

    std::vector<PersonChange> m_changes;
    bool m_deleted;
    bool m_mayRestore;
    QTreeWidget* m_view = nullptr;
    QPushButton* m_restore = nullptr;
};

// When a change was made, in the desktop's own way of writing a date and a
// time, its year written whole.
QString shownMoment(const QDateTime& at);
