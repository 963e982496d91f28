// The write path of a data set: editing, inserting, saving (compared with
// what was read, see RowWrite), the references every write keeps, and
// deleting. The states and promises are drawn in DataSet.h.

#include "DataSet.h"

#include "ADOConnection.h"
#include "DataSet_p.h"
#include "Field.h"
#include "RowStore.h"

#include <algorithm>

using namespace dataset_detail;

// ---------------------------------------------------------------- editing

bool TDataSet::CanModify() const
{
    return Active() && !m_target.table.empty() && m_connection && m_connection->Connected()
           && m_connection->engine().mayChange(m_target.table);
}

void TDataSet::checkCanModify() const
{
    checkActive();
    if (!CanModify())
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "Spisak se ne može menjati: registar je samo za čitanje.")));
}

template <typename Operation>
void TDataSet::withErrorEvent(const TDataSetErrorEvent& event, Operation operation)
{
    for (;;) {
        try {
            operation();
            return;
        } catch (const EAbort&) {
            throw;
        } catch (Exception& error) {
            TDataAction action = daFail;
            if (event)
                event(this, error, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                throw EAbort();
            // daRetry: the handler has mended the cause; try once more.
        }
    }
}

void TDataSet::Edit()
{
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    checkActive();
    dropReadAhead(); // the row edited is the one shown
    if (BeforeEdit)
        BeforeEdit(this);
    withErrorEvent(OnEditError, [this] { beginEdit(); });
}

void TDataSet::beginEdit()
{
    checkCanModify();
    if (m_current < 0)
        ensureAllRows();
    if (m_current < 0)
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "Nema zapisa za izmenu: spisak je prazan.")));
    const std::size_t row = currentRow();
    m_edit.assign(m_fields.size(), EditValue{});
    m_seen.assign(m_fields.size(), db::CellValue{});
    for (int f = 0; f < m_fields.size(); ++f) {
        m_seen[f] = storedValue(row, f);
        static_cast<db::CellValue&>(m_edit[f]) = m_seen[f];
    }
    m_registerNow.clear();
    m_state = dsEdit;
    notify(TDataEvent::StateChange);
}

void TDataSet::Insert()
{
    checkActive();
    dropReadAhead();
    ensureAllRows();
    CheckBrowseMode();
    checkCanModify();
    m_edit.assign(m_fields.size(), EditValue{});
    m_insertAt = std::max(m_current, 0);
    if (m_current < 0)
        m_current = 0;
    m_state = dsInsert;
    notify(TDataEvent::StateChange);
    notify(TDataEvent::DataSetChange);
}

void TDataSet::Post()
{
    checkActive();
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    UpdateRecord(); // controls hand over what was typed
    if (BeforePost)
        BeforePost(this);
    withErrorEvent(OnPostError, [this] { writeRow(); });
    const bool inserted = m_state == dsInsert;
    m_state = dsBrowse;
    m_edit.clear();
    notify(TDataEvent::StateChange);
    notify(inserted ? TDataEvent::DataSetChange : TDataEvent::RecordChange);
    if (AfterPost)
        AfterPost(this);
}

void TDataSet::writeRow()
{
    m_connection->reopenIfReplaced();
    checkCanModify();
    const bool inserting = m_state == dsInsert;
    db::RowWrite write = editedWrite(inserting);
    const db::WrittenRow result = commitWrite(write, inserting);
    holdWritten(result, inserting);
}

db::RowWrite TDataSet::writeOf(db::RowWrite::Kind kind) const
{
    db::RowWrite write;
    write.kind = kind;
    write.table = m_target.table;
    write.keyColumn = m_target.keyField < 0 ? std::string() : m_target.keyColumn;
    for (int f : m_target.fields) {
        write.columns.push_back(m_fields[f]->originColumn());
        write.labels.push_back(m_fields[f]->DisplayLabel().toStdString());
        write.kinds.push_back(m_fields[f]->kind());
    }
    return write;
}

db::RowWrite TDataSet::editedWrite(bool inserting)
{
    db::RowWrite write = writeOf(inserting ? db::RowWrite::Kind::Insert : db::RowWrite::Kind::Check);
    for (int f : m_target.fields) {
        write.values.push_back(m_edit[f]);
        write.written.push_back(m_edit[f].modified && (inserting || f != m_target.keyField));
    }
    if (inserting) {
        write.numberKey = numbersNewKeys() && !m_edit[m_target.keyField].modified;
    } else {
        // Nothing changed: still make sure the row is there.
        if (std::find(write.written.begin(), write.written.end(), true) != write.written.end())
            write.kind = db::RowWrite::Kind::Update;
        write.key = keyOf(currentRow());
        compareWithSeen(write);
    }
    for (std::size_t i = 0; i < m_target.fields.size(); ++i)
        if ((inserting || write.written[i]) && write.values[i].null && m_fields[m_target.fields[i]]->Required())
            throw Exception(db::missingValueMessage(write.labels[i]));
    return write;
}

db::WrittenRow TDataSet::commitWrite(db::RowWrite& write, bool inserting)
{
    db::Engine& database = engine();
    const std::unique_ptr<db::WriteTransaction> transaction = database.beginWrite();
    checkReferences(write, inserting);
    db::WrittenRow result = database.writeRow(write);
    if (result.rows == 0 && write.kind == db::RowWrite::Kind::Update && !throwIfChangedElsewhere(write)) {
        // Changed elsewhere into just what this save writes: nothing to
        // ask, and the save goes on over what the row holds now.
        write.seen = m_registerNow;
        m_registerNow.clear();
        result = database.writeRow(write);
    }
    if (result.rows == 0)
        throw Exception(
            say(QT_TRANSLATE_NOOP("Register",
                                  "Nije sačuvano: ovog zapisa više nema u registru (možda ga je obrisao drugi "
                                  "program).")));
    if (result.rows > 1)
        throw Exception(
            say(QT_TRANSLATE_NOOP("Register",
                                  "Nije sačuvano: u registru je više zapisa s brojem %1, a sme biti samo jedan."))
                .arg(write.key));
    try {
        transaction->commit();
    } catch (const EUnknownOutcome& unknown) {
        QStringList typed;
        for (std::size_t i = 0; i < write.columns.size(); ++i)
            if (write.written[i])
                typed << QString::fromStdString(write.labels[i]) + QLatin1Char(' ')
                             + db::shownValue(write.kinds[i], write.values[i]);
        throw EUnknownOutcome(say(QT_TRANSLATE_NOOP("Register",
                                                    "Ne zna se da li je sačuvano: veza s registrom je prekinuta "
                                                    "dok se upis završavao, a registar se posle toga nije mogao "
                                                    "pitati (%1). Kad proradi, pogledajte da li je zapis upisan "
                                                    "pre nego što ga ponovo sačuvate. Upisano je bilo: %2."))
                                  .arg(QString::fromStdString(unknown.Message()), typed.join(QStringLiteral(", ")))
                                  .toStdString());
    }
    return result;
}

void TDataSet::holdWritten(const db::WrittenRow& result, bool inserting)
{
    // The row now holds what was edited, and what the database stored for
    // the update table's columns.
    const std::size_t row = inserting ? m_reader.addRow(result.rowId) : currentRow();
    RowStore& store = m_reader.store();
    std::vector<const db::CellValue*> stored(m_fields.size());
    for (int f = 0; f < m_fields.size(); ++f)
        stored[f] = &m_edit[f];
    for (std::size_t i = 0; i < m_target.fields.size(); ++i)
        stored[m_target.fields[i]] = &result.values[i];
    for (int f = 0; f < m_fields.size(); ++f) {
        const db::CellValue& value = *stored[f];
        if (value.null)
            store.setNull(row, f);
        else if (store.kind(f) == FieldKind::Integer)
            store.setInteger(row, f, value.integer);
        else
            store.setText(row, f, value.text);
    }
    if (inserting) {
        m_order.insert(m_order.begin() + m_insertAt, static_cast<std::uint32_t>(row));
        m_current = m_insertAt;
    }
    m_registerNow.clear();
    m_reader.rowsChanged();
}

void TDataSet::compareWithSeen(db::RowWrite& write)
{
    const auto targetIndex = [this](const std::string& name) {
        const auto at = std::find_if(m_target.fields.begin(), m_target.fields.end(),
                                     [&](int f) { return sameName(m_fields[f]->FieldName().toStdString(), name); });
        return at == m_target.fields.end() ? -1 : int(at - m_target.fields.begin());
    };
    // Fields that name one thing together (a city by its country and its
    // number) are one value: written and compared whole, so that two desks
    // never leave a pair that neither chose.
    for (const Reference& reference : m_references) {
        if (reference.fields.size() < 2)
            continue;
        std::vector<int> pair;
        for (const std::string& name : reference.fields)
            pair.push_back(targetIndex(name));
        if (std::find(pair.begin(), pair.end(), -1) != pair.end())
            continue;
        if (std::any_of(pair.begin(), pair.end(), [&](int i) { return write.written[i]; }))
            for (int i : pair)
                write.written[i] = true;
    }
    if (std::find(write.written.begin(), write.written.end(), true) != write.written.end())
        write.kind = db::RowWrite::Kind::Update;
    // Where a key may be given again to a new row (the largest plus one, or
    // a row id), a row with the same key may be another row: there every
    // column must be as seen, not only the written ones.
    const bool keyMayBeReused = m_target.keyField < 0 || numbersNewKeys();
    for (std::size_t i = 0; i < m_target.fields.size(); ++i) {
        const int f = m_target.fields[i];
        write.seen.push_back(m_seen[f]);
        write.compared.push_back(f != m_target.keyField && (write.written[i] || keyMayBeReused));
    }
}

bool TDataSet::throwIfChangedElsewhere(const db::RowWrite& write)
{
    db::RowWrite probe = write;
    probe.kind = db::RowWrite::Kind::Check;
    const db::WrittenRow now = engine().writeRow(probe);
    if (now.rows != 1)
        return true; // gone: the caller says so
    m_registerNow = now.values;
    std::vector<EUpdateConflict::Entry> entries;
    QStringList lines;
    for (std::size_t i = 0; i < write.columns.size(); ++i) {
        // A field in which the register differs from what is written here,
        // or, where the whole row must be as seen, from what was seen.
        const bool differs = write.written[i] ? write.values[i] != now.values[i]
                                              : write.compared[i] && write.seen[i] != now.values[i];
        if (!differs)
            continue;
        const int f = m_target.fields[i];
        entries.push_back(
            {m_fields[f]->FieldName(), m_fields[f]->DisplayLabel(), write.kinds[i], m_edit[f], now.values[i]});
        lines << say(QT_TRANSLATE_NOOP("Register", "%1: upisano je %2, a u registru je sada %3."))
                     .arg(entries.back().label, db::shownValue(write.kinds[i], m_edit[f]),
                          db::shownValue(write.kinds[i], now.values[i]));
    }
    if (entries.empty())
        return false;
    throw EUpdateConflict(say(QT_TRANSLATE_NOOP("Register",
                                                "Nije sačuvano: ovaj zapis je u međuvremenu izmenjen na drugom mestu "
                                                "(drugi korisnik ili program). Ništa nije upisano."))
                              + QLatin1Char('\n') + lines.join(QLatin1Char('\n')),
                          std::move(entries));
}

void TDataSet::overwriteOnRetry()
{
    if ((m_state != dsEdit && m_state != dsInsert) || m_registerNow.size() != m_target.fields.size())
        return;
    for (std::size_t i = 0; i < m_target.fields.size(); ++i)
        m_seen[m_target.fields[i]] = m_registerNow[i];
    m_registerNow.clear();
}

void TDataSet::setReferences(const std::vector<std::string>& references)
{
    std::vector<Reference> parsed;
    for (const std::string& text : references) {
        // FIELD;FIELD=TABLE(COLUMN;COLUMN)
        const std::size_t equals = text.find('=');
        const std::size_t open = text.find('(', equals == std::string::npos ? 0 : equals);
        const std::size_t close = text.rfind(')');
        if (equals == std::string::npos || open == std::string::npos || close != text.size() - 1 || close < open)
            throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1: „%2” nije upućivanje (POLJE;POLJE=TABELA(KOLONA;KOLONA))."))
                                .arg(QString::fromStdString(describe()), QString::fromStdString(text)));
        Reference reference;
        reference.fields = splitNames(std::string_view(text).substr(0, equals));
        reference.table = splitNames(std::string_view(text).substr(equals + 1, open - equals - 1)).front();
        reference.columns = splitNames(std::string_view(text).substr(open + 1, close - open - 1));
        const auto empty = [](const std::string& name) { return name.empty(); };
        if (reference.table.empty() || reference.fields.size() != reference.columns.size()
            || std::any_of(reference.fields.begin(), reference.fields.end(), empty)
            || std::any_of(reference.columns.begin(), reference.columns.end(), empty))
            throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1: „%2” nije upućivanje (POLJE;POLJE=TABELA(KOLONA;KOLONA))."))
                                .arg(QString::fromStdString(describe()), QString::fromStdString(text)));
        parsed.push_back(std::move(reference));
    }
    m_references = std::move(parsed);
}

void TDataSet::checkReferences(const db::RowWrite& write, bool inserting)
{
    for (const Reference& reference : m_references) {
        std::vector<FieldKind> kinds;
        std::vector<db::CellValue> values;
        std::vector<std::string> shown, labels;
        bool touched = inserting, anyNull = false;
        for (const std::string& name : reference.fields) {
            const TField* field = FieldByName(QString::fromStdString(name));
            const auto at = std::find(m_target.fields.begin(), m_target.fields.end(), field->Index());
            if (at == m_target.fields.end())
                throw Exception(say(QT_TRANSLATE_NOOP("Register", "%1: polje „%2” jednog upućivanja ne upisuje se sa zapisom."))
                                    .arg(QString::fromStdString(describe()), QString::fromStdString(name)));
            const std::size_t i = static_cast<std::size_t>(at - m_target.fields.begin());
            touched = touched || write.written[i];
            anyNull = anyNull || write.values[i].null;
            kinds.push_back(write.kinds[i]);
            labels.push_back(write.labels[i]);
            values.push_back(write.values[i]);
            shown.push_back(write.kinds[i] == FieldKind::Integer ? std::to_string(write.values[i].integer)
                                                                 : write.values[i].text);
        }
        // A reference with an empty part names nothing and is kept, as the
        // database's own guard keeps it.
        if (touched && !anyNull && !engine().rowExists(reference.table, reference.columns, kinds, values))
            throw Exception(db::danglingReferenceMessage(labels, shown));
    }
}

db::CellValue TDataSet::storedValue(std::size_t row, int field) const
{
    db::CellValue value;
    value.null = m_reader.store().isNull(row, field);
    if (!value.null) {
        if (m_reader.store().kind(field) == FieldKind::Integer)
            value.integer = m_reader.store().integer(row, field);
        else
            value.text = m_reader.store().text(row, field);
    }
    return value;
}

std::int64_t TDataSet::keyOf(std::size_t row) const
{
    if (m_target.keyField < 0)
        return m_reader.rowId(row);
    if (m_reader.store().isNull(row, m_target.keyField))
        throw Exception(
            say(QT_TRANSLATE_NOOP("Register", "Ovaj zapis nema broj (%1), pa ne može da se menja ni da se briše."))
                .arg(m_fields[m_target.keyField]->DisplayLabel()));
    return m_reader.store().integer(row, m_target.keyField);
}

void TDataSet::Cancel()
{
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    const bool inserting = m_state == dsInsert;
    m_state = dsBrowse;
    m_edit.clear();
    m_registerNow.clear();
    if (inserting && m_order.empty())
        m_current = -1;
    notify(TDataEvent::StateChange);
    notify(inserting ? TDataEvent::DataSetChange : TDataEvent::RecordChange);
}

bool TDataSet::Modified() const
{
    return std::any_of(m_edit.begin(), m_edit.end(), [](const EditValue& v) { return v.modified; });
}

void TDataSet::UpdateRecord()
{
    if (m_state == dsEdit || m_state == dsInsert)
        notify(TDataEvent::UpdateRecord);
}

void TDataSet::CheckBrowseMode()
{
    if (m_state == dsEdit || m_state == dsInsert)
        Post();
}

void TDataSet::Delete()
{
    checkActive();
    dropReadAhead();
    if (m_state == dsInsert) {
        Cancel(); // the new row was never written: dropping it is deleting it
        return;
    }
    Cancel();
    if (m_current < 0)
        ensureAllRows();
    if (m_current < 0)
        throw Exception(say(QT_TRANSLATE_NOOP("Register", "Nema zapisa za brisanje: spisak je prazan.")));
    const std::uint64_t generation = m_generation;
    const std::size_t row = currentRow();
    if (BeforeDelete)
        BeforeDelete(this);
    withErrorEvent(OnDeleteError, [&] {
        // The row chosen for deletion is gone from the data set when the
        // rows were read again meanwhile (or the data set was closed): then
        // there is nothing left here to delete, and surely not whatever row
        // happens to be current now.
        if (!Active() || m_generation != generation)
            throw Exception(
                say(QT_TRANSLATE_NOOP("Register",
                                      "Nije obrisano: spisak je u međuvremenu ponovo pročitan. Ništa drugo nije "
                                      "obrisano.")));
        checkCanModify();
        removeRow(row, keyOf(row));
    });
}

void TDataSet::removeRow(std::size_t row, std::int64_t key)
{
    m_connection->reopenIfReplaced();
    db::Engine& database = engine();
    {
        // The row goes only as this data set read it: every column of it.
        db::RowWrite write = writeOf(db::RowWrite::Kind::Delete);
        write.key = key;
        for (int f : m_target.fields) {
            write.seen.push_back(storedValue(row, f));
            write.values.push_back(write.seen.back());
            write.written.push_back(false);
            write.compared.push_back(f != m_target.keyField);
        }
        const std::unique_ptr<db::WriteTransaction> transaction = database.beginWrite();
        const int changes = database.deleteRow(write);
        if (changes == 0) {
            write.kind = db::RowWrite::Kind::Check;
            if (database.writeRow(write).rows > 0)
                throw Exception(say(QT_TRANSLATE_NOOP("Register",
                                                      "Nije obrisano: ovaj zapis je u međuvremenu izmenjen na drugom "
                                                      "mestu (drugi korisnik ili program). Pogledajte ga ponovo, pa "
                                                      "ga obrišite ako i dalje treba.")));
        }
        if (changes == 0)
            throw Exception(
                say(QT_TRANSLATE_NOOP("Register",
                                      "Nije obrisano: ovog zapisa više nema u registru (možda ga je obrisao drugi "
                                      "program).")));
        if (changes > 1)
            throw Exception(
                say(QT_TRANSLATE_NOOP("Register",
                                      "Nije obrisano: u registru je više zapisa s brojem %1, a sme biti samo jedan."))
                    .arg(key));
        transaction->commit();
    }

    m_reader.removeRow(row);
    const auto at = std::find(m_order.begin(), m_order.end(), static_cast<std::uint32_t>(row));
    if (at != m_order.end()) {
        const int index = static_cast<int>(at - m_order.begin());
        m_order.erase(at);
        if (m_current > index || m_current >= static_cast<int>(m_order.size()))
            --m_current;
    }
    notify(TDataEvent::DataSetChange);
}
