#pragma once
// The list: a read-only table of a data source's rows, one column per field
// titled with the field's name, and an indicator column at the left that
// marks the current row (and whether it is being edited or inserted).
//
// Moving in the list moves the data set (and with it every control bound to
// the same source); moving the data set moves the list. The model reads only
// the rows the view paints, straight from the data set, so a list of a
// million rows costs no more to show than one of ten.

#include "DataControl.h"
#include "DataSource.h"

#include <QAbstractTableModel>
#include <QTableView>

class TDBGrid;

// The data set's rows as a table model.
class TDataSetModel : public QAbstractTableModel, public TDataLink {
    Q_OBJECT
public:
    explicit TDataSetModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setDataSource(TDataSource* source);
    TDataSource* dataSource() const { return m_source; }
    TDataSet* dataSet() const { return m_source ? m_source->DataSet() : nullptr; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void dataEvent(TDataEvent event, TField* field) override;

    // True while the model tells the view of new rows: a move of the view's
    // current row then is the view's own doing, not the user's.
    bool reshaping() const { return m_reshaping; }

signals:
    // The data set's current row, as a model row (-1 for none).
    void currentRowChanged(int row);

private:
    int currentRow() const;
    int liveRowCount() const;
    int liveColumnCount() const;
    void takeNewRows();
    TDataSource* m_source = nullptr;
    int m_shownCurrent = -1;
    TDataSetState m_shownState = dsInactive;
    int m_rows = 0;    // as the view was last told
    int m_columns = 0; // as the view was last told
    bool m_reshaping = false;
};

class TDBGrid : public QTableView, public TDataControl {
    Q_OBJECT
    Q_PROPERTY(QString dataSource READ dataSourceName WRITE setDataSourceName)
public:
    explicit TDBGrid(QWidget* parent = nullptr);

    // Column i of the list, to set its width in pixels.
    class TColumn {
    public:
        void setWidth(int width)
        {
            if (m_grid->columnWidth(m_index) != width)
                m_grid->setColumnWidth(m_index, width);
        }
        int Width() const { return m_grid->columnWidth(m_index); }

    private:
        friend class TDBGrid;
        TColumn(TDBGrid* grid, int index) : m_grid(grid), m_index(index) {}
        TDBGrid* m_grid;
        int m_index;
    };
    TColumn Columns(int index) { return TColumn(this, index); }

    QString dataSourceName() const { return m_sourceName; }
    void setDataSourceName(const QString& name) { m_sourceName = name; }
    void bindData(QObject* form) override;
    TDataSource* DataSource() const { return m_model.dataSource(); }
    void setDataSource(TDataSource* source) { m_model.setDataSource(source); }

protected:
    // Tab moves from column to column of the current row, and on from its
    // last column (Shift+Tab: back from its first) to the window's next
    // control; Ctrl+Tab and Ctrl+Shift+Tab always leave the list. Tab never
    // changes the current row.
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void showCurrentRow(int row);
    TDataSetModel m_model;
    class CellPainter;
    CellPainter* m_cellPainter;
    QString m_sourceName;
    bool m_following = false; // moving the view to where the data set is
};
