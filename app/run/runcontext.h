#pragma once

#include "ireport.h"
#include "irunshell.h"
#include "istatusdisplay.h"
#include "outcome.h"
#include "runtypes.h"

namespace corvanta {

class IListJournal;
class ListRows;

// The main window's parts that the run logic works on. The window owns all of
// them and keeps them alive for as long as any object built on this context.
struct RunContext
{
    RunState& state;
    const RunSettings& settings;
    IReport& report;
    IStatusDisplay& status;
    IRunShell& shell;
    // Told of every recorded outcome when set; owned by whoever built the
    // context.
    IOutcomeSink* sink = nullptr;
    // The raw rows of CSV lists, for their result files; owned by whoever
    // built the context. Without it CSV lists load but save plain.
    ListRows* listRows = nullptr;
    // Keeps outcomes on disk across sessions when set; it hears of each
    // outcome through `sink`, and of lists from the list loading.
    IListJournal* journal = nullptr;
};

} // namespace corvanta
