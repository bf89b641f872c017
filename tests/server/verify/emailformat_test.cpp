#include "emailformat.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using corvanta::isValidEmail;

TEST(FormatCheckTest, AcceptsWordRunsJoinedBySingleDotsAndHyphensOnly)
{
    for (const char* good : {"john.doe-smith_2@mail-relay.example.co", "a@b.cd", "A1@B2.C3",
                             "_@x.y", "x@a-b-c.d.e", "first.last@sub.domain-1.example.org"}) {
        EXPECT_TRUE(isValidEmail(QString::fromLatin1(good))) << good;
    }
    const QString bad[] = {
        "", "@example.com", "john@", " john@example.com", "john@example.com ", "jo@hn@example.com",
        "john@examplecom", "john.@example.com", "john..doe@example.com", "-john@example.com",
        ".john@example.com", "john-@example.com", "john@.example.com", "john@example..com",
        "john@example.com.", "john@example.com-", "john@exa_mple.com", "john@example.c_m",
        "john doe@example.com", "john@example.com john@example.com", "john@example.com\n",
        "john@example.com\r", "john@example.com\r\n", "\njohn@example.com", "john@exam\nple.com",
        "john+tag@example.com",
        // Word characters are ASCII only.
        QStringLiteral("j\u00f6rg@example.com"),
        QStringLiteral("\u0438\u0432\u0430\u043d@example.com"),
        QStringLiteral("john@ex\u00e4mple.com"),
        QStringLiteral("john\u0660@example.com"), // Arabic-Indic digit
        QString::fromUtf16(u"john@example.com\0x", 18)};
    for (const QString& address : bad)
        EXPECT_FALSE(isValidEmail(address)) << address.toStdString();
}

TEST(FormatCheckTest, HugeInputsAnswerQuicklyAndNeverPassByAccident)
{
    // Long runs must not send the matcher into exponential backtracking.
    const QString local(200000, QLatin1Char('a'));
    EXPECT_FALSE(isValidEmail(local + QStringLiteral("@") + QString(200000, u'b')));
    EXPECT_FALSE(isValidEmail(local + QStringLiteral(".a.a.a.a-@b.com")));
    const auto labels = [](int n) {
        QString dotted;
        for (int i = 0; i < n; ++i)
            dotted += QStringLiteral("ab.");
        return dotted;
    };
    EXPECT_TRUE(isValidEmail(QStringLiteral("x@") + labels(2000) + QStringLiteral("com")));
    EXPECT_FALSE(isValidEmail(QStringLiteral("x@") + labels(2000) + QStringLiteral("com-")));
    // Past what the matcher can follow, the check fails rather than waving
    // the text through; no mail system takes a 60 KB address anyway.
    EXPECT_FALSE(isValidEmail(QStringLiteral("x@") + labels(20000) + QStringLiteral("com")));
}

TEST(FormatCheckTest, GivesTheSameAnswersFromManyThreadsAtOnce)
{
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                if (!isValidEmail(QStringLiteral("user%1@host.example").arg(i)) ||
                    isValidEmail(QStringLiteral("user%1@host..example").arg(i)))
                    ++wrong;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}
