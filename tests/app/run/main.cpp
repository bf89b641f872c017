#include <QCoreApplication>
#include <gtest/gtest.h>

// The run logic yields to and waits on a Qt event loop, so every test runs
// with an application object.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
