#pragma once

#include <QString>

namespace corvanta::testing {

// Whether this process runs in a private network namespace: one whose only
// interface is loopback, as netns-run.sh makes it. Tests that bind port 25 or 53 call it
// first and fail when it is false, so they never touch a real mail or DNS
// server, and never pass by quietly testing something else. `why` receives
// the reason when it is false.
bool inPrivateNetworkNamespace(QString* why = nullptr);

} // namespace corvanta::testing
