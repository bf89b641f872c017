#pragma once

#include <QHash>
#include <QStringList>

namespace corvanta {

// Texts that many rows share (outcome words, server messages, replies), each
// stored once and named by its number; number 0 is the empty text.
// Plain data, one thread.
class TextTable final
{
public:
    TextTable();
    quint32 Intern(const QString& text);
    const QString& At(quint32 index) const { return m_texts.at(index); }
    qsizetype Size() const { return m_texts.size(); }
    void Clear();

private:
    QStringList m_texts;
    QHash<QString, quint32> m_index;
};

} // namespace corvanta
