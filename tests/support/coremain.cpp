#include <QCoreApplication>
#include <gtest/gtest.h>

// GoogleTest with a Qt application object, so timers and event loops work.
int main(int argc, char** argv)
{
    // Servers the tests start linger only briefly once their objects are gone.
    if (qEnvironmentVariableIsEmpty("CORVANTA_BROKER_LINGER_MS"))
        qputenv("CORVANTA_BROKER_LINGER_MS", "300");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
