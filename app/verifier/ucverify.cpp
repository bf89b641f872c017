#include "ucverify.h"

#include <QMetaMethod>

namespace corvanta {

ucVerify::ucVerify(QWidget* parent, const ClientOptions& options)
    : QWidget(parent), m_verify(std::make_unique<RemoteVerify>(options))
{
    bind();
}

ucVerify::ucVerify(std::unique_ptr<RemoteVerify> object, QWidget* parent)
    : QWidget(parent), m_verify(std::move(object))
{
    Q_ASSERT(m_verify);
    bind();
}

void ucVerify::bind()
{
    // Fixed minimum and maximum: any resize leaves the control 32 by 32.
    setFixedSize(Side, Side);
    connect(m_verify.get(), &RemoteVerify::FinishedEvent, this, &ucVerify::Finished);
    connect(m_verify.get(), &RemoteVerify::ProgressEvent, this, &ucVerify::Progress);
}

void ucVerify::connectNotify(const QMetaMethod& signal)
{
    // Relayed only once someone listens: a pool of controls whose owner
    // reads Status() would otherwise wake its loop for every push.
    static const QMetaMethod changed = QMetaMethod::fromSignal(&ucVerify::stateChanged);
    if (signal == changed && !m_relayingState) {
        m_relayingState = true;
        connect(m_verify.get(), &RemoteVerify::stateChanged, this, &ucVerify::stateChanged);
    }
}

ucVerify::~ucVerify()
{
    // Closing the connection is the release, and the server aborts the
    // object's work when it sees it closed. A synchronous Abort first would
    // add nothing but a wait: on a server that has stopped answering, up to
    // the call bound for every control of a pool being unloaded.
    m_verify.reset();
}

} // namespace corvanta
