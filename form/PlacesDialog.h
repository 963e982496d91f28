#pragma once
// The register's countries, or one country's cities, kept from the window:
// a list of names with how many persons live in each, and add, rename,
// remove and merge, each one change of the register (see Places.h). The
// cities' list has a choice of country above it.
//
// Keyboard first: Insert adds, F2 renames, Delete removes, Ctrl+M merges
// (each also a button with its mnemonic), Escape closes. A desk that may
// not change the list sees it with its counts and is told why.
//
// What the person did is kept for the window, which shows it at once: the
// place added last, and every merge (what was merged into what).

#include "Places.h"

#include <QDialog>

#include <optional>
#include <utility>
#include <vector>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class TPlacesDialog : public QDialog {
    Q_OBJECT
public:
    // cities: the cities of country, else every country. Reads the list
    // at once; throws Exception when it cannot be read.
    TPlacesDialog(Places& places, bool cities, std::int32_t country, QWidget* parent);

    // Opens the question that adds a place, with name already typed.
    void addNamed(const QString& name);

    // Whether the register's places changed, here or (as found out here) at
    // another desk.
    bool changed() const { return m_changed || m_changedElsewhere; }
    const std::optional<Place>& added() const { return m_added; }
    const std::vector<std::pair<Place, Place>>& merged() const { return m_merged; }
    // The country whose cities are shown.
    std::int32_t country() const { return m_country; }

protected:
    // The keyboard starts in the list, whatever the desktop gives focus to.
    void showEvent(QShowEvent* event) override;

private:
    // Reads the list again (the countries' choice too), standing on the
    // place with that key where it still is.
    void reload(std::optional<std::pair<std::int32_t, std::int32_t>> standOn = {});
    // The place the list stands on, if any.
    const Place* current() const;
    void add(const QString& typed);
    void renameCurrent();
    void removeCurrent();
    void mergeCurrent();
    // Runs a change; what it refuses is shown, and the list read again when
    // the register was not as this desk had read it.
    template <typename Change> void change(Change&& change);
    void updateButtons();
    // The dialog's buttons, each with the list's own key for it.
    QDialogButtonBox* makeButtons();
    QString placeWord(const Place& place, bool withPersons) const;

    Places& m_places;
    const bool m_cities;
    std::int32_t m_country;
    std::vector<Place> m_list;      // as shown, in the list's order
    std::vector<Place> m_countries; // the country choice, cities only
    QComboBox* m_countryChoice = nullptr;
    QTreeWidget* m_view = nullptr;
    QLabel* m_notice = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_merge = nullptr;
    bool m_mayChange = false;
    bool m_mayMerge = false;
    bool m_changed = false;
    bool m_changedElsewhere = false;
    std::optional<Place> m_added;
    std::vector<std::pair<Place, Place>> m_merged;
};
