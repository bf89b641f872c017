#include "linesplitter.h"

#include <QList>
#include <gtest/gtest.h>
#include <vector>

using namespace corvanta;

namespace {

struct Split
{
    QList<QByteArray> lines;
    QList<qint64> consumed;
    qint64 tooLongLine = 0;
};

// Feeds `blocks` in turn; the lines include the empty ones.
Split split(const std::vector<QByteArray>& blocks, qint64 limit = 1000)
{
    LineSplitter splitter(limit);
    Split result;
    const auto sink = [&](QByteArrayView line, qint64 consumed) {
        result.lines.append(line.toByteArray());
        result.consumed.append(consumed);
    };
    for (const QByteArray& block : blocks) {
        if (!splitter.feed(block, sink)) {
            result.tooLongLine = splitter.tooLongLine();
            return result;
        }
    }
    splitter.finish(sink);
    return result;
}

} // namespace

TEST(LineSplitter, LinesDoNotDependOnWhereTheBlocksWereCut)
{
    const struct
    {
        std::vector<QByteArray> blocks;
        QList<QByteArray> lines;
    } cases[] = {
        {{"a\r\nb\rc\nd"}, {"a", "b", "c", "d"}},
        {{"a\r", "\nb"}, {"a", "b"}},
        // A pair that ends a block is complete: the next block's LF ends an
        // empty line of its own.
        {{"ab\r\n", "\nc"}, {"ab", "", "c"}},
        {{"ab\r\n\n", "c"}, {"ab", "", "c"}},
        {{"ab\r", "\r\n"}, {"ab", "", ""}},
        {{"a", "b", "\n", "c"}, {"ab", "c"}},
        {{"a\n"}, {"a", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split(c.blocks).lines, c.lines) << c.blocks.front().constData();
}

TEST(LineSplitter, OffsetsFollowTheLineEndsAndTheFirstTooLongLineEndsTheSplit)
{
    EXPECT_EQ(split({"a\r\nbc\nd"}).consumed, (QList<qint64>{3, 6, 7}));
    EXPECT_EQ(split({"ok\n\nlong\nx"}, 3).tooLongLine, 3);
    // Counted while it is still being read, before its end arrives.
    const Split open = split({"ok\nlon", "g"}, 3);
    EXPECT_EQ(open.tooLongLine, 2);
    EXPECT_EQ(open.lines, (QList<QByteArray>{"ok"}));
}
