#include "commandids.h"
#include "icommandstates.h"

#include <initializer_list>

namespace corvanta {

void ApplyCommandStates(ICommandStates& bars, bool running, bool busy)
{
    const bool idle = !running;
    const bool free = idle && !busy; // may start a load, a save or a run
    bars.EnableToolbarButton(CmdStart, free);
    bars.EnableToolbarButton(CmdPause, running);
    bars.EnableToolbarButton(CmdStop, running);
    bars.EnableToolbarButton(CmdRetry, free);
    bars.EnableToolbarButton(CmdThreadsBox, idle);
    bars.EnableToolbarButton(CmdPositionBox, idle);

    bars.EnableMenuButton(CmdStart, free);
    bars.EnableMenuButton(CmdPause, running);
    bars.EnableMenuButton(CmdStop, running);
    bars.EnableMenuButton(CmdRetry, free);

    for (int id : {CmdOpen, CmdSave, CmdExit, CmdAdd})
        bars.EnableToolbarButton(id, id == CmdExit ? idle : free);
    for (int id : {CmdOpen, CmdSave, CmdExit, CmdAdd})
        bars.EnableMenuButton(id, id == CmdExit ? idle : free);

    for (int id : {CmdSetup, CmdAbout}) {
        bars.EnableToolbarButton(id, idle);
        bars.EnableMenuButton(id, idle);
    }
}

} // namespace corvanta
