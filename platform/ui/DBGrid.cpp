#include "DBGrid.h"

#include "Application.h"
#include "Field.h"

#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTimer>

// ---------------------------------------------------------------- model

namespace {

// The indicator column's mark on the current row: browsed, being edited, or
// a new row.
const TDataSetState MarkedStates[] = {dsBrowse, dsEdit, dsInsert};

QString indicatorMark(TDataSetState state)
{
    switch (state) {
    case dsEdit: return QStringLiteral("I");
    case dsInsert: return QStringLiteral("*");
    default: return QStringLiteral("▶");
    }
}

} // namespace

void TDataSetModel::setDataSource(TDataSource* source)
{
    beginResetModel();
    if (m_source)
        m_source->removeLink(this);
    m_source = source;
    if (m_source)
        m_source->addLink(this);
    m_rows = liveRowCount();
    m_columns = liveColumnCount();
    endResetModel();
    m_shownCurrent = currentRow();
    m_shownState = dataSet() ? dataSet()->State() : dsInactive;
    emit currentRowChanged(m_shownCurrent);
}

int TDataSetModel::currentRow() const
{
    TDataSet* ds = dataSet();
    if (!ds || !ds->Active())
        return -1;
    if (ds->State() == dsInsert)
        return ds->insertIndex();
    return ds->RecNo() - 1;
}

int TDataSetModel::liveRowCount() const
{
    TDataSet* ds = dataSet();
    return ds ? ds->displayRowCount() : 0;
}

int TDataSetModel::liveColumnCount() const
{
    TDataSet* ds = dataSet();
    return ds ? ds->Fields().size() : 0;
}

// The view is told the rows and columns the model has said it has, which may
// lag behind the data set's between a change and its notification.
int TDataSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TDataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

// New rows in the data set: the view keeps its columns (and their widths),
// gains or loses rows at the end and paints again what it shows. A reset
// would throw away and rebuild both headers and the scroll range even when
// a search brings back as many rows as before.
void TDataSetModel::takeNewRows()
{
    const int rows = liveRowCount();
    const int columns = liveColumnCount();
    m_reshaping = true;
    if (columns != m_columns) {
        beginResetModel();
        m_rows = rows;
        m_columns = columns;
        endResetModel();
    } else {
        const int kept = std::min(rows, m_rows);
        if (rows < m_rows) {
            beginRemoveRows({}, rows, m_rows - 1);
            m_rows = rows;
            endRemoveRows();
        } else if (rows > m_rows) {
            beginInsertRows({}, m_rows, rows - 1);
            m_rows = rows;
            endInsertRows();
        }
        if (kept > 0 && columns > 0)
            emit dataChanged(index(0, 0), index(kept - 1, columns - 1));
    }
    m_reshaping = false;
}

QVariant TDataSetModel::data(const QModelIndex& index, int role) const
{
    TDataSet* ds = dataSet();
    if (!ds || !index.isValid() || index.row() >= ds->displayRowCount() || index.column() >= ds->Fields().size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return QString::fromStdString(ds->displayText(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole)
        return ds->Fields()[index.column()]->kind() == FieldKind::Integer
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    TDataSet* ds = dataSet();
    if (!ds)
        return {};
    if (orientation == Qt::Horizontal) {
        if ((role == Qt::DisplayRole || role == Qt::AccessibleTextRole) && section < ds->Fields().size())
            return ds->Fields()[section]->FieldName();
        return {};
    }
    // The indicator column: the current row, and what is happening to it.
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    if (section != currentRow())
        return QString();
    if (role == Qt::DisplayRole)
        return indicatorMark(ds->State());
    switch (ds->State()) {
    case dsEdit: return QStringLiteral("izmena");
    case dsInsert: return QStringLiteral("novi red");
    default: return QStringLiteral("tekući red");
    }
}

void TDataSetModel::dataEvent(TDataEvent event, TField* /*field*/)
{
    switch (event) {
    case TDataEvent::ActiveChange:
    case TDataEvent::DataSetChange:
        takeNewRows();
        break;
    case TDataEvent::Scroll:
    case TDataEvent::StateChange:
        break;
    case TDataEvent::RecordChange:
    case TDataEvent::FieldChange: {
        const int row = currentRow();
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        break;
    }
    case TDataEvent::UpdateRecord:
        return;
    }
    // The indicator column changes only where the mark was and where it is
    // now, and only if it moved or changed its kind. (Telling the view of a
    // header change makes it lay out both headers again.)
    const int row = currentRow();
    const int before = m_shownCurrent;
    const TDataSetState state = dataSet() ? dataSet()->State() : dsInactive;
    if (row != before || state != m_shownState) {
        m_shownCurrent = row;
        m_shownState = state;
        if (before >= 0 && before < rowCount())
            emit headerDataChanged(Qt::Vertical, before, before);
        if (row >= 0 && row < rowCount() && row != before)
            emit headerDataChanged(Qt::Vertical, row, row);
    }
    emit currentRowChanged(row);
}

// ---------------------------------------------------------------- cells

// Paints the list's cells: the background (highlighted on the current row),
// then the text in one line, cut off at the cell's edge. The list is painted
// again after every keystroke in a search box, and laying text out is most of
// a paint: the texts of a register repeat (names, countries, cities), so their
// laid-out forms are kept and reused.
class TDBGrid::CellPainter : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QPalette::ColorGroup group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
        const bool selected = option.state & QStyle::State_Selected;
        if (selected)
            painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        const QString text = index.data(Qt::DisplayRole).toString();
        if (text.isEmpty())
            return;
        const QStaticText& laidOut = layout(text, option.font);
        const QSizeF size = laidOut.size();
        const QRect cell = option.rect.adjusted(2, 0, -2, 0);
        const bool right = index.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight;
        const QPointF at(right ? cell.right() + 1 - size.width() : cell.left(),
                         cell.top() + (cell.height() - size.height()) / 2);
        painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        if (size.width() > cell.width()) {
            painter->save();
            painter->setClipRect(cell, Qt::IntersectClip);
            painter->drawStaticText(at, laidOut);
            painter->restore();
        } else {
            painter->drawStaticText(at, laidOut);
        }
    }

private:
    const QStaticText& layout(const QString& text, const QFont& font) const
    {
        if (font != m_font) {
            m_cache.clear();
            m_font = font;
        }
        auto it = m_cache.find(text);
        if (it == m_cache.end()) {
            if (m_cache.size() > 4096)
                m_cache.clear(); // a list of all different texts: start afresh
            QStaticText laidOut(text);
            laidOut.setTextFormat(Qt::PlainText);
            laidOut.setPerformanceHint(QStaticText::AggressiveCaching);
            laidOut.prepare(QTransform(), font);
            it = m_cache.insert(text, laidOut);
        }
        return it.value();
    }

    mutable QFont m_font;
    mutable QHash<QString, QStaticText> m_cache;
};

// ---------------------------------------------------------------- indicator

namespace {

// The indicator column holds one of its marks or nothing, so its width
// depends on the font and style alone. Qt's header measures up to 200 of its
// rows to find it, and does so again every time the current row moves (the
// mark moves with it): this one measures the marks once.
class IndicatorHeader : public QHeaderView {
public:
    explicit IndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}

    QSize sizeHint() const override
    {
        if (!m_hint.isValid()) {
            int width = minimumWidth();
            for (TDataSetState state : MarkedStates) {
                QStyleOptionHeader option;
                initStyleOption(&option);
                option.text = indicatorMark(state);
                option.section = 0;
                width = std::max(width, style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this).width());
            }
            m_hint = QSize(width, defaultSectionSize());
        }
        return m_hint;
    }

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            m_hint = QSize();
        QHeaderView::changeEvent(event);
    }

private:
    mutable QSize m_hint;
};

} // namespace

// ---------------------------------------------------------------- view

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), m_model(this), m_cellPainter(new CellPainter(this))
{
    setVerticalHeader(new IndicatorHeader(this));
    setModel(&m_model);
    setItemDelegate(m_cellPainter);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setAccessibleName(tr("Lista osoba"));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumWidth(fontMetrics().horizontalAdvance(indicatorMark(dsBrowse)) + 8);
    verticalHeader()->setHighlightSections(false);
    // The current row stays shown as selected when the list has no focus.
    QPalette p = palette();
    p.setBrush(QPalette::Inactive, QPalette::Highlight, p.brush(QPalette::Active, QPalette::Highlight));
    p.setBrush(QPalette::Inactive, QPalette::HighlightedText, p.brush(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    connect(&m_model, &TDataSetModel::currentRowChanged, this, &TDBGrid::showCurrentRow);
}

void TDBGrid::bindData(QObject* form)
{
    setDataSource(findDataSource(form, m_sourceName, this));
}

void TDBGrid::showCurrentRow(int row)
{
    m_following = true;
    if (row < 0) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        const int column = std::max(currentIndex().column(), 0);
        const QModelIndex target = m_model.index(row, column);
        if (target.isValid()) {
            selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            scrollTo(target);
        }
    }
    m_following = false;
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_following || m_model.reshaping() || !current.isValid() || current.row() == previous.row())
        return;
    TDataSet* ds = m_model.dataSet();
    if (!ds || !ds->Active() || current.row() == ds->RecNo() - 1)
        return;
    // The user moved: take the data set there once the view has finished
    // its own move (the move may save an edited row and rebuild the list).
    const int row = current.row();
    QTimer::singleShot(0, this, [this, row] {
        guarded([this, row] {
            TDataSet* ds = m_model.dataSet();
            if (ds && ds->Active() && row < ds->RecordCount())
                ds->setRecNo(row + 1);
        });
        showCurrentRow(m_model.dataSet() && m_model.dataSet()->Active() ? m_model.dataSet()->RecNo() - 1 : -1);
    });
}

bool TDBGrid::focusNextPrevChild(bool next)
{
    const QModelIndex current = currentIndex();
    const int column = current.column() + (next ? 1 : -1);
    if (tabKeyNavigation() && current.isValid() && column >= 0 && column < m_model.columnCount()) {
        setCurrentIndex(m_model.index(current.row(), column));
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void TDBGrid::keyPressEvent(QKeyEvent* event)
{
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
        event->accept();
        return;
    }
    if (tab) {
        focusNextPrevChild(event->key() == Qt::Key_Tab);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDBGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    // Leaving the list drops a new row that nothing was typed into yet.
    TDataSet* ds = m_model.dataSet();
    if (ds && ds->State() == dsInsert && !ds->Modified())
        guarded([ds] { ds->Cancel(); });
}
