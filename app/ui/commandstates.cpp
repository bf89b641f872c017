#include "commandids.h"
#include "icommandstates.h"

#include <initializer_list>

namespace corvanta {

void ApplyCommandStates(ICommandStates& bars, bool running)
{
    const bool idle = !running;
    bars.EnableToolbarButton(CmdStart, idle);
    bars.EnableToolbarButton(CmdPause, running);
    bars.EnableToolbarButton(CmdStop, running);
    bars.EnableToolbarButton(CmdRetry, idle);
    bars.EnableToolbarButton(CmdThreadsBox, idle);
    bars.EnableToolbarButton(CmdPositionBox, idle);

    bars.EnableMenuButton(CmdStart, idle);
    bars.EnableMenuButton(CmdPause, running);
    bars.EnableMenuButton(CmdStop, running);
    bars.EnableMenuButton(CmdRetry, idle);

    for (int id : {CmdOpen, CmdSave, CmdExit, CmdAdd})
        bars.EnableToolbarButton(id, idle);
    for (int id : {CmdOpen, CmdSave, CmdExit, CmdAdd})
        bars.EnableMenuButton(id, idle);

    for (int id : {CmdSetup, CmdAbout}) {
        bars.EnableToolbarButton(id, idle);
        bars.EnableMenuButton(id, idle);
    }
}

} // namespace corvanta
