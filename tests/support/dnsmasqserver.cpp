#include "dnsmasqserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace corvanta::testing {

DnsmasqServer::DnsmasqServer() = default;

DnsmasqServer::~DnsmasqServer()
{
    stop();
}

bool DnsmasqServer::start(const QHostAddress& address, quint16 port, const QList<Mx>& mx,
                          const QList<HostRecord>& hosts, QString* error)
{
    auto failed = [&](const QString& reason) {
        if (error)
            *error = reason;
        stop();
        return false;
    };
    stop();
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid())
        return failed(QStringLiteral("no temporary folder: %1").arg(m_dir->errorString()));

    const QString confPath = m_dir->filePath(QStringLiteral("dnsmasq.conf"));
    QFile conf(confPath);
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Text))
        return failed(conf.errorString());
    for (const Mx& record : mx)
        conf.write(QStringLiteral("mx-host=%1,%2,%3\n")
                       .arg(record.domain, record.host)
                       .arg(record.preference)
                       .toUtf8());
    for (const HostRecord& host : hosts)
        conf.write(
            QStringLiteral("host-record=%1,%2\n").arg(host.name, host.address.toString()).toUtf8());
    conf.close();

    // Inside a user namespace we are root there, but "nobody" may not exist
    // in it: dnsmasq keeps running as the user it was started as.
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(QStringLiteral("dnsmasq"),
                     {QStringLiteral("--no-daemon"), QStringLiteral("--conf-file=") + confPath,
                      QStringLiteral("--port=%1").arg(port),
                      QStringLiteral("--listen-address=") + address.toString(),
                      QStringLiteral("--bind-interfaces"), QStringLiteral("--no-resolv"),
                      QStringLiteral("--no-hosts"), QStringLiteral("--user=root"),
                      QStringLiteral("--group=root"), QStringLiteral("--pid-file="),
                      QStringLiteral("--log-facility=-")});
    if (!m_process->waitForStarted(5000))
        return failed(QStringLiteral("dnsmasq did not start: %1").arg(m_process->errorString()));

    QByteArray output;
    const QDeadlineTimer deadline(10000);
    while (!output.contains("started")) {
        if (deadline.hasExpired() || m_process->state() != QProcess::Running)
            return failed(QStringLiteral("dnsmasq failed: %1")
                              .arg(QString::fromLocal8Bit(output + m_process->readAll())));
        m_process->waitForReadyRead(100);
        output += m_process->readAll();
    }
    return true;
}

void DnsmasqServer::stop()
{
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            if (!m_process->waitForFinished(3000)) {
                m_process->kill();
                m_process->waitForFinished(3000);
            }
        }
        m_process.reset();
    }
    m_dir.reset();
}

} // namespace corvanta::testing
