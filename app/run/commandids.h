#pragma once

namespace corvanta {

// One number per command, shared by its menu entry, its toolbar control and its
// icon. They live with the run logic because it enables and checks the window's
// controls by these numbers; the window builds its bars from the same list.
enum CommandId : int
{
    CmdOpen = 100,
    CmdSave = 101,
    CmdExit = 102,
    CmdAdd = 103,
    CmdExport = 104, // File > Export report...; menu only
    CmdStart = 200,
    CmdPause = 201,
    CmdStop = 202,
    CmdRetry = 203,
    CmdSetup = 300,
    CmdAbout = 400,
    CmdThreadsLabel = 500,
    CmdThreadsBox = 501,
    CmdPositionBox = 503,
};

} // namespace corvanta
