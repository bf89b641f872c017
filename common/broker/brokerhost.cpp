#include "brokerhost.h"

#include "openfilelimit.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace corvanta {

// QLocalServer hands out sockets owned by the accepting thread; the host needs
// the bare descriptor so the socket can be made on the apartment's thread.
class HostListener final : public QLocalServer
{
public:
    HostListener(BrokerHost* host) : QLocalServer(host), m_host(host) {}

protected:
    void incomingConnection(quintptr socketDescriptor) override
    {
        m_host->accept(qintptr(socketDescriptor));
    }

private:
    BrokerHost* m_host;
};

BrokerHost::BrokerHost(BrokerPaths paths, QObject* parent)
    : QObject(parent), m_paths(std::move(paths))
{
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        if (m_live == 0) {
            if (m_server)
                m_server->close();
            emit finished();
        }
    });
}

BrokerHost::~BrokerHost()
{
    if (m_server)
        m_server->close();
    // An apartment ends when its connection closes; ask each to end now and
    // wait, so no object outlives the host. The interruption request ends
    // an object's network waits, which the loop's end alone does not reach.
    for (BrokerApartment* apartment : std::as_const(m_apartments)) {
        apartment->requestInterruption();
        apartment->exit(0);
        apartment->wait();
        delete apartment;
    }
}

void BrokerHost::registerClass(const QString& name, ObjectFactory factory)
{
    m_classes.insert(name, std::move(factory));
}

bool BrokerHost::listen(QString* error, bool* alreadyServed)
{
    if (alreadyServed)
        *alreadyServed = false;
    if (!ensurePrivateDir(m_paths.dir, error))
        return false;
    m_frozenClasses = std::make_shared<const ClassTable>(m_classes);
    m_server = new HostListener(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_paths.socket)) {
        if (m_server->serverError() != QAbstractSocket::AddressInUseError) {
            if (error)
                *error = m_server->errorString();
            return false;
        }
        // Someone left a socket file. If a server answers on it, it serves
        // this user already; otherwise the file is stale and can go.
        QLocalSocket probe;
        probe.connectToServer(m_paths.socket);
        if (probe.waitForConnected(1000)) {
            if (alreadyServed)
                *alreadyServed = true;
            if (error)
                *error = QStringLiteral("Another server already listens on %1").arg(m_paths.socket);
            return false;
        }
        QLocalServer::removeServer(m_paths.socket);
        if (!m_server->listen(m_paths.socket)) {
            if (error)
                *error = m_server->errorString();
            return false;
        }
    }
    // The folder is private already; owner-only on the socket itself as well.
    QFile::setPermissions(m_paths.socket, QFile::ReadOwner | QFile::WriteOwner);
    armIdleTimer(m_startGraceMs);
    return true;
}

void BrokerHost::accept(qintptr fd)
{
    if (!peerIsSameUser(fd)) {
        ::close(int(fd));
        return;
    }
    m_idleTimer.stop();
    auto* apartment = new BrokerApartment(fd, m_frozenClasses);
    m_apartments.append(apartment);
    ++m_live;
    connect(apartment, &QThread::finished, this,
            [this, apartment] { onApartmentFinished(apartment); });
    apartment->start();
}

void BrokerHost::onApartmentFinished(BrokerApartment* apartment)
{
    m_apartments.removeOne(apartment);
    apartment->wait();
    apartment->deleteLater();
    if (--m_live == 0)
        armIdleTimer(m_lingerMs);
}

void BrokerHost::armIdleTimer(int ms)
{
    m_idleTimer.start(ms);
}

namespace {

// Each object holds about three descriptors: its thread's wake-up handle and
// the sockets of its resolver and its mail server.
constexpr int ReservedDescriptors = 4096;

std::optional<int> envMs(const char* name)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    if (!ok || v < 0)
        return std::nullopt;
    return v;
}

} // namespace

int runBrokerServer(int argc, char** argv, const std::function<void(BrokerHost&)>& registerClasses)
{
    raiseOpenFileLimit();
    // Room for about a thousand objects' descriptors before any thread runs;
    // see reserveFileDescriptors for what growing it later would cost.
    reserveFileDescriptors(ReservedDescriptors);
    std::optional<QCoreApplication> ownApp;
    if (!QCoreApplication::instance()) {
        // The plain Unix event dispatcher costs far less per thread than the
        // GLib one, and the server runs one event loop per object.
        qputenv("QT_NO_GLIB", "1");
        ownApp.emplace(argc, argv);
    }
    BrokerHost host(BrokerPaths::standard());
    if (auto ms = envMs("CORVANTA_BROKER_GRACE_MS"))
        host.setStartGrace(*ms);
    if (auto ms = envMs("CORVANTA_BROKER_LINGER_MS"))
        host.setLinger(*ms);
    registerClasses(host);
    QString error;
    bool alreadyServed = false;
    if (!host.listen(&error, &alreadyServed)) {
        if (alreadyServed)
            return 0;
        std::fprintf(stderr, "sondrix: %s\n", qPrintable(error));
        return 1;
    }
    QObject::connect(&host, &BrokerHost::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    return QCoreApplication::exec();
}

} // namespace corvanta
