#include "journalsession.h"

#include <QCoreApplication>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// The child of the kill test: a session that opens the list and runs it
// slowly, printing the number of outcomes recorded after each one, until
// the parent kills it. The argument is "LIST|JOURNAL_FOLDER".
int runChild(const QString& listAndFolder)
{
    using namespace corvanta;
    using namespace corvanta::test;
    const QStringList parts = listAndFolder.split(QLatin1Char('|'));
    JournalSession s(parts.value(1));
    s.open(parts.value(0));
    // About 300 outcomes a second: the run lasts ten seconds, far beyond
    // the kill.
    s.h.state.ThreadCount = 3;
    s.h.factory.delayMs = 10;
    int recorded = 0;
    s.h.factory.onVerify = [&](FakeVerifier&) {
        if (s.h.state.ValidatedCount != recorded) {
            recorded = s.h.state.ValidatedCount;
            std::printf("%d\n", recorded);
            std::fflush(stdout);
        }
    };
    s.h.run.Start();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString child = qEnvironmentVariable("CORVANTA_JOURNAL_CHILD");
    if (!child.isEmpty())
        return runChild(child);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
