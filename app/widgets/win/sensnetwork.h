#pragma once

// Windows only, and free of Qt so that it can be cross-built and checked on its own.
#include <windows.h>

namespace corvanta::win {

// The shape of the system's network-alive call (SENSAPI IsNetworkAlive).
using IsNetworkAliveFunction = BOOL(WINAPI*)(LPDWORD flags);

// True exactly when the system's network-alive call returns TRUE (1). The flags it
// reports (LAN, WAN) are not looked at, and a failing call counts as offline.
bool networkIsAlive();

// The same rule over any function of that shape, so that the rule can be checked
// against answers the real call only gives on a broken machine.
bool networkIsAlive(IsNetworkAliveFunction isNetworkAlive);

} // namespace corvanta::win
