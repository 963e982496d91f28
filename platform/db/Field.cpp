#include "Field.h"

#include "DataSet.h"
#include "Exception.h"

#include <QCoreApplication>

#include <charconv>

TField::TField(QObject* owner, FieldKind kind, int size)
    : TComponent(owner), m_kind(kind), m_size(size)
{
}

TField::~TField()
{
    if (m_dataSet)
        m_dataSet->removeField(this);
}

void TField::setDataSet(TDataSet* dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->removeField(this);
    m_persistent = true;
    if (dataSet)
        dataSet->addField(this);
}

int TField::Index() const
{
    return m_dataSet ? m_dataSet->Fields().indexOf(const_cast<TField*>(this)) : -1;
}

bool TField::IsNull() const
{
    if (!m_dataSet)
        throw Exception(QCoreApplication::translate("Register", "Polje „%1” nema skup podataka.").arg(m_fieldName));
    return m_dataSet->fieldIsNull(this);
}

int TField::AsInteger() const
{
    if (!m_dataSet)
        throw Exception(QCoreApplication::translate("Register", "Polje „%1” nema skup podataka.").arg(m_fieldName));
    if (m_kind == FieldKind::Integer)
        return m_dataSet->fieldInteger(this);
    const std::string text = AsString();
    if (text.empty())
        return 0;
    std::int32_t value = 0;
    if (!db::parseInteger(text, value))
        throw Exception(QCoreApplication::translate("Register", "%1: „%2” nije ceo broj.")
                            .arg(DisplayLabel(), QString::fromStdString(text)));
    return value;
}

std::string TField::AsString() const
{
    if (!m_dataSet)
        throw Exception(QCoreApplication::translate("Register", "Polje „%1” nema skup podataka.").arg(m_fieldName));
    if (m_kind == FieldKind::Integer)
        return m_dataSet->fieldIsNull(this) ? std::string() : std::to_string(m_dataSet->fieldInteger(this));
    return std::string(m_dataSet->fieldText(this));
}

void TField::setAsInteger(int value)
{
    if (m_kind == FieldKind::Text) {
        setAsString(std::to_string(value));
        return;
    }
    if (!m_dataSet)
        throw Exception(QCoreApplication::translate("Register", "Polje „%1” nema skup podataka.").arg(m_fieldName));
    m_dataSet->setFieldValue(this, false, value, {});
}

void TField::setAsString(std::string_view value)
{
    if (!m_dataSet)
        throw Exception(QCoreApplication::translate("Register", "Polje „%1” nema skup podataka.").arg(m_fieldName));
    if (value.empty()) {
        Clear();
        return;
    }
    if (m_kind == FieldKind::Integer) {
        std::int32_t number = 0;
        if (!db::parseInteger(value, number))
            throw Exception(QCoreApplication::translate("Register", "%1: „%2” nije ceo broj.")
                                .arg(DisplayLabel(), QString::fromStdString(std::string(value))));
        m_dataSet->setFieldValue(this, false, number, {});
        return;
    }
    if (m_size > 0 && characterCount(value) > static_cast<std::size_t>(m_size))
        throw Exception(QCoreApplication::translate("Register", "%1: tekst je duži od %2 znakova.")
                            .arg(DisplayLabel())
                            .arg(m_size));
    m_dataSet->setFieldValue(this, false, 0, value);
}

void TField::Clear()
{
    if (!m_dataSet)
        throw Exception(QCoreApplication::translate("Register", "Polje „%1” nema skup podataka.").arg(m_fieldName));
    m_dataSet->setFieldValue(this, true, 0, {});
}

bool TField::IsValidChar(char32_t c) const
{
    if (m_kind == FieldKind::Integer)
        return (c >= '0' && c <= '9') || c == '+' || c == '-';
    return c >= 0x20 && c != 0x7F;
}

std::size_t TField::characterCount(std::string_view text)
{
    std::size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++count;
    return count;
}
