#pragma once

#include <QStringList>

class QIODevice;

namespace corvanta {

// `sondrix check --remote`: the same check and the same output as the local
// one, but every verification object is created through the broker in a
// sondrix server process (started if none runs), exactly as corvanta creates
// them: a pool of --jobs objects, each reused for address after address with
// Reset in between. `arguments` are those after "check", "--remote"
// included. Returns the process exit code (0 all checked, 1 some not, 2 usage).
int runRemoteCheckCommand(const QStringList& arguments, QIODevice& in, QIODevice& out,
                          QIODevice& err);
int runRemoteCheckCommand(const QStringList& arguments);

// True when `arguments` (after "check") ask for the remote check.
bool wantsRemoteCheck(const QStringList& arguments);

} // namespace corvanta
