#include "texttable.h"

namespace corvanta {

TextTable::TextTable()
{
    Clear();
}

quint32 TextTable::Intern(const QString& text)
{
    auto it = m_index.constFind(text);
    if (it != m_index.cend())
        return *it;
    const quint32 index = quint32(m_texts.size());
    m_texts.append(text);
    m_index.insert(text, index);
    return index;
}

void TextTable::Clear()
{
    m_texts = QStringList{QString()};
    m_index.clear();
    m_index.insert(QString(), 0);
}

} // namespace corvanta
