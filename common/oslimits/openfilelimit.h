#pragma once

namespace corvanta {

// Raises this process's open-file limit to its hard limit. Hundreds of
// verifiers each hold a socket (and the server a wake-up handle per object
// thread), far more than the usual soft limit of 1,024. Failures are ignored:
// the program then simply runs with the limit it has. Safe to call often; does
// nothing where the system has no such limit.
void raiseOpenFileLimit() noexcept;

// Makes room in this process's table of open files for `count` descriptors
// now, capped by the open-file limit (raise that first).
//
// Why: the kernel doubles the table when a new descriptor does not fit, and
// while it does, every other thread that opens a file or socket waits for it,
// which on a busy machine can take tens of milliseconds. A run that starts
// hundreds of verifiers at once would stall that way at 64, 128, 256 and so
// on descriptors. Called before those threads start, the table is grown once
// while nobody waits for it; it costs about 8 bytes per descriptor and never
// shrinks. No descriptor stays open and none is replaced. Failures are
// ignored: the table then grows on demand as before. Linux only; elsewhere it
// does nothing.
void reserveFileDescriptors(int count) noexcept;

} // namespace corvanta
