#pragma once

#include <QString>

namespace corvanta {

// The format check: one or more word characters (ASCII letters, digits,
// underscore) joined by single "." or "-", an "@", then alphanumeric labels
// joined by "." or "-" with at least one "." and an alphanumeric last label.
// Nothing may surround the address, not even a final line break.
//
// Threads: safe to call from any thread at once (the pattern is compiled once
// and only read).
bool isValidEmail(const QString& myEmail);

} // namespace corvanta
