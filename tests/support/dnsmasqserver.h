#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <memory>

class QProcess;
class QTemporaryDir;

namespace corvanta::testing {

// DnsmasqServer: a real dnsmasq serving fixed MX and address records on one
// loopback address, for end-to-end tests inside a private network namespace.
// It asks no upstream server and reads no hosts file, so names it was not
// given are not answered from the machine's own setup.
//
// Threads: any one thread. dnsmasq is stopped when the object is destroyed.
class DnsmasqServer final
{
public:
    struct Mx
    {
        QString domain;
        QString host;
        int preference = 10;
    };
    struct HostRecord
    {
        QString name;
        QHostAddress address;
    };

    DnsmasqServer();
    ~DnsmasqServer();

    DnsmasqServer(const DnsmasqServer&) = delete;
    DnsmasqServer& operator=(const DnsmasqServer&) = delete;

    // Writes the configuration, starts dnsmasq in the foreground and waits
    // (up to 10 s) until it serves. False with a reason in `error` otherwise.
    bool start(const QHostAddress& address, quint16 port, const QList<Mx>& mx,
               const QList<HostRecord>& hosts, QString* error = nullptr);
    void stop();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
};

} // namespace corvanta::testing
