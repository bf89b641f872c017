#pragma once

#include "brokerapartment.h"
#include "brokerpaths.h"

#include <QObject>
#include <QTimer>
#include <functional>

class QLocalServer;

namespace corvanta {

// The server side of the broker: listens on the user's private socket and
// gives every accepted connection an apartment thread with one object of a
// registered class. Lives on the main thread, which does nothing but accept.
//
// The host ends itself (emits finished()) when no client has connected within
// startGraceMs of listen(), or lingerMs after its last object went. Objects
// still alive at destruction are aborted and their threads joined.
class BrokerHost final : public QObject
{
    Q_OBJECT

public:
    explicit BrokerHost(BrokerPaths paths, QObject* parent = nullptr);
    ~BrokerHost() override;

    // Registers a creatable class. Only before listen().
    void registerClass(const QString& name, ObjectFactory factory);

    void setStartGrace(int ms) { m_startGraceMs = ms; }
    void setLinger(int ms) { m_lingerMs = ms; }

    // Starts listening. Returns false with a reason when the folder is not
    // private or the socket cannot be made. *alreadyServed is set when
    // another live server holds the socket: that is no failure of ours, the
    // caller should just leave.
    bool listen(QString* error, bool* alreadyServed = nullptr);

    int liveObjects() const { return m_live; }

signals:
    // Time to leave: no client came, or the last object went and none came
    // back within the linger time.
    void finished();

private:
    void accept(qintptr fd);
    void onApartmentFinished(BrokerApartment* apartment);
    void armIdleTimer(int ms);

    friend class HostListener;

    BrokerPaths m_paths;
    ClassTable m_classes;
    std::shared_ptr<const ClassTable> m_frozenClasses;
    QLocalServer* m_server = nullptr;
    QTimer m_idleTimer;
    QList<BrokerApartment*> m_apartments;
    int m_live = 0;
    int m_startGraceMs = 5000;
    int m_lingerMs = 5000;
};

// The whole server process: sets the process up (open-file limit, event
// dispatcher), lets `registerClasses` fill the class table, listens on the
// standard socket and runs until the host is finished. CORVANTA_BROKER_LINGER_MS
// and CORVANTA_BROKER_GRACE_MS shorten the idle times for tests. Returns the
// process exit code.
int runBrokerServer(int argc, char** argv, const std::function<void(BrokerHost&)>& registerClasses);

} // namespace corvanta
