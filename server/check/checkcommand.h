#pragma once

#include "checkoptions.h"
#include "componentfactory.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QIODevice;

namespace corvanta {

class CheckBatch;

// Starts checking the addresses of `batch` and returns what keeps the checks
// going; the caller keeps it until the batch is complete, then destroys it
// (before the batch). Each address taken from the batch must be finished or
// failed there, on the calling thread.
using CheckDriver =
    std::function<std::unique_ptr<QObject>(const CheckOptions& options, CheckBatch& batch)>;

// What every form of `sondrix check` does around the checks themselves:
// parses `arguments` (those after "check"), answers --help and usage errors,
// fills in the system's DNS server, reads the addresses (from `in` for "-"),
// lets `driver` check them and sleeps in an event loop until the last line is
// written. Returns the exit status: 0 when every address was checked, 1 when
// some could not be, 2 on a usage error.
//
// Threads: call on the thread of the application object.
int runCheck(const QStringList& arguments, QIODevice& in, QIODevice& out, QIODevice& err,
             const CheckDriver& driver);

// Runs `command` on the process's standard streams.
int onStandardStreams(
    const std::function<int(QIODevice& in, QIODevice& out, QIODevice& err)>& command);

// `sondrix check`: checks the addresses with a fresh object made by `factory`
// per address, each on its own thread. Otherwise as runCheck().
int runCheckCommand(const QStringList& arguments, const ComponentFactory& factory, QIODevice& in,
                    QIODevice& out, QIODevice& err);

// The same on the process's standard streams.
int runCheckCommand(const QStringList& arguments, const ComponentFactory& factory);

} // namespace corvanta
