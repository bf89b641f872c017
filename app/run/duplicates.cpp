#include "duplicates.h"

namespace corvanta {

QByteArray duplicateKey(QByteArrayView address)
{
    QByteArray key = address.toByteArray();
    const qsizetype at = key.lastIndexOf('@');
    if (at < 0)
        return key;
    // ASCII only: the line's bytes are in the local code page, and folding
    // other bytes would join addresses a server tells apart.
    for (qsizetype i = at + 1; i < key.size(); ++i) {
        const char c = key[i];
        if (c >= 'A' && c <= 'Z')
            key[i] = char(c - 'A' + 'a');
    }
    return key;
}

void DuplicateFollower::index(const IReport& report)
{
    const qsizetype n = report.recordCount();
    m_group.assign(size_t(n), -1);
    QHash<QByteArray, qint32> first;
    first.reserve(n);
    for (qsizetype row = 0; row < n; ++row) {
        qint32& seen = first[duplicateKey(report.address(row))];
        // Rows are stored one up, so that 0 is a key met for the first time.
        if (seen == 0) {
            seen = qint32(row) + 1;
            continue;
        }
        m_group[size_t(row)] = seen - 1;
        m_group[size_t(seen - 1)] = seen - 1;
    }
    startRun();
}

void DuplicateFollower::startRun()
{
    m_checking.clear();
    m_settled.clear();
    m_waiting.clear();
}

DuplicateFollower::Decision DuplicateFollower::take(qsizetype row, bool retryMode,
                                                    const IReport& report)
{
    if (row < 0 || row >= size() || m_group[size_t(row)] < 0)
        return {};
    const qint32 group = m_group[size_t(row)];
    if (const auto it = m_settled.constFind(group); it != m_settled.cend())
        return {Take::Follow, *it};
    if (!retryMode && group != row && report.storedCode(group))
        return {Take::Follow, group};
    if (const auto it = m_checking.constFind(group); it != m_checking.cend()) {
        // The row being checked is handed out again for a re-check: it stays
        // its group's row, and must not wait on itself.
        if (*it == row)
            return {};
        m_waiting[group].push_back(row);
        return {Take::Wait, -1};
    }
    m_checking.insert(group, row);
    return {};
}

std::vector<qsizetype> DuplicateFollower::checked(qsizetype row)
{
    return release(row, true);
}

std::vector<qsizetype> DuplicateFollower::lost(qsizetype row)
{
    return release(row, false);
}

std::vector<qsizetype> DuplicateFollower::release(qsizetype row, bool settled)
{
    if (row < 0 || row >= size() || m_group[size_t(row)] < 0)
        return {};
    const qint32 group = m_group[size_t(row)];
    const auto checking = m_checking.constFind(group);
    if (checking == m_checking.cend() || *checking != row)
        return {};
    m_checking.erase(checking);
    if (settled)
        m_settled.insert(group, row);
    return m_waiting.take(group);
}

} // namespace corvanta
