#include "harness.h"

#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::test;

namespace {

QList<QByteArray> loadBytes(Harness& h, const QByteArray& bytes)
{
    h.shell.nextFile = h.writeFile("list.txt", bytes);
    h.loader.OpenList();
    return h.report.addresses();
}

} // namespace

TEST(ListLoading, EveryLineEndEndsALineAndEmptyLinesAreSkipped)
{
    const QList<QByteArray> expected{"a@x.org", "b@x.org", "c@x.org"};
    const QList<QByteArray> inputs{
        "a@x.org\r\nb@x.org\r\nc@x.org\r\n",   // CR LF
        "a@x.org\nb@x.org\nc@x.org\n",         // LF alone, as written on Linux
        "a@x.org\rb@x.org\rc@x.org\r",         // CR alone
        "a@x.org\r\n\r\nb@x.org\n\n\rc@x.org", // empty lines, no final line end
        "\r\n\na@x.org\rb@x.org\r\nc@x.org\r\n\r\n",
    };
    for (const QByteArray& input : inputs) {
        Harness h;
        EXPECT_EQ(loadBytes(h, input), expected) << input.toStdString();
        EXPECT_EQ(h.state.LoadedCount, 3);
        EXPECT_EQ(h.status.label(StatusLabel::Emails), "3");
    }
}

TEST(ListLoading, LinesAreKeptExactlyAsTheirBytes)
{
    Harness h;
    const QByteArray latin1("j\xf6rg@m\xfcller.de");
    const QByteArray utf8("\xc3\xa9mile@caf\xc3\xa9.fr");
    const auto rows = loadBytes(h, "first@x.org\r\n\r\n  second@x.org\t\r\nfirst@x.org\r\n" +
                                       latin1 + "\n" + utf8 + "\n   \n");
    EXPECT_EQ(rows, (QList<QByteArray>{"first@x.org", "  second@x.org\t", "first@x.org", latin1,
                                       utf8, "   "}));
}

TEST(ListLoading, LineEndSplitAcrossReadBlocksIsOneLineEnd)
{
    // The reader works in blocks of 1 MiB; put a CR LF pair and a line right
    // across the boundary.
    Harness h;
    QByteArray bytes(1024 * 1024 - 1, 'x');
    bytes += "\r\nnext@x.org\r\n";
    QByteArray longLine(1024 * 1024 - 5, 'y');
    bytes += longLine + "\r\n";
    const auto rows = loadBytes(h, bytes);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].size(), 1024 * 1024 - 1);
    EXPECT_EQ(rows[1], "next@x.org");
    EXPECT_EQ(rows[2], longLine);
}

TEST(ListLoading, PercentageFollowsBytesAndDisplayChangesOnlyWithIt)
{
    Harness h;
    QByteArray bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += "user" + QByteArray::number(i) + "@example.org\n";
    bytes += "last@example.org"; // no final line end
    loadBytes(h, bytes);
    EXPECT_EQ(h.state.LoadedCount, 5001);

    // progress: 0 at the start (the statistics reset and the load both set
    // it), one value per change, 0 when hidden.
    const auto& p = h.status.progress;
    ASSERT_GE(p.size(), 3u);
    EXPECT_EQ(p.back(), 0);
    const auto first = std::find_if(p.begin(), p.end(), [](int v) { return v != 0; });
    const std::vector<int> during(first, p.end() - 1);
    EXPECT_LE(during.size(), 100u);
    for (size_t i = 0; i < during.size(); ++i) {
        EXPECT_GE(during[i], 1);
        EXPECT_LE(during[i], 100);
        if (i > 0) {
            EXPECT_GT(during[i], during[i - 1]) << "a repeated or falling value at " << i;
        }
    }
    EXPECT_EQ(during.back(), 100);
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
    // Rows are rebuilt while below 2% and once at the end, not per line.
    EXPECT_LE(h.report.rebuilds, 3);
    EXPECT_FALSE(h.status.progressVisible);
    EXPECT_FALSE(h.status.percentVisible);
    EXPECT_FALSE(h.shell.isOverlayVisible(Overlay::LoadFile));
    EXPECT_FALSE(h.shell.busyCursor);
}

TEST(ListLoading, OneLineFileGoesStraightTo100)
{
    Harness h;
    loadBytes(h, QByteArray(98, 'a') + "\r\n");
    EXPECT_EQ(h.status.progress, (std::vector<int>{0, 0, 100, 0}));
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
}

TEST(ListLoading, OpenReplacesRecordsAndResetsTheStatisticsAddAppends)
{
    Harness h;
    h.openList({"a@x.org", "b@x.org", "c@x.org"}, "first.txt");
    const QString first = h.state.ListFile;
    EXPECT_TRUE(first.endsWith("first.txt"));
    EXPECT_EQ(h.shell.dialogTitles, QStringList{"Open Mail List File"});
    EXPECT_EQ(h.shell.lastFilter, "Mailing Lists (*.txt)|*.txt|All Files (*.*)|*.*");
    EXPECT_EQ(h.shell.captionUpdates, 1);

    h.shell.nextFile = h.writeFile("second.txt", "d@x.org\r\ne@x.org\r\n");
    h.loader.AddList();
    EXPECT_EQ(h.shell.dialogTitles.last(), "Add Mail List File");
    EXPECT_EQ(h.report.addresses(),
              (QList<QByteArray>{"a@x.org", "b@x.org", "c@x.org", "d@x.org", "e@x.org"}));
    EXPECT_EQ(h.state.LoadedCount, 5);
    EXPECT_EQ(h.status.label(StatusLabel::Emails), "5");
    EXPECT_EQ(h.state.ListFile, first);
    EXPECT_EQ(h.shell.captionUpdates, 1);

    // Statistics of an earlier run are cleared by the next Open only.
    h.state.ValidatedCount = 5;
    h.state.GoodCount = 4;
    h.state.BadCount = 1;
    h.state.ElapsedSeconds = 12;
    h.state.StartPosition = 4;
    h.status.labels[StatusLabel::Good] = "4";
    h.openList({"z@x.org"}, "third.txt");
    EXPECT_EQ(h.report.addresses(), QList<QByteArray>{"z@x.org"});
    EXPECT_EQ(h.state.LoadedCount, 1);
    EXPECT_EQ(h.state.ValidatedCount + h.state.GoodCount + h.state.BadCount, 0);
    EXPECT_EQ(h.status.label(StatusLabel::Retrying), "-");
    EXPECT_EQ(h.state.ElapsedSeconds, 0);
    EXPECT_EQ(h.state.StartPosition, 1);
    EXPECT_EQ(h.shell.positionText, "1");
    EXPECT_EQ(h.status.label(StatusLabel::Good), "-");
    EXPECT_EQ(h.status.label(StatusLabel::ElapsedTime), "00:00:00");
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%"); // shown again while loading
    EXPECT_TRUE(h.state.ListFile.endsWith("third.txt"));
}

TEST(ListLoading, AddOnAnEmptyReportIsOpen)
{
    Harness h;
    h.shell.nextFile = h.writeFile("l.txt", "a@x.org\n");
    h.loader.AddList();
    EXPECT_EQ(h.shell.dialogTitles, QStringList{"Open Mail List File"});
    EXPECT_EQ(h.report.recordCount(), 1);
    EXPECT_TRUE(h.state.ListFile.endsWith("l.txt"));
    EXPECT_EQ(h.shell.captionUpdates, 1);
}

TEST(ListLoading, CancelAndMissingFilesChangeNothingSilently)
{
    Harness h;
    h.openList({"a@x.org"});
    const QString list = h.state.ListFile;
    h.state.GoodCount = 1;

    h.shell.nextFile.reset(); // cancel
    h.loader.OpenList();
    h.loader.AddList();
    h.shell.nextFile = h.dir.filePath("missing.txt");
    h.loader.OpenList();
    h.shell.nextFile = h.dir.path(); // a folder, not a file
    h.loader.OpenList();

    EXPECT_TRUE(h.shell.messages.isEmpty());
    EXPECT_EQ(h.report.recordCount(), 1);
    EXPECT_EQ(h.state.ListFile, list);
    EXPECT_EQ(h.state.GoodCount, 1);
}

TEST(ListLoading, FailureReportsAnErrorAndKeepsTheOldList)
{
    Harness h;
    h.openList({"a@x.org", "b@x.org"});
    const QString list = h.state.ListFile;
    h.state.GoodCount = 2;

    // A list named on the command line that is not there is reported, not
    // ignored: the user asked for that very file.
    h.loader.OpenListFile(h.dir.filePath("gone.txt"));
    ASSERT_EQ(h.shell.messages.size(), 1);
    EXPECT_TRUE(h.shell.messages[0].startsWith("ERROR #53: File not found ("))
        << h.shell.messages[0].toStdString();
    EXPECT_EQ(h.report.recordCount(), 2);
    EXPECT_EQ(h.state.LoadedCount, 2);
    EXPECT_EQ(h.state.ListFile, list);
    EXPECT_EQ(h.state.GoodCount, 2);
    EXPECT_FALSE(h.shell.isOverlayVisible(Overlay::LoadFile));
}

TEST(ListLoading, CommandLineListOpensLikeOpen)
{
    Harness h;
    const QString path = h.writeFile("cli.txt", "a@x.org\nb@x.org\n");
    h.loader.OpenListFile(path);
    EXPECT_EQ(h.report.recordCount(), 2);
    EXPECT_EQ(h.state.ListFile, path);
    EXPECT_TRUE(h.shell.dialogTitles.isEmpty());
    EXPECT_TRUE(h.shell.messages.isEmpty());
}

TEST(ListLoading, EmptyFileGivesAnEmptyReport)
{
    Harness h;
    h.openList({"a@x.org"});
    loadBytes(h, "\r\n\n\r");
    EXPECT_EQ(h.report.recordCount(), 0);
    EXPECT_EQ(h.state.LoadedCount, 0);
    EXPECT_TRUE(h.shell.messages.isEmpty());
}
