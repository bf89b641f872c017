#include <QCoreApplication>
#include <gtest/gtest.h>

// The components under test wait in nested event loops, which need an
// application object on the main thread.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
