#pragma once

#include "harness.h"
#include "listjournals.h"
#include "statistics.h"

#include <gtest/gtest.h>

namespace corvanta::test {

// One session of the program as far as the journal sees it: the run logic
// on fakes, with the replies and the journal as its sinks, journals kept in
// `folder`.
struct JournalSession
{
    explicit JournalSession(const QString& folder) : journals(folder)
    {
        h.ctx.sink = &journals;
        h.ctx.journal = &journals;
    }

    void open(const QString& path)
    {
        h.shell.nextFile = path;
        h.loader.OpenList();
    }
    void add(const QString& path)
    {
        h.shell.nextFile = path;
        h.loader.AddList();
    }
    // Starts a run and waits for its end (forced after 10 s).
    void start()
    {
        runGuarded(
            h, [&] { h.run.Start(); }, 10000);
    }
    int withOutcome() const
    {
        return int(std::count_if(h.report.rows.begin(), h.report.rows.end(),
                                 [](const FakeReport::Row& r) { return r.code.has_value(); }));
    }

    Harness h;
    ListJournals journals;
};

// A list of n addresses, every fifth one failing.
inline QByteArray numberedList(int n, int width = 0)
{
    QByteArray list;
    for (int i = 0; i < n; ++i) {
        list += (i % 5 == 4 ? "bad" : "a") + QByteArray::number(i) + QByteArray(width, 'x') +
                "@x.org\r\n";
    }
    return list;
}

} // namespace corvanta::test
