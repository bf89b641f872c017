#include "sensnetwork.h"

// <sensapi.h> needs the types of <windows.h> declared first.
// clang-format off
#include <windows.h>
#include <sensapi.h>
// clang-format on

#include <type_traits>

namespace corvanta::win {

static_assert(std::is_same_v<decltype(&::IsNetworkAlive), IsNetworkAliveFunction>,
              "IsNetworkAliveFunction must match the system's declaration");

bool networkIsAlive()
{
    return networkIsAlive(&::IsNetworkAlive);
}

bool networkIsAlive(IsNetworkAliveFunction isNetworkAlive)
{
    if (isNetworkAlive == nullptr)
        return false;
    DWORD flags = 0;
    return isNetworkAlive(&flags) == TRUE;
}

} // namespace corvanta::win
