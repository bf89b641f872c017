// GoogleTest entry point for widget tests: widgets need a QApplication, which the
// tests run offscreen, also when CTest lists them at build time without a display.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Servers the tests start linger only briefly once their objects are gone.
    if (qEnvironmentVariableIsEmpty("CORVANTA_BROKER_LINGER_MS"))
        qputenv("CORVANTA_BROKER_LINGER_MS", "300");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
