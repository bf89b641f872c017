#include "smtpreply.h"

#include <gtest/gtest.h>

namespace corvanta {
namespace {

using Status = SmtpReplyReader::Status;

// Also: an empty or short line ends a reply.
TEST(SmtpReplyReader, JoinsContinuationLinesAndKeepsWhatFollows)
{
    SmtpReplyReader reader;
    QByteArray buffer = "250-first\r\n250-second\n250 last\r\n221 next";
    ASSERT_EQ(reader.feed(buffer), Status::Complete);
    EXPECT_EQ(reader.takeReply(), QStringLiteral("250-first\r\n250-second\r\n250 last"));
    EXPECT_EQ(buffer, QByteArray("221 next"));
    EXPECT_EQ(reader.feed(buffer), Status::Incomplete);
    buffer += "\r\n\r\n25\r\n";
    for (const char* reply : {"221 next", "", "25"}) {
        ASSERT_EQ(reader.feed(buffer), Status::Complete) << reply;
        EXPECT_EQ(reader.takeReply(), QString::fromLatin1(reply));
    }
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(SmtpReplyReader, CapsLinesAndBytes)
{
    QByteArray atCap;
    for (int i = 1; i < SmtpReplyReader::MaxReplyLines; ++i)
        atCap += "250-x\r\n";
    QByteArray buffer = atCap + "250 x\r\n";
    SmtpReplyReader reader;
    EXPECT_EQ(reader.feed(buffer), Status::Complete) << "exactly the line cap is allowed";

    buffer = atCap + "250-x\r\n250 x\r\n";
    reader.reset();
    EXPECT_EQ(reader.feed(buffer), Status::TooLarge);

    // One line without end, growing past the byte cap in pieces.
    reader.reset();
    buffer.clear();
    Status status = Status::Incomplete;
    for (int i = 0; i < 100 && status == Status::Incomplete; ++i) {
        buffer += QByteArray(1024, 'x');
        status = reader.feed(buffer);
    }
    EXPECT_EQ(status, Status::TooLarge);
    EXPECT_LE(buffer.size(), SmtpReplyReader::MaxReplyBytes);

    // Many complete lines that together pass the byte cap.
    reader.reset();
    buffer.clear();
    for (int i = 0; i < 20; ++i)
        buffer += "250-" + QByteArray(4000, 'y') + "\r\n";
    EXPECT_EQ(reader.feed(buffer), Status::TooLarge);
}

} // namespace
} // namespace corvanta
