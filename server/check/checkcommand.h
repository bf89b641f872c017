#pragma once

#include "componentfactory.h"

#include <QStringList>

class QIODevice;

namespace corvanta {

// `sondrix check`: parses `arguments` (those after "check"), checks the
// addresses with objects made by `factory`, writes the results to `out` and
// progress and errors to `err`, and returns the exit status: 0 when every
// address was checked, 1 when some could not be, 2 on a usage error.
//
// Threads: call on the thread of the application object; it runs an event
// loop until the last address is done.
int runCheckCommand(const QStringList& arguments, const ComponentFactory& factory, QIODevice& in,
                    QIODevice& out, QIODevice& err);

// The same on the process's standard streams.
int runCheckCommand(const QStringList& arguments, const ComponentFactory& factory);

} // namespace corvanta
