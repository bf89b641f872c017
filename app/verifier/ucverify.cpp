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
    // Abort first so a verification under way ends even if the release
    // itself were delayed; the release (closing the connection) follows.
    // Neither may keep the window from closing.
    QVariant ignoredValue;
    BrokerError ignoredError;
    m_verify->tryCall(verifyclass::Abort, {}, &ignoredValue, &ignoredError);
    m_verify.reset();
}

} // namespace corvanta
