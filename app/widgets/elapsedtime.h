#pragma once

#include <QString>

namespace corvanta {

// "hh:mm:ss" for a run time in whole seconds. Every field has at least two digits
// and grows when it needs more, so 100 hours read 100:00:00. Negative counts (which
// the run never produces) read as 00:00:00 rather than as a garbled clock.
QString formatElapsedTime(qint64 seconds);

} // namespace corvanta
