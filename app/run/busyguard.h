#pragma once

#include "runcontext.h"

namespace corvanta {

// Marks a list being read or the results being written, for as long as it
// lives. Both yield to the event loop while they work, and a second load, a
// save or a run started from inside that yield would change the records under
// the loop that walks them, or write files that no longer match the report.
// So while a guard lives RunState::IsBusy is set, the window disables the
// commands that start a load, a save, a run or a retry, and their entry points
// refuse to start. GUI thread only; the context must outlive the guard.
class BusyGuard final
{
public:
    explicit BusyGuard(RunContext& ctx);
    ~BusyGuard();
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    RunContext& m_ctx;
};

} // namespace corvanta
