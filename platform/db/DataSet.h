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
// - How the rows are read, and when a search is answered from the rows
//   held instead, is its reader's (ListReader.h): the data set asks it for
//   rows and shows them.
// - The current row is 0-based index m_current into m_order, the shown order
//   of physical rows (filtered rows left out); -1 only when no row is shown.
// - A write goes to one table of the database, the data set's update table:
//   for a table, the table itself, by its rowid; for a query, the table of its
//   auto-increment field (or of a column that is its table's primary key), by
//   that key. Only fields from that table are written. Each write runs in a
//   savepoint and must change exactly one row, or nothing is changed and an
//   Exception says why; a write is never reported done when it changed nothing.
// - Every change of position, state, rows or values is told to the data sources
//   linked to the data set, which tell the controls; whoever is told finds
//   the data set in a state that keeps these promises (checkInvariants).
// - A write first checks the references the data set was given (see
//   setReferences) in the same transaction, so that a row naming a country
//   or city that is not there is refused whether or not the database itself
//   guards that reference.
//
// The data set speaks to the database only through its connection's engine
// (Engine.h): it knows no engine and no SQL dialect beyond the statements
// it is given.
//
// Events are plain C++ callbacks, called on the thread that works the data
// set, never through Qt's signal dispatch: a callback may throw, and what it
// throws ends the operation that called it (BeforeDelete throwing cancels
// the deletion) and reaches that operation's caller.

#include "Component.h"
#include "Engine.h"
#include "Exception.h"
#include "FilterExpression.h"
#include "ListReader.h"

#include <QList>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
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

// A save refused because the row was changed elsewhere (another desk or
// program) since this data set read it: nothing was written, and the row
// stays in edit with what was typed. Each entry is a field that the save
// would write, or that was changed elsewhere where the whole row must be as
// seen.
class EUpdateConflict : public Exception {
public:
    struct Entry {
        QString fieldName;
        QString label;         // what a person calls the field
        FieldKind kind;
        db::CellValue typed;   // what this desk typed
        db::CellValue stored;  // what the register holds now
    };
    EUpdateConflict(const QString& message, std::vector<Entry> entries)
        : Exception(message), m_entries(std::move(entries))
    {
    }
    const std::vector<Entry>& entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};

class TDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet* DataSet, Exception& E, TDataAction& Action)>;

class TDataSet : public TComponent {
    Q_OBJECT
public:
    ~TDataSet() override;

    // Events. BeforeEdit, BeforePost and BeforeDelete run before the
    // operation, which a throw cancels; AfterPost runs once the row is
    // written. An error event decides what a failed operation does next.
    TDataSetNotifyEvent BeforeEdit;
    TDataSetNotifyEvent BeforePost;
    TDataSetNotifyEvent AfterPost;
    TDataSetNotifyEvent BeforeDelete;
    TDataSetErrorEvent OnEditError;
    TDataSetErrorEvent OnPostError;
    TDataSetErrorEvent OnDeleteError;

    TADOConnection* Connection() const { return m_connection; }
    void setConnection(TADOConnection* connection);

    // Opening runs the data set's statement and holds every row; the data
    // set stands on its first row. Throws Exception (state stays inactive).
    void Open();
    void Close();
    bool Active() const { return m_state != dsInactive; }

    // Reads sql, the statement the data set is about to be opened with, in
    // the background (ListReader::readAhead): the caller then gives the data
    // set that statement and opens it, and Open takes those rows at once.
    // The data set itself stays as it is until then. Close, Edit, Insert and
    // Delete give the read up (what is edited is what is shown).
    bool readAhead(const std::string& sql, std::function<void()> done)
    {
        return m_reader.readAhead(sql, std::move(done));
    }
    // The same for Refresh: reads the data set's own statement ahead, and
    // done then calls Refresh, which takes those rows. False (nothing
    // started) when not browsing: Refresh at once.
    bool refreshAhead(std::function<void()> done)
    {
        return m_state == dsBrowse && readAhead(selectText(), std::move(done));
    }
    void dropReadAhead() { m_reader.dropReadAhead(); }
    bool readingAhead() const { return m_reader.readingAhead(); }

signals:
    // A read ahead is over: done, given up or failed (not when a newer one
    // takes its place).
    void readAheadEnded();

public:
    void setActive(bool active) { active ? Open() : Close(); }
    TDataSetState State() const { return m_state; }

    const QList<TField*>& Fields() const { return m_fields; }
    TField* FindField(const QString& name) const;
    TField* FieldByName(const QString& name) const; // throws when absent

    // Position: RecNo counts from 1 and is 0 when no row is shown. A table
    // that holds only the row it found by its key reads the rest first.
    int RecNo()
    {
        ensureAllRows();
        return m_current + 1;
    }
    void setRecNo(int recNo);
    int RecordCount();
    bool IsEmpty() { return RecordCount() == 0; }
    bool Bof()
    {
        ensureAllRows();
        return m_bof;
    }
    bool Eof()
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
    // Whether the register may have changed since the rows held were read
    // and until other's were (a data set of the same connection, just
    // opened), or until now (ListReader::mayHaveChanged). False when closed.
    bool mayHaveChanged(bool whenUnknown, const TDataSet* other = nullptr);
    // Saves a pending edit or insert; does nothing in browse state.
    void CheckBrowseMode();
    // Whether a field of the row being edited or inserted was set.
    bool Modified() const;
    // After a save refused with EUpdateConflict: the next save of this edit
    // writes what was typed over what the register held at that refusal
    // (what the person was shown), and is refused again if the row has
    // changed since. Does nothing when no save was refused so.
    void overwriteOnRetry();
    // Has the controls hand over what was typed into them and not yet
    // given to the row (as Post does first); throws Exception when a typed
    // text does not fit its field. Does nothing in browse state.
    void UpdateRecord();

    // References that every write must keep, whether or not the database
    // guards them itself: each "FIELD;FIELD=TABLE(COLUMN;COLUMN)" says that
    // the written row's fields name a row of TABLE by those columns (a
    // reference with an empty field names nothing and is kept). A write
    // that breaks one is refused before anything is written, with the
    // message the database's own guard would give. Throws Exception for a
    // text that is not such a list.
    void setReferences(const std::vector<std::string>& references);

    // Rows of the filter only, while Filtered is on (see FilterExpression).
    QString Filter() const { return m_filter; }
    void setFilter(const QString& filter);
    bool Filtered() const { return m_filtered; }
    void setFiltered(bool filtered);

    // Reading any shown row without moving, for controls that show many
    // rows at once (index from 0, as RecNo - 1). While a row is inserted it
    // is shown at insertIndex() and rows from there on move down by one.
    int displayRowCount();
    int insertIndex() const { return m_state == dsInsert ? m_insertAt : -1; }
    bool displayIsNull(int index, int field) const;
    std::string displayText(int index, int field) const;
    // The same without copying, for reading many rows at once: a text is
    // seen where it is held (until the data set changes), a number written
    // into spare.
    std::string_view displayText(int index, int field, std::string& spare) const;

    // Bytes held by the rows, for the benchmark.
    std::size_t bytesUsed() const;

protected:
    explicit TDataSet(QObject* owner);

    // The statement that Open runs (UTF-8).
    virtual std::string selectText() const = 0;
    // Whether the first result column is the row id of the update table
    // (tables). Such a data set reads its rows only when asked for them.
    virtual bool firstColumnIsRowid() const { return false; }
    // The engine of the connection; throws Exception when not connected.
    db::Engine& engine() const;
    // What the user would recognise the data set by in a message.
    virtual std::string describe() const = 0;

    // what: the operation refused, a text marked for translation ("Register").
    void checkInactive(const char* what) const;
    void checkActive() const;
    // For a table: its name, which is also its update table.
    virtual std::string tableName() const { return {}; }
    // Drops rows and edit without telling anyone (destruction, lost
    // connection). With keepSearch, rows that a later search may be found
    // in stay in memory (ListReader::close).
    void closeQuietly(bool keepSearch = false);

private:
    friend class TField;
    friend class TDataSource;
    friend class TADOConnection;

    struct EditValue : db::CellValue {
        bool modified = false;
    };
    struct Reference {
        std::vector<std::string> fields;  // of this data set
        std::string table;
        std::vector<std::string> columns; // of table
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
    bool fieldIsNull(const TField* field);
    std::int32_t fieldInteger(const TField* field);
    std::string_view fieldText(const TField* field);
    void setFieldValue(TField* field, bool null, std::int32_t integer, std::string_view text);

    // Data sources
    void attachSource(TDataSource* source);
    void detachSource(TDataSource* source);
    void notify(TDataEvent event, TField* field = nullptr);

    // Loading. reload() is the one way rows are read: its reader reads sql
    // (with readRows false it only learns the result's columns) and it
    // leaves the data set in state after; when it fails the data set is
    // closed, and its sources are told so if it was open.
    void reload(TDataSetState after, const std::string& sql, const std::vector<std::int64_t>& parameters = {},
                bool readRows = true);
    void load(const std::string& sql, const std::vector<std::int64_t>& parameters, bool readRows);
    // Reads every row if only some (or none) are held yet, staying on the
    // row that was current.
    void ensureAllRows();
    void bindFilter();
    std::optional<bool> locateByQuery(const QList<TField*>& fields, const QVariantList& values);
    void bindFields(db::ReadStatement& statement, int firstColumn);
    void resolveWriteTarget(bool byRowId);
    void rebuildOrder();
    bool numbersNewKeys();
    // The promises of the header, checked where the sanitized build asserts.
    void checkInvariants() const;
    void moveTo(int index);
    std::size_t currentRow() const { return m_order[m_current]; }

    // Writing
    void checkCanModify() const;
    void beginEdit(); // the part of Edit that may fail with OnEditError
    void writeRow();
    // A write of the update table's columns, as they are held; nothing
    // given, written or compared yet.
    db::RowWrite writeOf(db::RowWrite::Kind kind) const;
    // What a save of the row being edited or inserted writes; throws when a
    // required field is empty.
    db::RowWrite editedWrite(bool inserting);
    // Writes and commits it, with the references checked first; throws
    // Exception (EUpdateConflict, EUnknownOutcome) when it is not written.
    db::WrittenRow commitWrite(db::RowWrite& write, bool inserting);
    // The written row, as the database stored it, takes the edited row's place.
    void holdWritten(const db::WrittenRow& result, bool inserting);
    // Fills in what an update compares (see RowWrite) and widens what it
    // writes to whole values.
    void compareWithSeen(db::RowWrite& write);
    // After an update that changed no row: throws EUpdateConflict when the
    // row is there, changed elsewhere; returns true when it is gone, false
    // when it was changed into just what write writes (m_registerNow then
    // holds the row).
    bool throwIfChangedElsewhere(const db::RowWrite& write);
    db::CellValue storedValue(std::size_t row, int field) const;
    // Throws the database's own message for the first reference that write
    // breaks.
    void checkReferences(const db::RowWrite& write, bool inserting);
    void removeRow(std::size_t physicalRow, std::int64_t key);
    std::int64_t keyOf(std::size_t physicalRow) const;
    // Where the row with that key is shown (index from 0), or -1.
    int indexOfKey(std::int64_t key) const;
    template <typename Operation> void withErrorEvent(const TDataSetErrorEvent& event, Operation operation);

    TADOConnection* m_connection = nullptr;
    QList<TField*> m_fields;
    bool m_dynamicFields = false;
    QList<TDataSource*> m_sources;

    TDataSetState m_state = dsInactive;
    db::ReadPlan m_plan; // result column of each field, and how to read it
    ListReader m_reader; // the rows held, and how they are read
    std::vector<std::uint32_t> m_order;
    int m_current = -1;
    bool m_bof = true;
    bool m_eof = true;
    std::uint64_t m_generation = 0; // changes whenever the rows are reloaded or dropped
    bool m_allRows = true;          // false: rows are read on demand (tables)
    WriteTarget m_target;

    std::vector<EditValue> m_edit;
    std::vector<db::CellValue> m_seen;        // the edited row as read, a value a field
    std::vector<db::CellValue> m_registerNow; // the row as the last refused save found it (update table's fields)
    int m_insertAt = 0;

    std::vector<Reference> m_references;

    QString m_filter;
    bool m_filtered = false;
    FilterExpression m_filterExpression; // bound to the fields while open and filtered
};
