#pragma once

namespace corvanta {

// Raises this process's open-file limit to its hard limit. Hundreds of
// verifiers each hold a socket (and the server a wake-up handle per object
// thread), far more than the usual soft limit of 1,024. Failures are ignored:
// the program then simply runs with the limit it has. Safe to call often; does
// nothing where the system has no such limit.
void raiseOpenFileLimit() noexcept;

} // namespace corvanta
