#pragma once

#include "hostedobject.h"

#include <QHash>
#include <QString>
#include <QThread>
#include <memory>

namespace corvanta {

using ClassTable = QHash<QString, ObjectFactory>;

// One accepted connection and the one object it creates, on a thread of their
// own: the socket, every call, the object's timers and nested waits and its
// events all run on this thread, so a silent mail server stalls this object
// alone. The thread ends when the connection closes; the object is aborted
// and destroyed on it first.
class BrokerApartment final : public QThread
{
    Q_OBJECT

public:
    // Apartments host one object and little else, so a small stack keeps
    // thousands of them affordable. Large enough for nested event loops of a
    // verification waiting inside DNS and SMTP steps.
    static constexpr uint StackSize = 512 * 1024;

    // Takes ownership of the connected socket descriptor `fd`. `classes` is
    // shared read-only by all apartments.
    BrokerApartment(qintptr fd, std::shared_ptr<const ClassTable> classes,
                    QObject* parent = nullptr);

protected:
    void run() override;

private:
    qintptr m_fd;
    std::shared_ptr<const ClassTable> m_classes;
};

} // namespace corvanta
