#pragma once
// What the data-set layer asks of the database engine under a connection.
//
// A data set keeps its state, rows, position and events to itself and talks
// to the database only through this interface: it runs a statement that
// reads and takes its rows into a RowStore, asks how a table is keyed, and
// writes or deletes one row inside a write transaction. Everything an engine
// says about a refused write reaches the data set as an Exception already
// worded for a person; what a data set tells a person about its own rules
// (a row gone, a key given twice) it words itself.
//
// One connection owns one engine; the engine speaks for one thread.

#include "Messages.h"
#include "UnicodeLike.h"
#include "Values.h"

#include <QString>

#include <algorithm>
#include <functional>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class RowStore;

namespace db {

// One column of a statement's result, as the engine describes it.
struct ResultColumn {
    std::string name;           // the name the statement gives it
    std::string table;          // the table it is read from; empty for an expression
    std::string origin;         // its column in that table; empty for an expression
    bool integer = false;       // declared as a whole number (once findKinds() ran)
    bool autoIncrement = false; // a key the database numbers itself (once findKinds() ran)
};

// How the rows of a result become the rows of a data set: one entry a field.
struct ReadPlan {
    std::vector<int> columnOf;       // result column of each field
    std::vector<FieldKind> kinds;    // kind of each field
    std::vector<std::string> labels; // what a person calls each field, for messages
    bool rowIdFirst = false;         // the first result column is the row's own id
};

// A statement that reads, prepared and ready to run once.
class ReadStatement {
public:
    virtual ~ReadStatement() = default;
    virtual const std::vector<ResultColumn>& columns() const = 0;
    // Fills in the kind of each column: asked only by a data set that makes
    // its fields from the result, not on every search.
    virtual void findKinds() = 0;
    // Whether running it changes nothing in the database.
    virtual bool readsOnly() const = 0;
    // Starts running it and stops at once, so that what would fail it (a
    // table or column gone since the engine last looked) fails now.
    virtual void tryRun() = 0;
    // Runs the statement and appends each row to store (columns as plan
    // says) and, with plan.rowIdFirst, its row id to rowIds. Throws
    // Exception naming the field of a value that does not fit its kind.
    virtual void readAll(const ReadPlan& plan, RowStore& store, std::vector<std::int64_t>& rowIds) = 0;
    // How the engine walks the tables to give the rows, when it gives them
    // in that walk's order, or sorted with rows of equal keys left in that
    // order; "" otherwise. Two statements with the same walk over a register
    // that has not changed, one of them with further conditions that the
    // walk does not use, give their common rows in the same order; on an
    // engine that promises no order for rows with equal sort keys (see
    // Engine::commonWalk), in an order that either statement may give.
    virtual std::string walk() = 0;
};

// Tells whether a register may have changed between two moments: equal
// stamps mean that nobody, this connection or another program, has changed
// anything in between.
struct ChangeStamp {
    std::uint64_t connection = 0; // which opening of a register, never used twice in a process
    std::int64_t others = 0;      // what other connections committed (a server: what anybody committed)
    std::int64_t own = 0;         // what this connection wrote
    std::int64_t made = 0;        // which making of the register (a server: drawn when its stamp was made)
    std::int64_t shape = 0;       // what its tables and columns are (a server: drawn from its catalogue)
    std::int64_t server = 0;      // a server: which server answered (its start), not another since
    bool operator==(const ChangeStamp&) const = default;
};

// One row written to one table, by its key.
//
// A desk writes only what it saw: an Update or a Delete goes only if every
// column marked in compared still holds its value in seen (what this desk
// last read of the row; NULL equals NULL). When one does not, nothing is
// written and the write reports no row; the caller tells a row changed
// elsewhere from a row gone by reading it (Check).
struct RowWrite {
    enum class Kind {
        Insert, // a new row; the database or numberKey gives it its key
        Update, // the row with key: the written columns are set
        Check,  // the row with key: nothing is set, only read back (and, inside a write, held)
        Delete, // the row with key goes
    };
    Kind kind = Kind::Update;
    std::string table;
    std::string keyColumn;  // empty: the table's own row id
    std::int64_t key = 0;   // Update, Check
    bool numberKey = false; // Insert: keyColumn gets the largest key plus one
    // The columns of the table that the data set holds, with what each is
    // given and whether the write sets it; all of them are read back.
    std::vector<std::string> columns;
    std::vector<std::string> labels; // what a person calls each column
    std::vector<FieldKind> kinds;
    std::vector<CellValue> values;
    std::vector<bool> written;
    std::vector<CellValue> seen;  // Update, Delete: one a column, or empty
    std::vector<bool> compared;   // Update, Delete: one a column, or empty (nothing compared)
};

// What a write left in the database: the rows it touched (0 or 1 for a
// sound table), and the first one's columns and row id.
struct WrittenRow {
    int rows = 0;
    std::vector<CellValue> values;
    std::int64_t rowId = 0;
};

// The rows of one table that hold given values, changed together: every
// row whose where-columns equal whereValues, letter for letter (NULL equals
// NULL), whatever the columns' own collation.
//   Update sets the set-columns of each to setValues;
//   Delete removes each (refused when other rows still refer to one);
//   Hold changes nothing: inside a write it keeps other desks from changing
//   or removing those rows, or making rows that refer to them, until the
//   write ends.
// Each returns how many rows it chose.
struct RowsWrite {
    enum class Kind { Update, Delete, Hold };
    Kind kind = Kind::Update;
    std::string table;
    std::vector<std::string> whereColumns;
    std::vector<FieldKind> whereKinds;
    std::vector<CellValue> whereValues;
    std::vector<std::string> setColumns;
    std::vector<std::string> setLabels; // what a person calls each, for a refusal
    std::vector<FieldKind> setKinds;
    std::vector<CellValue> setValues;
    // The same rows, with further columns that must hold value.
    RowsWrite& where(const std::string& column, std::int32_t value)
    {
        whereColumns.push_back(column);
        whereKinds.push_back(FieldKind::Integer);
        whereValues.push_back(CellValue{false, value, {}});
        return *this;
    }
    RowsWrite& where(const std::string& column, const CellValue& text)
    {
        whereColumns.push_back(column);
        whereKinds.push_back(FieldKind::Text);
        whereValues.push_back(text);
        return *this;
    }
    RowsWrite& set(const std::string& column, const std::string& label, FieldKind kind, const CellValue& value)
    {
        setColumns.push_back(column);
        setLabels.push_back(label);
        setKinds.push_back(kind);
        setValues.push_back(value);
        return *this;
    }
};

// An open write transaction: committed by commit(), rolled back by its
// destruction otherwise, so that a write that throws leaves nothing behind.
class WriteTransaction {
public:
    virtual ~WriteTransaction() = default;
    virtual void commit() = 0;
};

// What the reads of a read transaction see of other connections' commits.
enum class ReadIsolation {
    Committed, // each statement: what was committed when it began
    OneMoment, // every statement: the register as it was when the transaction began
};

// An open read transaction. Nothing is written in it: a write is refused
// as on a register that can only be read, and leaves the transaction as it
// was. While it is open the engine never connects again by itself: a
// connection lost in it fails every read until it ends, rather than reading
// the rest at another moment. commit() ends it and says whether that went
// well; its destruction ends it quietly.
class ReadTransaction {
public:
    virtual ~ReadTransaction() = default;
    virtual void commit() = 0;
};

class Engine {
public:
    virtual ~Engine() = default;

    // Prepares sql with the whole-number parameters ?1, ?2 ...; throws
    // Exception with the database's message, or when sql holds more than
    // one statement. rowsWanted: readAll() follows, and an engine may run
    // the statement at once; otherwise tryRun() does.
    virtual std::unique_ptr<ReadStatement> prepareRead(const std::string& sql,
                                                       const std::vector<std::int64_t>& parameters,
                                                       bool rowsWanted) = 0;
    // Starts reading sql in the background, where the engine can: the
    // statement runs while the program goes on, and prepareRead of the same
    // sql and parameters (rows wanted) takes its rows. Starting another
    // gives up this one (the newest goes as soon as the engine is free), and
    // anything else asked of the engine first gives it up too. Returns a
    // socket that becomes readable as the answer arrives, then readArrival
    // tells how far it is; -1 when the engine reads only when asked (or sql
    // is not a statement it would read: prepareRead says why).
    // The register's change stamp is read first where the engine can, and
    // changeStamp() gives it until the read is dropped. base, when given, is
    // a statement whose rows would answer sql from memory: it is read instead
    // when the stamp is known; with held (the stamp of the rows of base held)
    // nothing is read when the stamp is still that (the engine may then say
    // -1, the rows held answering at once).
    virtual int startRead(const std::string& /*sql*/, const std::vector<std::int64_t>& /*parameters*/,
                          const std::string& /*base*/ = {}, const ChangeStamp* /*held*/ = nullptr)
    {
        return -1;
    }
    enum class Arrival { Waiting, Whole, Gone };
    // How far the read started last has come: Gone when it was given up.
    virtual Arrival readArrival() { return Arrival::Gone; }
    // Gives up the read started last, asking the database to stop it,
    // without waiting for that; after it ended, forgets what it read and
    // prepareRead did not take.
    virtual void dropRead() {}
    // How long, in milliseconds, the engine waits for an answer before it
    // gives the register up (0: as long as it takes).
    virtual int answerLimit() const { return 0; }

    // The statement that reads every row of table, its row id first. With
    // keyColumns, only the first row (in the table's order) whose columns
    // equal the parameters ?1, ?2 ...
    virtual std::string tableStatement(const std::string& table, const std::vector<std::string>& keyColumns) const = 0;

    // The columns of table's primary key.
    virtual std::vector<std::string> primaryKey(const std::string& table) = 0;
    // Whether the database numbers column of table itself on an insert.
    virtual bool numbersKeysItself(const std::string& table, const std::string& column) = 0;
    // The register's change stamp now (or, until dropRead, as the read in
    // the background that ended found it before its rows); nothing when the
    // engine has no certain and cheap way to tell (then every search reads
    // the database). Throws Exception when the register cannot be reached.
    virtual std::optional<ChangeStamp> changeStamp() = 0;
    // The walk (ReadStatement::walk) of every statement, when the engine
    // tells it without the statement: a server gives rows as ORDER BY sorts
    // them, whatever its plan, and promises no order for rows with equal
    // keys. "" when each statement has a walk of its own.
    virtual std::string commonWalk() const { return {}; }
    // How the engine's LIKE compares letters when not as unicode_like::match
    // does (a server: as its lower() lowers them); null otherwise.
    virtual const unicode_like::Folding* likeFolding() const { return nullptr; }
    // Whether the register's name now names another register than the one
    // opened (a file replaced by a restore, or by a copy from another desk,
    // while it was open). Cheap: asked before every search and save.
    virtual bool replaced() const { return false; }
    // Whether the database can only be read.
    virtual bool readOnly() const = 0;
    // Whether rows of table may be inserted, changed and deleted here: not
    // where the database can only be read, nor where the register's server
    // does not let this desk's role do all three. Asked often: cheap after
    // the first time. A refusal the engine cannot foresee still comes from
    // the write itself.
    virtual bool mayChange(const std::string& /*table*/) { return !readOnly(); }
    // What carries the register's data: nothing (a file read here), a
    // connection within this computer, or one over the network, encrypted
    // or not.
    enum class Line { None, ThisComputer, Encrypted, Clear };
    virtual Line line() const { return Line::None; }
    // How long a statement waits for a lock that another program holds.
    virtual void setLockTimeout(int milliseconds) = 0;

    // Begins the transaction that a write and its checks run in.
    virtual std::unique_ptr<WriteTransaction> beginWrite() = 0;
    // Writes one row; a refusal comes as an Exception worded for a person.
    virtual WrittenRow writeRow(const RowWrite& write) = 0;
    // Deletes the row of write.table whose keyColumn (empty: row id) is
    // write.key, if its compared columns still hold what was seen; returns
    // how many rows went.
    virtual int deleteRow(const RowWrite& write) = 0;
    // Writes the rows write chooses (see RowsWrite); a refusal comes as an
    // Exception worded for a person.
    virtual std::int64_t writeRows(const RowsWrite& write) = 0;
    // Inserts the rows next gives into write.table, in the open write: each
    // time next fills the values of write.columns (of write.kinds) and says
    // true, or says false when there are no more; write.keyColumn is left
    // for the database to number. Returns how many. Many rows at once: an
    // engine may send them together (a server's COPY); by default each is a
    // writeRow. A refusal throws Exception worded for a person, as
    // writeRow's do; the write is then to be rolled back.
    virtual std::int64_t insertRows(const RowWrite& write, const std::function<bool(std::vector<CellValue>&)>& next);
    // Whether table holds a row whose columns (of the kinds given) equal the values.
    virtual bool rowExists(const std::string& table, const std::vector<std::string>& columns,
                           const std::vector<FieldKind>& kinds, const std::vector<CellValue>& values) = 0;

    // Begins a read transaction. Throws Exception when a transaction of the
    // engine is open already, or the register cannot be read now.
    virtual std::unique_ptr<ReadTransaction> beginRead(ReadIsolation isolation) = 0;
};

// The one-row write a refusal of write is worded by: the columns it sets,
// with their labels and values.
RowWrite refusalShape(const RowsWrite& write);
// The place of column among write's columns, its name compared as
// sameName compares; -1 when write does not hold it.
int columnIndex(const RowWrite& write, std::string_view column);
// What a person calls column of write's table: its label, or the name
// itself when write does not hold it.
std::string labelOf(const RowWrite& write, const std::string& column);

// Names of tables, columns and fields compare without regard to case
// (ASCII), as both engines take them.
inline bool sameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// A name in double quotes (a quote inside doubled), for names that come
// from outside the code; both engines read it so.
std::string quoteIdentifier(std::string_view name);

} // namespace db
