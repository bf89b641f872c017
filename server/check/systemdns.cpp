#include "systemdns.h"

#include <QFile>

namespace corvanta {

QStringList systemDnsServers(const QString& resolvConfPath)
{
    QStringList servers;
    QFile file(resolvConfPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return servers;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(4096).simplified();
        const QList<QByteArray> words = line.split(' ');
        if (words.size() >= 2 && words[0] == "nameserver")
            servers.append(QString::fromLatin1(words[1]));
    }
    return servers;
}

} // namespace corvanta
