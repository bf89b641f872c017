#pragma once

namespace corvanta {

// The four command-state routines of the main window. A menu entry and a toolbar
// control with the same id are separate controls: each routine touches only its
// own kind, and an id with no control of that kind is silently ignored.
// Called on the GUI thread only.
class ICommandStates
{
public:
    virtual ~ICommandStates() = default;

    virtual void EnableToolbarButton(int id, bool on) = 0;
    virtual void EnableMenuButton(int id, bool on) = 0;
    virtual void CheckToolbarButton(int id, bool on) = 0;
    virtual void CheckMenuButton(int id, bool on) = 0;
};

// Enables the commands for a run that is going (`running`) or not: while a run
// goes only Pause and Stop are offered, otherwise everything but those two,
// and while a list is read or the results are written (`busy`) also not Open,
// Save, Add, Start or Retry: each would start another load, save or run. The
// order of the calls is fixed (toolbar run commands and boxes first, then the
// menu run commands, then the file commands, then Setup and About) so that
// observers see the same sequence every time. Pause's check mark is not touched.
void ApplyCommandStates(ICommandStates& bars, bool running, bool busy);

} // namespace corvanta
