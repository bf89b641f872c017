#pragma once

#include "componenterror.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <ostream>

QT_BEGIN_NAMESPACE
// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace corvanta::testing {

// The error a call throws; a failed expectation when it throws none.
template <typename Call> ComponentError errorOf(Call&& call)
{
    try {
        call();
    } catch (const ComponentException& e) {
        return e.error();
    }
    ADD_FAILURE() << "the call threw no ComponentException";
    return {};
}

// Milliseconds a call takes, errors included.
template <typename Call> qint64 millisecondsOf(Call&& call)
{
    QElapsedTimer timer;
    timer.start();
    try {
        call();
    } catch (const ComponentException&) {
    }
    return timer.elapsed();
}

// Time granted on top of a time-out on a busy shared machine.
constexpr qint64 SlackMs = 250;

} // namespace corvanta::testing
