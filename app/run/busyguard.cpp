#include "busyguard.h"

namespace corvanta {

BusyGuard::BusyGuard(RunContext& ctx) : m_ctx(ctx)
{
    m_ctx.state.IsBusy = true;
    m_ctx.shell.updateCommandStates();
}

BusyGuard::~BusyGuard()
{
    m_ctx.state.IsBusy = false;
    m_ctx.shell.updateCommandStates();
}

} // namespace corvanta
