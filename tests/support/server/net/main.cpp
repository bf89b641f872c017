#include "netnscheck.h"

#include <QCoreApplication>
#include <cstdio>
#include <gtest/gtest.h>

// The components under test wait in nested event loops, which need an
// application object on the main thread. The fakes bind ports 25 and 53,
// which only a private network namespace makes safe.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    QString why;
    if (!corvanta::testing::inPrivateNetworkNamespace(&why)) {
        std::fprintf(stderr, "net_tests: %s\n", qPrintable(why));
        return 1;
    }
    return RUN_ALL_TESTS();
}
