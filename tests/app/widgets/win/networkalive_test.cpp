// The Windows network-alive rule, built for Windows and run under Wine. Plain C++ with
// a minimal check harness: no Qt or GoogleTest build exists for the Windows side.
#include "win/sensnetwork.h"

// <sensapi.h> needs the types of <windows.h> declared first.
// clang-format off
#include <windows.h>
#include <sensapi.h>
// clang-format on

#include <cstdio>

namespace {

int g_failures = 0;

void check(bool condition, const char* what)
{
    std::printf("%s %s\n", condition ? "ok  " : "FAIL", what);
    if (!condition)
        ++g_failures;
}

// What the fakes saw and what they answer.
DWORD g_flagsOnEntry = 0xDEADBEEF;
BOOL g_answer = FALSE;
DWORD g_reportedFlags = 0;

BOOL WINAPI fakeIsNetworkAlive(LPDWORD flags)
{
    g_flagsOnEntry = *flags;
    *flags = g_reportedFlags;
    return g_answer;
}

bool askFake(BOOL answer, DWORD reportedFlags)
{
    g_flagsOnEntry = 0xDEADBEEF;
    g_answer = answer;
    g_reportedFlags = reportedFlags;
    return corvanta::win::networkIsAlive(&fakeIsNetworkAlive);
}

} // namespace

int main()
{
    using corvanta::win::networkIsAlive;

    check(askFake(TRUE, NETWORK_ALIVE_LAN), "TRUE with a LAN reads as online");
    check(g_flagsOnEntry == 0, "the flags variable starts at 0");
    check(askFake(TRUE, 0), "TRUE reads as online whatever the flags say");
    check(!askFake(FALSE, NETWORK_ALIVE_LAN), "a failing call is offline despite its flags");
    check(!askFake(2, NETWORK_ALIVE_LAN), "only TRUE itself reads as online");
    check(!networkIsAlive(nullptr), "no function at all reads as offline");

    // The real call, through the system's SENSAPI, gives the same answer as asking it
    // directly: the probe reaches the real function and reads it the same way.
    DWORD flags = 0;
    const bool direct = ::IsNetworkAlive(&flags) == TRUE;
    check(networkIsAlive() == direct, "the real call agrees with SENSAPI");
    std::printf("SENSAPI says: %s (flags %lu)\n", direct ? "alive" : "not alive",
                static_cast<unsigned long>(flags));

    std::printf("%d failure(s)\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
