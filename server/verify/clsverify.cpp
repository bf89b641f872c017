#include "clsverify.h"

#include "componenterror.h"
#include "ctimer.h"
#include "emailformat.h"
#include "idnsresolver.h"
#include "ismtpclient.h"
#include "verifyprocedure.h"

namespace corvanta {

clsVerify::clsVerify(const ComponentFactory& factory, QObject* parent)
    : QObject(parent), m_tmrVerify(CTimer::create())
{
    // The resolver comes first: the SMTP client looks mail servers up
    // through it.
    if (factory.createDnsResolver)
        m_dns = factory.createDnsResolver();
    if (!m_dns)
        throw ComponentException(0, QStringLiteral("The DNS resolver could not be created"));
    if (factory.createSmtpClient)
        m_smtp = factory.createSmtpClient(*m_dns);
    if (!m_smtp)
        throw ComponentException(0, QStringLiteral("The SMTP client could not be created"));
    connect(m_tmrVerify.get(), &CTimer::Timer, this, &clsVerify::tmrVerify_Timer);
    m_tmrVerify->setInterval(5);
}

clsVerify::~clsVerify()
{
    // Release the components first, then the timer, each without letting a
    // failure stop the rest.
    try {
        m_dns->cancel();
    } catch (...) {
    }
    try {
        m_smtp->abort();
    } catch (...) {
    }
    m_smtp.reset();
    m_dns.reset();
    m_tmrVerify->Disable();
    m_tmrVerify.reset();
}

void clsVerify::Reset()
{
    setState(StatusReady, m_busy);
    m_state.abortMark = false;
}

void clsVerify::Abort()
{
    m_state.abortMark = true;
    try {
        m_dns->cancel();
    } catch (...) {
    }
    try {
        m_smtp->abort();
    } catch (...) {
    }
}

void clsVerify::Verify()
{
    if (m_closing)
        return;
    setState(StatusWorking, true);
    m_tmrVerify->setEnabled(true);
}

void clsVerify::AddDnsServer(const QString& sDnsServer)
{
    m_state.dnsServers.append(sDnsServer);
}

void clsVerify::ClearDnsServers()
{
    m_state.dnsServers.clear();
}

QString clsVerify::HelloName() const
{
    return m_smtp->helloName();
}

void clsVerify::setHelloName(const QString& name)
{
    m_smtp->setHelloName(name);
}

bool clsVerify::isValidEmail(const QString& myEmail) const
{
    return corvanta::isValidEmail(myEmail);
}

void clsVerify::forgetOutcome()
{
    const VerifyState fresh;
    m_state.result = fresh.result;
    m_state.message = fresh.message;
    m_state.smtpReplies = fresh.smtpReplies;
    m_state.fromReply = fresh.fromReply;
    m_state.recptReply = fresh.recptReply;
}

void clsVerify::shutdown()
{
    m_closing = true;
    m_tmrVerify->Disable();
    Abort();
}

void clsVerify::setState(ProcessStatus status, bool busy)
{
    if (status == m_status && busy == m_busy)
        return;
    m_status = status;
    m_busy = busy;
    emit stateChanged(status, busy);
}

void clsVerify::tmrVerify_Timer()
{
    // A Verify() during a running procedure, or from a handler of its final
    // events, must not nest a second one inside the first one's network or
    // event wait: each nesting would deepen the thread's stack until it
    // overflows. The timer stays armed and starts it once the running one has
    // returned to the thread's event loop.
    if (m_inProcedure || m_closing)
        return;
    m_inProcedure = true;
    try {
        m_tmrVerify->setEnabled(false);
        setState(StatusWorking, true);
        VerifyProcedure procedure(m_state, *m_dns, *m_smtp,
                                  [this](qint32 method, const QString& description) {
                                      emit ProgressEvent(method, description);
                                  });
        procedure.VerifyAddress(m_state.address);
    } catch (...) {
        // The procedure turns failures into outcomes; whatever still escapes
        // must not keep the object from finishing.
    }
    setState(StatusFinished, false);
    if (m_state.eventsEnabled) {
        try {
            emit ProgressEvent(ProgressStep::Finished, QStringLiteral("Finished"));
            emit FinishedEvent(m_state.result);
        } catch (...) {
        }
    }
    m_inProcedure = false;
    emit procedureEnded();
}

} // namespace corvanta
