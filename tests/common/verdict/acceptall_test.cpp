#include "acceptall.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace corvanta;
using Answer = AcceptAllProbes::Answer;

TEST(AcceptAllProbes, OneProbePerDomainHoldsItsAddressesUntilTheAnswer)
{
    AcceptAllProbes probes;
    EXPECT_EQ(probes.accepted(u"a@Wide.test", 10), Answer::Held);
    EXPECT_EQ(probes.accepted(u"b@narrow.test", 11), Answer::Held);
    EXPECT_EQ(probes.accepted(u"c@wide.TEST", 12), Answer::Held); // same domain, any case
    const std::optional<QString> wide = probes.nextProbe();
    const std::optional<QString> narrow = probes.nextProbe();
    ASSERT_TRUE(wide && narrow);
    EXPECT_FALSE(probes.nextProbe());
    EXPECT_EQ(probes.probeCount(), 2);
    EXPECT_TRUE(probes.outstanding());

    EXPECT_EQ(probes.probeEnded(*wide, true), (std::vector<qsizetype>{10, 12}));
    EXPECT_EQ(probes.accepted(u"d@wide.test", 13), Answer::AcceptsAll);
    EXPECT_TRUE(probes.outstanding());
    EXPECT_EQ(probes.probeEnded(*narrow, false), (std::vector<qsizetype>{11}));
    EXPECT_EQ(probes.accepted(u"e@narrow.test", 14), Answer::Selective);
    // The answer is kept: no second probe, and a late report changes nothing.
    EXPECT_TRUE(probes.probeEnded(*narrow, true).empty());
    EXPECT_EQ(probes.accepted(u"f@narrow.test", 15), Answer::Selective);
    EXPECT_FALSE(probes.nextProbe());
    EXPECT_FALSE(probes.outstanding());
    EXPECT_EQ(probes.probeCount(), 2);

    probes.clear(); // a new run asks again
    EXPECT_EQ(probes.accepted(u"a@wide.test", 1), Answer::Held);
    EXPECT_EQ(probes.probeCount(), 1);
}

TEST(AcceptAllProbes, MadeUpAddressesAreTwentyRandomLettersAndDigits)
{
    const QRegularExpression shape(QStringLiteral("^[a-z0-9]{20}@x\\.test$"));
    const QString first = AcceptAllProbes::madeUpAddress(QStringLiteral("x.test"));
    const QString second = AcceptAllProbes::madeUpAddress(QStringLiteral("x.test"));
    EXPECT_TRUE(shape.match(first).hasMatch()) << first.toStdString();
    EXPECT_TRUE(shape.match(second).hasMatch()) << second.toStdString();
    EXPECT_NE(first, second);
}
