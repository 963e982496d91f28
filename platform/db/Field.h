#pragma once
// Field objects: one column of a data set, read and written on the data set's
// current row.
//
// A field object either belongs to the window's description (persistent: it
// fixes the name, order, class and size of the data set's columns) or is made
// by the data set from the result of its statement when it has no persistent
// fields. While the data set is in edit or insert state, reads and writes go
// to the row being edited; otherwise reads come from the current row, and
// writing is refused.

#include "Component.h"
#include "Values.h"

#include <cstdint>
#include <string>
#include <string_view>

class TDataSet;

class TField : public TComponent {
    Q_OBJECT
public:
    ~TField() override;

    QString FieldName() const { return m_fieldName; }
    void setFieldName(const QString& name) { m_fieldName = name; }

    // What a person calls the field in a message ("country", not
    // "ID_DRZAVA"), in the program's language; the field's name unless set.
    QString DisplayLabel() const { return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel; }
    void setDisplayLabel(const QString& label) { m_displayLabel = label; }

    // Largest number of characters the field holds (text fields); 0: no limit.
    int Size() const { return m_size; }
    void setSize(int size) { m_size = size; }

    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    // A row whose required field is empty is not written, whether or not
    // the database itself would refuse it.
    bool Required() const { return m_required; }
    void setRequired(bool required) { m_required = required; }

    // Attaches a persistent field to the end of a data set's field list.
    TDataSet* DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet* dataSet);

    // Position among the data set's fields, from 0; -1 without a data set.
    int Index() const;
    FieldKind kind() const { return m_kind; }

    // The current row's value (or the edited row's, while editing).
    bool IsNull() const;
    int AsInteger() const;         // null reads as 0; text must hold a whole number
    std::string AsString() const;  // UTF-8; null reads as ""
    QString Text() const { return QString::fromStdString(AsString()); }

    // Writing needs the data set in edit or insert state. Throws Exception
    // for a read-only field, a text over Size characters, or (integer
    // fields) a text that is not a whole number in the signed 32-bit range.
    // An empty text sets the field to null.
    void setAsInteger(int value);
    void setAsString(std::string_view value);
    void setText(const QString& text) { setAsString(text.toStdString()); }
    void Clear();

    // Whether a control may let the user type c into this field.
    bool IsValidChar(char32_t c) const;

    // Where the column comes from in the database (empty for expressions).
    const std::string& originTable() const { return m_originTable; }
    const std::string& originColumn() const { return m_originColumn; }

    // Characters in UTF-8 text, as the database's length() counts them.
    static std::size_t characterCount(std::string_view text);

protected:
    TField(QObject* owner, FieldKind kind, int size);

private:
    friend class TDataSet;
    FieldKind m_kind;
    QString m_fieldName;
    QString m_displayLabel;
    int m_size;
    bool m_readOnly = false;
    bool m_required = false;
    TDataSet* m_dataSet = nullptr;
    bool m_persistent = false;
    std::string m_originTable;
    std::string m_originColumn;
};

class TIntegerField : public TField {
    Q_OBJECT
public:
    explicit TIntegerField(QObject* owner = nullptr) : TField(owner, FieldKind::Integer, 0) {}
};

// An integer key that the database assigns; read-only.
class TAutoIncField : public TIntegerField {
    Q_OBJECT
public:
    explicit TAutoIncField(QObject* owner = nullptr) : TIntegerField(owner) { setReadOnly(true); }
};

class TWideStringField : public TField {
    Q_OBJECT
public:
    explicit TWideStringField(QObject* owner = nullptr) : TField(owner, FieldKind::Text, 255) {}
};
