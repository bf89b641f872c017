#include "sensnetwork.h"

#include <sensapi.h>

namespace corvanta::win {

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
