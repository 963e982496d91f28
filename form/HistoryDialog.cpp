#include "HistoryDialog.h"

#include "Messages.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { When, Who, What, Number, FirstName, Surname, City, Country, Columns };

QString shownWho(const PersonChange& change)
{
    if (change.who.null)
        return THistoryDialog::tr("drugi program");
    QString who = QString::fromStdString(change.who.text);
    if (!change.program.null && change.program.text != "kolvara")
        who += QStringLiteral(" (%1)").arg(QString::fromStdString(change.program.text));
    return who;
}

QString shownKind(char kind)
{
    switch (kind) {
    case 'I': return THistoryDialog::tr("dodata");
    case 'D': return THistoryDialog::tr("obrisana");
    case 'E': return THistoryDialog::tr("pre toga");
    default: return THistoryDialog::tr("izmenjena");
    }
}

// One change as a row of the list: when, who, what, and the person as the
// change left them (as they were, for a deletion).
void fillItem(QTreeWidgetItem* item, const PersonChange& change, const THistoryDialog::PlaceName& placeName)
{
    if (change.kind != 'E') {
        item->setText(When, shownMoment(change.at));
        item->setText(Who, shownWho(change));
    }
    item->setText(What, shownKind(change.kind));
    item->setText(Number, QString::number(change.person));
    const std::optional<PersonValues>& shown = change.after ? change.after : change.before;
    if (shown) {
        item->setText(FirstName, QString::fromStdString(shown->firstName.text));
        item->setText(Surname, QString::fromStdString(shown->surname.text));
        const QString country = shown->country.null ? QString() : placeName(false, shown->country.integer, 0);
        const QString city = shown->country.null || shown->city.null
            ? QString()
            : placeName(true, shown->country.integer, shown->city.integer);
        item->setText(Country, country.isEmpty() ? db::shownValue(FieldKind::Integer, shown->country) : country);
        item->setText(City, city.isEmpty() ? db::shownValue(FieldKind::Integer, shown->city) : city);
    }
    // What the change changed, in bold.
    if (change.kind == 'U' && change.before && change.after) {
        const std::pair<Column, bool> fields[] = {
            {FirstName, change.before->firstName != change.after->firstName},
            {Surname, change.before->surname != change.after->surname},
            {City, change.before->city != change.after->city || change.before->country != change.after->country},
            {Country, change.before->country != change.after->country}};
        for (const auto& [column, changed] : fields)
            if (changed) {
                QFont bold = item->font(column);
                bold.setBold(true);
                item->setFont(column, bold);
            }
    }
}

} // namespace

QString shownMoment(const QDateTime& at)
{
    const QLocale locale;
    QString format = locale.dateTimeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(at.toLocalTime(), format);
}

THistoryDialog::THistoryDialog(std::vector<PersonChange> changes, bool deleted, bool mayRestore, PlaceName placeName,
                               QWidget* parent)
    : QDialog(parent), m_changes(std::move(changes)), m_deleted(deleted), m_mayRestore(mayRestore)
{
    setObjectName(deleted ? "DeletedPersons" : "PersonHistory");
    // The person as they were before the oldest change recorded (made
    // before the history, or by the tool that made the register) is a
    // version to take back too.
    if (!deleted && !m_changes.empty() && m_changes.back().kind != 'I' && m_changes.back().before) {
        PersonChange earlier;
        earlier.kind = 'E';
        earlier.person = m_changes.back().person;
        earlier.after = m_changes.back().before;
        m_changes.push_back(earlier);
    }
    setWindowTitle(deleted ? tr("Obrisane osobe") : tr("Istorija izmena"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(this);
    layout->addWidget(caption);
    m_view = new QTreeWidget(this);
    m_view->setObjectName("HistoryList");
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setHeaderLabels({tr("Kada"), tr("Ko"), tr("Izmena"), tr("Broj"), History::label(2), History::label(3),
                             History::label(1), History::label(0)});
    caption->setText(deleted ? tr("&Osobe obrisane iz registra, najskorije prve:")
                             : tr("&Izmene ove osobe, najskorije prve:"));
    caption->setBuddy(m_view);
    m_view->setAccessibleName(caption->text().remove(QLatin1Char('&')));
    for (const PersonChange& change : m_changes) {
        fillItem(new QTreeWidgetItem(m_view), change, placeName);
    }
    m_view->header()->setStretchLastSection(false);
    for (int c = 0; c < Columns; ++c)
        m_view->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    layout->addWidget(m_view);

    if (!m_mayRestore) {
        auto* notice = new QLabel(tr("Ovaj radni sto sme samo da čita osobe: ovde ništa ne može da se vrati."), this);
        notice->setObjectName("ReadOnlyNotice");
        notice->setWordWrap(true);
        layout->addWidget(notice);
    } else if (m_changes.empty()) {
        layout->addWidget(new QLabel(deleted ? tr("Nijedna obrisana osoba nije zabeležena.")
                                             : tr("Za ovu osobu nije zabeležena nijedna izmena."),
                                     this));
    }
    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(deleted ? tr("&Vrati osobu") : tr("&Vrati ovu verziju"),
                                   QDialogButtonBox::AcceptRole);
    m_restore->setObjectName("RestoreVersion");
    buttons->addButton(tr("&Zatvori"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_view, &QTreeWidget::currentItemChanged, this, [this] { updateButton(); });
    connect(m_view, &QTreeWidget::itemActivated, this, [this] {
        if (m_restore->isEnabled())
            accept();
    });
    if (m_view->topLevelItemCount() > 0)
        m_view->setCurrentItem(m_view->topLevelItem(0));
    updateButton();
    resize(sizeHint().expandedTo(QSize(fontMetrics().averageCharWidth() * 100, fontMetrics().height() * 22)));
}

const PersonChange* THistoryDialog::chosen() const
{
    const int row = m_view->currentItem() ? m_view->indexOfTopLevelItem(m_view->currentItem()) : -1;
    return row >= 0 && row < int(m_changes.size()) ? &m_changes[std::size_t(row)] : nullptr;
}

void THistoryDialog::updateButton()
{
    const PersonChange* change = chosen();
    // A deletion has no version to take back; the newest version is the
    // person as they are.
    const bool current = !m_deleted && change == (m_changes.empty() ? nullptr : &m_changes.front());
    m_restore->setEnabled(m_mayRestore && change && (m_deleted || (change->after && !current)));
}

void THistoryDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_view->setFocus();
}
