#pragma once
// How a data set's rows are read: the rows held (a RowStore, with each
// row's id where the first result column is one), the register's change
// stamp they were read under, the search memory that answers a narrower
// search from them, and the read ahead that takes a statement's rows in the
// background. The data set (DataSet.h) keeps states, fields, position,
// editing and writing; it asks its reader for rows and shows them.
//
// What it keeps true:
// - A statement that is a search (SearchStatement) that the rows held can
//   answer exactly, because the register has not changed since they were
//   read and the engine walks the same way, is answered from them
//   (SearchMemory); otherwise the statement runs. Either way the data set
//   opens, closes and tells its sources alike. Closing keeps such rows for
//   the next search.
// - Where every statement walks alike (a server), a search over the rows
//   held is found in them without a statement, and another one reads its
//   base in full once, so that the searches that follow are found there.
// - Once the data set changes a row it holds (a save, a delete), the rows
//   are no longer what any statement read: the next search reads again.
// - At most one read runs ahead; a newer one gives the older up.
//
// The reader speaks to the database only through the connection's engine
// (Engine.h). It knows the data set's fields and the plan that binds them to
// result columns (both the data set's, given at construction) only to tell
// whether rows held were read for the same fields.

#include "Engine.h"
#include "SearchMemory.h"

#include <QList>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;
class RowStore;
class TADOConnection;
class TField;
struct SearchStatement;

class ListReader : public QObject {
    Q_OBJECT
public:
    // fields and plan are the data set's, which outlives its reader.
    ListReader(const QList<TField*>& fields, const db::ReadPlan& plan);
    ~ListReader() override;

    // Another register (or none): nothing held answers anything there.
    void setConnection(TADOConnection* connection);

    // ---- the rows held
    RowStore& store() { return *m_store; }
    const RowStore& store() const { return *m_store; }
    // The id of a row held, where the first result column is the row id.
    std::int64_t rowId(std::size_t row) const { return m_rowids[row]; }
    std::size_t rowIdCount() const { return m_rowids.size(); }
    // The rows of the last search found in memory, as store row numbers in
    // the statement's order; null when the result is every row held, in
    // the store's order.
    using Rows = SearchMemory::Rows;
    const Rows& resultRows() const { return m_resultRows; }

    // Reads the rows of sql with parameters into the store, from the rows
    // held where they answer it exactly. bind is given the prepared
    // statement before any row is read, to bind the fields (and so the plan)
    // to its columns; it may throw, and then nothing is read. It is not
    // called when the rows held answer the search without a statement: the
    // fields stay as they were bound. With readRows false the statement is
    // only run to learn its columns (a table reads its rows when asked).
    // byRowId: the first result column is the row id. Throws Exception;
    // what failed never touched a search's rows still held.
    void read(const std::string& sql, const std::vector<std::int64_t>& parameters, bool readRows, bool byRowId,
              const std::function<void(db::ReadStatement&)>& bind);
    // Drops the rows, but with keepSearch those that a later search may be
    // found in (see SearchMemory).
    void close(bool keepSearch);

    // ---- rows the data set wrote
    // A row the data set inserted, appended to the store (and to the
    // search's result, where one is shown); returns its store row number.
    std::size_t addRow(std::int64_t rowId);
    // A row the data set deleted: no longer part of the search's result.
    void removeRow(std::size_t row);
    // A row held was changed by the data set.
    void rowsChanged() { m_searches.forget(); }

    // Whether the register may have changed, at this desk or another, since
    // the rows held were read and until other's were (a reader of the same
    // connection), or until now without one; whenUnknown where the engine
    // cannot tell (a server without its stamp). False when no row was read
    // since the data set was opened.
    bool rowsRead() const { return m_rowsRead; }
    bool mayHaveChanged(bool whenUnknown, const ListReader* other) const;

    // ---- reading ahead
    // Reads sql in the background where the register's engine can, so that
    // the program goes on meanwhile; calls done from the event loop once its
    // rows are there, or it failed, or the engine's answer limit passed. The
    // caller then opens the data set with that statement: read takes those
    // rows at once (or says what failed). A later call gives an earlier read
    // up (done is never called for it), and so does dropReadAhead, which also
    // asks the engine to stop it. False, and nothing called, where the engine
    // reads only when asked or cannot start now: then open as always.
    bool readAhead(const std::string& sql, std::function<void()> done);
    void dropReadAhead();
    bool readingAhead() const { return bool(m_aheadDone); }

    // Bytes held by the rows and the search memory, for the benchmark.
    std::size_t bytesUsed() const;

signals:
    // A read ahead is over: done, given up or failed (not when a newer one
    // takes its place).
    void readAheadEnded();

private:
    db::Engine& engine() const;
    // Finds the rows of search from the rows held, reading its base in full
    // first when they are not held (statement itself, when statementIsBase);
    // m_readStamp is the register's, asked before any row was read. False
    // when the engine cannot promise the same rows in an order the statement
    // may give; then the statement itself must be run.
    bool searchInMemory(const SearchStatement& search, db::ReadStatement& statement, bool statementIsBase);
    // Finds the rows of conditions over base when the rows held are base's
    // as walk reads it, under m_readStamp, without any statement; false when
    // they are not.
    bool answerFromHeld(const std::string& base, const std::vector<SearchMemory::Condition>& conditions,
                        const std::string& walk);
    // search's conditions as tests of the fields as last bound; nothing when
    // one of them cannot be tested in memory.
    std::optional<std::vector<SearchMemory::Condition>> memoryConditions(const SearchStatement& search) const;
    // What the rows would be if read now from base, as walk says.
    SearchMemory::Source heldAs(const std::string& base, std::string walk) const;

    // The read ahead: the engine's socket watched, the answer limit timed.
    void checkReadAhead();
    // Ends the read ahead and, when it arrived, calls what was to be done.
    void finishReadAhead(bool arrived);
    // tell: emits readAheadEnded if one was under way.
    void endReadAhead(bool tell);

    const QList<TField*>& m_fields;
    const db::ReadPlan& m_plan;
    TADOConnection* m_connection = nullptr;

    std::unique_ptr<RowStore> m_store;
    std::vector<std::int64_t> m_rowids; // when the first column is the row id
    SearchMemory m_searches;
    SearchMemory::Rows m_resultRows;
    std::optional<db::ChangeStamp> m_readStamp; // the register's stamp when the rows held were read, if known
    bool m_rowsRead = false;                    // whether rows were read since the data set opened

    QSocketNotifier* m_aheadSocket = nullptr; // children of the reader
    QTimer* m_aheadLimit = nullptr;
    std::function<void()> m_aheadDone;
};
