#pragma once

namespace corvanta {

// One number per command, shared by its menu entry, its toolbar control and its
// icon. The values are part of the program's contract with the run logic, which
// enables and checks controls by these numbers.
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
