#pragma once
// A data set: the rows of a table or of a query, a current row, and the
// editing of that row, with the events that the window hooks into.
//
// States and the operations that move between them:
//
//                Open                         Edit / Insert
//   dsInactive --------> dsOpening --> dsBrowse -------------> dsEdit / dsInsert
//       ^                  (load)      ^   ^   <-------------        |
//       |        Close                 |   |    Post (written) /     |
//       +------------------------------+   |    Cancel               |
//       +----------------------------------|-------------------------+ Close (drops the edit)
//
// Moving (First, Next, RecNo, Locate ...) and Refresh in edit or insert state
// save the row first, as Post does; Close never saves.
//
// What it keeps true:
// - When open, every row of the result is held (compactly, see RowStore);
//   RecordCount is exact and moving is a change of an index. A table reads
//   its rows when first asked for them, not when opened: a table opened only
//   to find one row by its key and delete it (Locate, Delete) reads just that
//   row.
// - The current row is 0-based index m_current into m_order, the shown order
//   of physical rows (filtered rows left out); -1 only when no row is shown.
// - A write goes to one table of the database, the data set's update table:
//   for a table, the table itself, by its rowid; for a query, the table of its
//   auto-increment field (or of a column that is its table's primary key), by
//   that key. Only fields from that table are written. Each write runs in a
//   savepoint and must change exactly one row, or nothing is changed and an
//   Exception says why; a write is never reported done when it changed nothing.
// - Every change of position, state, rows or values is told to the data sources
//   linked to the data set, which tell the controls.

#include "Component.h"
#include "Exception.h"
#include "FilterExpression.h"
#include "RowStore.h"
#include "SqliteHandle.h"

#include <QList>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TADOConnection;
class TDataSource;
class TField;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsOpening };

enum TDataAction { daFail, daAbort, daRetry };

enum TLocateOption { loCaseInsensitive, loPartialKey };

// A set of locate options, held in one byte.
class TLocateOptions {
public:
    TLocateOptions() = default;
    TLocateOptions(std::initializer_list<TLocateOption> options)
    {
        for (TLocateOption o : options)
            include(o);
    }
    void clear() { m_bits = 0; }
    void include(TLocateOption o) { m_bits |= std::uint8_t(1u << o); }
    bool contains(TLocateOption o) const { return m_bits & (1u << o); }
    bool operator==(const TLocateOptions&) const = default;

private:
    std::uint8_t m_bits = 0;
};

// What a data set tells its data sources.
enum class TDataEvent {
    ActiveChange,  // opened or closed
    DataSetChange, // rows replaced, added or removed
    Scroll,        // another row became current
    RecordChange,  // the current row's values were restored (cancel)
    FieldChange,   // one field of the edited row was set
    StateChange,   // edit, insert or browse began
    UpdateRecord,  // about to save: controls hand over what the user typed
};

class TDataSet : public TComponent {
    Q_OBJECT
public:
    ~TDataSet() override;

    TADOConnection* Connection() const { return m_connection; }
    void setConnection(TADOConnection* connection);

    // Opening runs the data set's statement and holds every row; the data
    // set stands on its first row. Throws Exception (state stays inactive).
    void Open();
    void Close();
    bool Active() const { return m_state != dsInactive; }
    void setActive(bool active) { active ? Open() : Close(); }
    TDataSetState State() const { return m_state; }

    const QList<TField*>& Fields() const { return m_fields; }
    TField* FindField(const QString& name) const;
    TField* FieldByName(const QString& name) const; // throws when absent

    // Position: RecNo counts from 1 and is 0 when no row is shown.
    int RecNo() const
    {
        ensureAllRows();
        return m_current + 1;
    }
    void setRecNo(int recNo);
    int RecordCount() const;
    bool IsEmpty() const { return RecordCount() == 0; }
    bool Bof() const
    {
        ensureAllRows();
        return m_bof;
    }
    bool Eof() const
    {
        ensureAllRows();
        return m_eof;
    }
    void First();
    void Prior();
    void Next();
    void Last();
    int MoveBy(int distance); // returns how far it moved

    // Moves to the first row whose key fields (names separated by ';')
    // equal the values (one value, or a list with one per field). Returns
    // false and stays put when no row matches.
    bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options);

    bool CanModify() const;
    void Edit();
    void Insert();
    void Post();
    void Cancel();
    void Delete();
    // Runs the statement again, staying on the same row where it still is.
    void Refresh();
    // Saves a pending edit or insert; does nothing in browse state.
    void CheckBrowseMode();
    // Whether a field of the row being edited or inserted was set.
    bool Modified() const;

    // Rows of the filter only, while Filtered is on (see FilterExpression).
    QString Filter() const { return m_filter; }
    void setFilter(const QString& filter);
    bool Filtered() const { return m_filtered; }
    void setFiltered(bool filtered);

    // Reading any shown row without moving, for controls that show many
    // rows at once (index from 0, as RecNo - 1). While a row is inserted it
    // is shown at insertIndex() and rows from there on move down by one.
    int displayRowCount() const;
    int insertIndex() const { return m_state == dsInsert ? m_insertAt : -1; }
    bool displayIsNull(int index, int field) const;
    std::string displayText(int index, int field) const;

    // Bytes held by the rows, for the benchmark.
    std::size_t bytesUsed() const { return m_store.bytesUsed() + m_order.capacity() * 4; }

signals:
    void BeforeEdit(TDataSet* DataSet);
    void AfterPost(TDataSet* DataSet);
    void BeforeDelete(TDataSet* DataSet);
    void OnEditError(TDataSet* DataSet, Exception& E, TDataAction& Action);
    void OnPostError(TDataSet* DataSet, Exception& E, TDataAction& Action);
    void OnDeleteError(TDataSet* DataSet, Exception& E, TDataAction& Action);

protected:
    explicit TDataSet(QObject* owner);

    // The statement that Open runs (UTF-8).
    virtual std::string selectText() const = 0;
    // Whether the first result column is the rowid of the update table
    // (tables). Such a data set reads its rows only when asked for them.
    virtual bool firstColumnIsRowid() const { return false; }
    // What the user would recognise the data set by in a message.
    virtual std::string describe() const = 0;

    void checkInactive(const char* what) const;
    void checkActive() const;
    // For a table: its name, which is also its update table.
    virtual std::string tableName() const { return {}; }
    // Drops rows and edit without telling anyone (destruction, lost connection).
    void closeQuietly();

private:
    friend class TField;
    friend class TDataSource;
    friend class TADOConnection;

    struct EditValue {
        bool null = true;
        std::int32_t integer = 0;
        std::string text;
        bool modified = false;
    };
    struct WriteTarget {
        std::string table;      // empty: the data set cannot be written
        std::string keyColumn;  // "rowid" or the key field's column
        int keyField = -1;      // field holding the key; -1 for a rowid
        std::vector<int> fields; // fields of the update table, in field order
        // The key field numbers new rows, but its column is not one that the
        // database numbers itself (a file converted without auto-numbering):
        // an insert gives it the largest key plus one. Unknown until asked.
        std::optional<bool> numberNewKeys;
    };

    // Field plumbing
    void addField(TField* field);
    void removeField(TField* field);
    bool fieldIsNull(const TField* field) const;
    std::int32_t fieldInteger(const TField* field) const;
    std::string_view fieldText(const TField* field) const;
    void setFieldValue(TField* field, bool null, std::int32_t integer, std::string_view text);

    // Data sources
    void attachSource(TDataSource* source);
    void detachSource(TDataSource* source);
    void notify(TDataEvent event, TField* field = nullptr);

    // Loading
    void load(const std::string& statementText, const std::vector<std::int64_t>& parameters = {});
    // Reads every row if only some (or none) are held yet, staying on the
    // row that was current.
    void ensureAllRows() const;
    std::optional<bool> locateByQuery(const QList<TField*>& fields, const QVariantList& values);
    void bindFields(sqlite3_stmt* statement, int firstColumn);
    void resolveWriteTarget(sqlite3_stmt* statement, int firstColumn);
    void rebuildOrder();
    bool numbersNewKeys(sqlite3* db);
    void moveTo(int index);
    std::size_t currentRow() const { return m_order[m_current]; }

    // Writing
    void checkCanModify() const;
    void beginEdit(); // the part of Edit that may fail with OnEditError
    void writeRow();
    // What a person needs to hear when the database refused a write with
    // the extended result code and message given.
    std::string explainRefusal(int code, const std::string& engineMessage) const;
    void removeRow(std::size_t physicalRow, std::int64_t key);
    std::int64_t keyOf(std::size_t physicalRow) const;
    // Where the row with that key is shown (index from 0), or -1.
    int indexOfKey(std::int64_t key) const;
    using ErrorSignal = void (TDataSet::*)(TDataSet*, Exception&, TDataAction&);
    template <typename Operation> void withErrorEvent(ErrorSignal signal, Operation operation);

    TADOConnection* m_connection = nullptr;
    QList<TField*> m_fields;
    bool m_dynamicFields = false;
    QList<TDataSource*> m_sources;

    TDataSetState m_state = dsInactive;
    RowStore m_store;
    std::vector<std::int64_t> m_rowids; // when firstColumnIsRowid()
    std::vector<int> m_columnOf;          // result column of each field
    std::vector<std::uint32_t> m_order;
    int m_current = -1;
    bool m_bof = true;
    bool m_eof = true;
    std::uint64_t m_generation = 0; // changes whenever the rows are reloaded or dropped
    bool m_allRows = true;          // false: rows are read on demand (tables)
    WriteTarget m_target;

    std::vector<EditValue> m_edit;
    int m_insertAt = 0;

    QString m_filter;
    bool m_filtered = false;
    FilterExpression m_filterExpression; // bound to the fields while open and filtered
};
