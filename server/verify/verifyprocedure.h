#pragma once

#include "verifystate.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace corvanta {

class IDnsResolver;
class ISmtpClient;

// The verification of one address: format check, MX look-up, connection to
// the first mail server that accepts one, sender and recipient commands, and
// log-out. It never raises: every failure becomes an outcome and a message in
// the state.
//
// Ownership: borrows the state and the components for its own lifetime.
// Threads: runs on the thread that owns the components; the components wait
// in nested event loops, during which the state's abort mark may be set.
class VerifyProcedure final
{
public:
    // Receives progress steps (raised only while events are enabled).
    using ProgressSink = std::function<void(qint32 method, const QString& description)>;

    VerifyProcedure(VerifyState& state, IDnsResolver& dns, ISmtpClient& smtp,
                    ProgressSink progress);

    void VerifyAddress(const QString& address);

    // Fills `servers` with the domain's mail servers in the resolver's order.
    // True when the look-up raised no error (also when it found nothing).
    bool GetMailServers(const QString& address, QStringList& servers);

private:
    void progress(qint32 method, const QString& description);
    void closingSteps(const std::optional<QString>& pendingError);
    bool aborted() const { return m_state.abortMark; }

    VerifyState& m_state;
    IDnsResolver& m_dns;
    ISmtpClient& m_smtp;
    ProgressSink m_progress;
};

} // namespace corvanta
