#include "mxanswer.h"

#include "componenterror.h"

#include <QUrl>
#include <algorithm>
#include <ares.h>

namespace corvanta {

QByteArray dnsQueryName(const QString& domain)
{
    if (domain.isEmpty() || domain.contains(QChar(0)))
        return {};
    QByteArray ace = QUrl::toAce(domain);
    if (ace.isEmpty() || ace.size() > 253)
        return {};
    // c-ares reads backslashes as escapes; no real host name contains one.
    if (ace.contains('\\'))
        return {};
    return ace;
}

QList<MxRecord> mxRecordsFrom(const ares_mx_reply* reply)
{
    QList<MxRecord> records;
    for (const ares_mx_reply* r = reply; r; r = r->next) {
        QString host = QString::fromLatin1(r->host);
        if (host == QLatin1String("."))
            host.clear();
        records.append({r->priority, host});
    }
    return records;
}

IDnsResolver::MxLists orderMxRecords(QList<MxRecord> records)
{
    std::stable_sort(records.begin(), records.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    IDnsResolver::MxLists lists;
    for (const auto& [preference, host] : std::as_const(records)) {
        if (host.isEmpty())
            continue;
        lists.hosts.append(host);
        lists.alternates.append(host);
    }
    if (lists.hosts.isEmpty() && !records.isEmpty())
        throw ComponentException(ARES_ENODATA,
                                 QStringLiteral("The domain accepts no mail (null MX)"));
    return lists;
}

} // namespace corvanta
