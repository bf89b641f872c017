#pragma once

// Members of the object the broker tests host (class "Test.Object"). Its
// members mimic what a verification object does: work that starts on a timer
// and waits inside a nested loop, events at the end, state pushes.
namespace corvanta::testobject {

inline constexpr const char* ClassName = "Test.Object";

enum Member : int
{
    Echo = 0,         // (value) -> value
    SetState,         // (status, busy): pushes them
    Work,             // (ms): busy, status 2; a timer starts a wait of ms; then status 3
    SetEvents,        // (bool): events at the end of Work while true
    Calls,            // () -> number of calls served so far
    Abort,            // (): ends a running Work at once
    RaiseEvents,      // (n): raises events 1..n inside the call, returns when all are handled
    Hang,             // (ms): answers only after ms (the thread keeps serving meanwhile)
    Pid,              // () -> server process id
    LiveObjects,      // () -> objects alive in the server
    Fail,             // (): raises error 1234 from "Test.Object"
    ReturnUnpassable, // () -> a value that cannot cross
    WasAborted,       // () -> whether the last Work ended by Abort
    MemberCount
};

enum Event : int
{
    Finished = 1,
    Progress = 2
};

inline constexpr int FailNumber = 1234;

} // namespace corvanta::testobject
