#include "ADOQuery.h"

void TSQLText::Clear()
{
    m_owner->Close();
    m_lines.clear();
}

void TSQLText::Add(const std::string& line)
{
    m_owner->Close();
    m_lines.push_back(line);
}

void TSQLText::setText(const std::vector<std::string>& lines)
{
    m_owner->Close();
    m_lines = lines;
}

std::string TSQLText::Text() const
{
    std::string text;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (i)
            text += '\n';
        text += m_lines[i];
    }
    return text;
}

std::string TADOQuery::describe() const
{
    return objectName().isEmpty() ? std::string("The query") : objectName().toStdString();
}
