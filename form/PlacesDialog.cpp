#include "PlacesDialog.h"

#include "Application.h"
#include "Dialogs.h"

#include <QCollator>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Names in the order of the window's language, case aside, numbers as numbers.
void sortByName(std::vector<Place>& places)
{
    // The window writes Serbian in the Latin script: its names sort so too.
    const QLocale locale = QLocale().language() == QLocale::Serbian
                             ? QLocale(QLocale::Serbian, QLocale::LatinScript, QLocale::Serbia)
                             : QLocale();
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(places.begin(), places.end(), [&](const Place& a, const Place& b) {
        return collator.compare(a.shownName(), b.shownName()) < 0;
    });
}

} // namespace

TPlacesDialog::TPlacesDialog(Places& places, bool cities, std::int32_t country, QWidget* parent)
    : QDialog(parent), m_places(places), m_cities(cities), m_country(country)
{
    setWindowTitle(cities ? tr("Gradovi") : tr("Države"));
    auto* layout = new QVBoxLayout(this);
    if (cities) {
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(tr("Dr&žava:"), this);
        m_countryChoice = new QComboBox(this);
        m_countryChoice->setObjectName("CountryChoice");
        label->setBuddy(m_countryChoice);
        row->addWidget(label);
        row->addWidget(m_countryChoice, 1);
        layout->addLayout(row);
        connect(m_countryChoice, &QComboBox::activated, this, [this](int index) {
            if (index < 0 || std::size_t(index) >= m_countries.size())
                return;
            m_country = m_countries[std::size_t(index)].country;
            guarded([this] { reload(); });
        });
    }
    auto* listLabel = new QLabel(cities ? tr("Gradovi i &broj osoba u svakom:") : tr("Države i &broj osoba u svakoj:"),
                                 this);
    m_view = new QTreeWidget(this);
    m_view->setObjectName("PlacesList");
    listLabel->setBuddy(m_view);
    m_view->setColumnCount(2);
    m_view->setHeaderLabels({tr("Naziv"), tr("Osoba")});
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_view->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_view->setAccessibleName(listLabel->text().remove('&'));
    layout->addWidget(listLabel);
    layout->addWidget(m_view, 1);
    m_notice = new QLabel(this);
    m_notice->setObjectName("ReadOnlyNotice");
    m_notice->setWordWrap(true);
    m_notice->hide();
    layout->addWidget(m_notice);

    layout->addWidget(makeButtons());
    connect(m_view, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });

    m_mayChange = m_places.mayChange(cities);
    m_mayMerge = m_places.mayMerge(cities);
    if (!m_mayChange) {
        m_notice->setText(tr("Ovaj radni sto sme samo da čita države i gradove. Izmene može da pravi radni sto kome "
                             "je vlasnik registra to dozvolio."));
        m_notice->show();
    }
    reload();
    resize(sizeHint().expandedTo(QSize(fontMetrics().averageCharWidth() * 48, fontMetrics().height() * 24)));
}

QDialogButtonBox* TPlacesDialog::makeButtons()
{
    auto* buttons = new QDialogButtonBox(this);
    m_add = buttons->addButton(tr("&Dodaj…"), QDialogButtonBox::ActionRole);
    m_rename = buttons->addButton(tr("&Preimenuj…"), QDialogButtonBox::ActionRole);
    m_remove = buttons->addButton(tr("&Ukloni…"), QDialogButtonBox::ActionRole);
    m_merge = buttons->addButton(tr("&Spoji s…"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(tr("&Zatvori"), QDialogButtonBox::RejectRole);
    for (QPushButton* button : {m_add, m_rename, m_remove, m_merge, close})
        button->setAutoDefault(false);
    m_add->setObjectName("AddPlace");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_add, &QPushButton::clicked, this, [this] { add(QString()); });
    connect(m_rename, &QPushButton::clicked, this, [this] { renameCurrent(); });
    connect(m_remove, &QPushButton::clicked, this, [this] { removeCurrent(); });
    connect(m_merge, &QPushButton::clicked, this, [this] { mergeCurrent(); });
    // The list's own keys for the same.
    const auto key = [this](QKeySequence keys, QPushButton* button) {
        auto* shortcut = new QShortcut(keys, m_view, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                button->click();
        });
        button->setToolTip(keys.toString(QKeySequence::NativeText));
    };
    key(QKeySequence(Qt::Key_Insert), m_add);
    key(QKeySequence(Qt::Key_F2), m_rename);
    key(QKeySequence(Qt::Key_Delete), m_remove);
    key(QKeySequence(Qt::CTRL | Qt::Key_M), m_merge);
    return buttons;
}

void TPlacesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_view->setFocus(Qt::OtherFocusReason);
}

void TPlacesDialog::reload(std::optional<std::pair<std::int32_t, std::int32_t>> standOn)
{
    if (!standOn)
        if (const Place* place = current())
            standOn = std::pair{place->country, place->number};
    if (m_cities) {
        m_countries = m_places.listed(false, 0);
        sortByName(m_countries);
        m_countryChoice->clear();
        int at = -1;
        for (std::size_t i = 0; i < m_countries.size(); ++i) {
            m_countryChoice->addItem(m_countries[i].shownName());
            if (m_countries[i].country == m_country)
                at = int(i);
        }
        if (at < 0 && !m_countries.empty()) { // no country yet: the first
            at = 0;
            m_country = m_countries.front().country;
        }
        m_countryChoice->setCurrentIndex(at);
        m_view->setAccessibleName(at < 0 ? tr("Gradovi") : tr("Gradovi države %1").arg(m_countries[std::size_t(at)].shownName()));
    }
    m_list = m_cities ? m_places.cities(m_country) : m_places.countries();
    sortByName(m_list);
    m_view->clear();
    QTreeWidgetItem* stand = nullptr;
    const QLocale locale;
    for (const Place& place : m_list) {
        auto* item = new QTreeWidgetItem(m_view, {place.shownName(), locale.toString(qlonglong(place.persons))});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        if (standOn && standOn->first == place.country && standOn->second == place.number)
            stand = item;
    }
    m_view->setCurrentItem(stand ? stand : m_view->topLevelItem(0));
    updateButtons();
}

const Place* TPlacesDialog::current() const
{
    const int index = m_view->indexOfTopLevelItem(m_view->currentItem());
    return index >= 0 && std::size_t(index) < m_list.size() ? &m_list[std::size_t(index)] : nullptr;
}

void TPlacesDialog::updateButtons()
{
    const bool some = current() != nullptr;
    m_add->setEnabled(m_mayChange && (!m_cities || m_countryChoice->currentIndex() >= 0));
    m_rename->setEnabled(m_mayChange && some);
    m_remove->setEnabled(m_mayChange && some);
    m_merge->setEnabled(m_mayMerge && some && m_list.size() > 1);
}

QString TPlacesDialog::placeWord(const Place& place, bool withPersons) const
{
    const QString name = db::shownValue(FieldKind::Text, place.name);
    return withPersons ? tr("%1 (osoba: %2)").arg(name, QLocale().toString(qlonglong(place.persons))) : name;
}

template <typename Change> void TPlacesDialog::change(Change&& change)
{
    try {
        change();
    } catch (const EPlaceChanged& E) {
        m_changedElsewhere = true;
        ShowMessage(E.Message());
        guarded([this] { reload(); });
    } catch (const EPlaceGone& E) {
        m_changedElsewhere = true;
        ShowMessage(E.Message());
        guarded([this] { reload(); });
    } catch (const Exception& E) {
        ShowMessage(E.Message());
    }
}

void TPlacesDialog::addNamed(const QString& name)
{
    add(name);
}

void TPlacesDialog::add(const QString& typed)
{
    QString name = typed;
    QString country;
    if (m_cities && m_countryChoice->currentIndex() >= 0)
        country = m_countryChoice->currentText();
    for (;;) {
        bool ok = false;
        name = QInputDialog::getText(this, m_cities ? tr("Novi grad") : tr("Nova država"),
                                     m_cities ? tr("Naziv novog grada u državi %1:").arg(country)
                                              : tr("Naziv nove države:"),
                                     QLineEdit::Normal, name, &ok);
        if (!ok)
            return;
        bool again = false;
        change([&] {
            try {
                const Place place = m_places.add(m_cities, m_country, name.toStdString());
                m_added = place;
                m_changed = true;
                reload(std::pair{place.country, place.number});
            } catch (const EPlaceGone&) {
                throw;
            } catch (const Exception&) {
                again = true; // the name is asked again, as typed
                throw;
            }
        });
        if (!again)
            return;
    }
}

void TPlacesDialog::renameCurrent()
{
    const Place* shown = current();
    if (!shown)
        return;
    const Place seen = *shown;
    QString name = seen.shownName();
    std::optional<db::CellValue> theirs;
    for (;;) {
        bool ok = false;
        name = QInputDialog::getText(this, seen.city ? tr("Preimenovanje grada") : tr("Preimenovanje države"),
                                     tr("Novi naziv za %1:").arg(placeWord(seen, false)), QLineEdit::Normal, name, &ok);
        if (!ok || (name == seen.shownName() && !theirs))
            return;
        try {
            m_places.rename(seen, name.toStdString(), theirs ? &*theirs : nullptr);
            m_changed = true;
            guarded([&] { reload(std::pair{seen.country, seen.number}); });
            return;
        } catch (const EPlaceChanged& E) {
            // Renamed meanwhile at another desk: theirs, mine over theirs, or
            // the name asked again.
            m_changedElsewhere = true;
            const QString question
                = tr("Mesto %1 je u međuvremenu preimenovano na drugom radnom stolu. Ništa još nije upisano.\n\n"
                     "vi ste upisali: %2\nu registru je sada: %3")
                      .arg(placeWord(seen, false), db::shownValue(FieldKind::Text, db::CellValue{false, 0, name.toStdString()}),
                           db::shownValue(FieldKind::Text, E.now().name));
            switch (AskAboutConflict(question)) {
            case TConflictAnswer::TakeRegisters:
                guarded([&] { reload(); });
                return;
            case TConflictAnswer::KeepMine:
                // Over their name; refused again if it changes once more.
                change([&] {
                    m_places.rename(seen, name.toStdString(), &E.now().name);
                    m_changed = true;
                    reload(std::pair{seen.country, seen.number});
                });
                return;
            case TConflictAnswer::GoOnEditing:
                theirs = E.now().name; // the rename asked again goes over their name
                break;
            }
        } catch (const EPlaceGone& E) {
            m_changedElsewhere = true;
            ShowMessage(E.Message());
            guarded([&] { reload(); });
            return;
        } catch (const Exception& E) {
            ShowMessage(E.Message()); // the name is asked again, as typed
        }
    }
}

void TPlacesDialog::removeCurrent()
{
    const Place* shown = current();
    if (!shown)
        return;
    const Place seen = *shown;
    if (seen.persons > 0) {
        // Refused at once, as the register would: said in the same words.
        change([&] { m_places.remove(seen); });
        return;
    }
    const QString question = seen.city ? tr("Ukloniti grad %1 iz registra?").arg(placeWord(seen, false))
                                       : tr("Ukloniti državu %1 iz registra, s njenim gradovima?").arg(placeWord(seen, false));
    if (!AskToGoOn(question, tr("&Ukloni")))
        return;
    change([&] {
        m_places.remove(seen);
        m_changed = true;
        reload();
    });
}

void TPlacesDialog::mergeCurrent()
{
    const Place* shown = current();
    if (!shown)
        return;
    const Place from = *shown;
    std::vector<Place> others;
    QStringList items;
    for (const Place& place : m_list)
        if (place.number != from.number || place.country != from.country) {
            others.push_back(place);
            items << tr("%1, broj %2, osoba: %3")
                         .arg(place.shownName())
                         .arg(place.number)
                         .arg(QLocale().toString(qlonglong(place.persons)));
        }
    if (others.empty())
        return;
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        this, tr("Spajanje"),
        from.city ? tr("Grad %1 se spaja s gradom (njegove osobe prelaze u njega, a on se uklanja):").arg(placeWord(from, true))
                  : tr("Država %1 se spaja s državom (njene osobe i gradovi prelaze u nju, a ona se uklanja):")
                        .arg(placeWord(from, true)),
        items, 0, false, &ok);
    const qsizetype index = items.indexOf(chosen);
    if (!ok || index < 0)
        return;
    const Place into = others[std::size_t(index)];
    change([&] {
        m_places.merge(from, into);
        m_changed = true;
        m_merged.emplace_back(from, into);
        reload(std::pair{into.country, into.number});
    });
}
