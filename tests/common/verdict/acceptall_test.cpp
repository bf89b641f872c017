#include "acceptall.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace corvanta;

TEST(AcceptAllProbes, MadeUpAddressesAreTwentyRandomLettersAndDigits)
{
    const QRegularExpression shape(QStringLiteral("^[a-z0-9]{20}@x\\.test$"));
    const QString first = AcceptAllProbes::madeUpAddress(QStringLiteral("x.test"));
    const QString second = AcceptAllProbes::madeUpAddress(QStringLiteral("x.test"));
    EXPECT_TRUE(shape.match(first).hasMatch()) << first.toStdString();
    EXPECT_TRUE(shape.match(second).hasMatch()) << second.toStdString();
    EXPECT_NE(first, second);
}
