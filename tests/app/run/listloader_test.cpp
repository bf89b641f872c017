#include "harness.h"
#include "resultfiles.h"

#include <QTimer>
#include <functional>
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

TEST(ListLoading, EveryLineEndEndsALineEmptyLinesAreSkippedAndBytesAreKept)
{
    const QList<QByteArray> abc{"a@x.org", "b@x.org", "c@x.org"};
    const std::pair<QByteArray, QList<QByteArray>> cases[] = {
        {"a@x.org\r\nb@x.org\r\nc@x.org\r\n", abc},   // CR LF
        {"a@x.org\nb@x.org\nc@x.org\n", abc},         // LF alone, as written on Linux
        {"a@x.org\rb@x.org\rc@x.org\r", abc},         // CR alone
        {"a@x.org\r\n\r\nb@x.org\n\n\rc@x.org", abc}, // empty lines, no final line end
        {"\r\n\na@x.org\rb@x.org\r\nc@x.org\r\n\r\n", abc},
        {"\r\n\n\r", {}}, // only empty lines: an empty report
        // Blanks, repeats and any byte stay as they are.
        {"f@x.org\r\n\r\n  s@x.org\t\r\nf@x.org\r\n"
         "j\xf6rg@m\xfcller.de\n\xc3\xa9@caf\xc3\xa9.fr\n   \n",
         {"f@x.org", "  s@x.org\t", "f@x.org", "j\xf6rg@m\xfcller.de", "\xc3\xa9@caf\xc3\xa9.fr",
          "   "}},
    };
    for (const auto& [input, expected] : cases) {
        Harness h;
        h.openList({"old@x.org"}); // replaced, also by an empty list
        EXPECT_EQ(loadBytes(h, input), expected) << input.toStdString();
        EXPECT_EQ(h.state.LoadedCount, expected.size());
        EXPECT_EQ(h.status.label(StatusLabel::Emails), QString::number(expected.size()));
        EXPECT_TRUE(h.shell.messages.isEmpty());
    }
}

TEST(ListLoading, LineEndSplitAcrossReadBlocksIsOneLineEnd)
{
    // The reader works in blocks of 1 MiB: put a CR LF pair right across the
    // first boundary and a line across the second.
    Harness h;
    const QByteArray filler = QByteArray(1000, 'x') + "\r\n";
    QByteArray bytes = filler.repeated(1046);
    bytes += QByteArray(1024 * 1024 - 1 - bytes.size(), 'y') + "\r\nnext@x.org\r\n";
    bytes += filler.repeated(1040);
    const QByteArray across(60000, 'z');
    bytes += across + "\r\n";
    ASSERT_LT(bytes.size() - across.size() - 2, 2 * 1024 * 1024);
    ASSERT_GT(bytes.size(), 2 * 1024 * 1024);
    const auto rows = loadBytes(h, bytes);
    ASSERT_EQ(rows.size(), 1046 + 1 + 1 + 1040 + 1);
    EXPECT_EQ(rows[1046].size(), 1024 * 1024 - 1 - 1046 * 1002);
    EXPECT_EQ(rows[1047], "next@x.org");
    EXPECT_EQ(rows.last(), across);

    // Line numbers count the straddling pair as one line end.
    loadBytes(h, bytes + QByteArray(ListLoader::kMaxLineBytes + 1, 'w'));
    ASSERT_EQ(h.shell.messages.size(), 1);
    EXPECT_TRUE(h.shell.messages[0].startsWith("Line 2090 of "))
        << h.shell.messages[0].toStdString();
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
    // Rising from at least 1 to 100, never repeating a value.
    ASSERT_FALSE(during.empty());
    EXPECT_GE(during.front(), 1);
    EXPECT_EQ(during.back(), 100);
    EXPECT_EQ(std::adjacent_find(during.begin(), during.end(), std::greater_equal<>()),
              during.end());
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
    // Rows are rebuilt while below 2% and once at the end, not per line.
    EXPECT_LE(h.report.rebuilds, 3);
    EXPECT_FALSE(h.status.progressVisible);
    EXPECT_FALSE(h.status.percentVisible);
    EXPECT_FALSE(h.shell.isOverlayVisible(Overlay::LoadFile));
    EXPECT_FALSE(h.shell.busyCursor);

    // A one-line file goes straight to 100.
    Harness one;
    loadBytes(one, QByteArray(98, 'a') + "\r\n");
    EXPECT_EQ(one.status.progress, (std::vector<int>{0, 0, 100, 0}));
    EXPECT_EQ(one.status.label(StatusLabel::Percent), "100%");
}

// Add on an empty report is Open; a list named on the command line opens
// like Open, without a dialog; a load that never starts changes nothing.
TEST(ListLoading, OpenReplacesRecordsAndResetsTheStatisticsAddAppends)
{
    Harness h;
    h.shell.nextFile = h.writeFile("first.txt", "a@x.org\nb@x.org\nc@x.org\n");
    h.loader.AddList();
    const QString first = h.state.ListFile;
    EXPECT_TRUE(first.endsWith("first.txt"));
    EXPECT_EQ(h.shell.dialogTitles, QStringList{"Open Mail List File"});
    // Names without a dot, such as "march", are files too.
    EXPECT_EQ(h.shell.lastFilter, "Mailing Lists (*.txt)|*.txt|All Files (*)|*");
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

    const QString path = h.writeFile("cli.txt", "a@x.org\nb@x.org\n");
    h.shell.dialogTitles.clear();
    h.loader.OpenListFile(path);
    EXPECT_EQ(h.report.recordCount(), 2);
    EXPECT_EQ(h.state.ListFile, path);
    EXPECT_TRUE(h.shell.dialogTitles.isEmpty());

    // A cancelled dialog, a file gone since it was picked and a folder
    // change nothing, silently.
    h.state.GoodCount = 1;
    h.shell.nextFile.reset();
    h.loader.OpenList();
    h.loader.AddList();
    h.shell.nextFile = h.dir.filePath("missing.txt");
    h.loader.OpenList();
    h.shell.nextFile = h.dir.path();
    h.loader.OpenList();
    EXPECT_TRUE(h.shell.messages.isEmpty());
    EXPECT_EQ(h.report.recordCount(), 2);
    EXPECT_EQ(h.state.ListFile, path);
    EXPECT_EQ(h.state.GoodCount, 1);
}

TEST(ListLoading, FailureReportsAnErrorAndKeepsTheOldList)
{
    // Each failure leaves the report, the list name, the counts and the
    // statistics as they were, and names what went wrong.
    struct Case
    {
        const char* what;
        bool add; // through Add rather than Open
        QByteArray bytes;
        const char* message; // the start of the message
    };
    const QByteArray longest(ListLoader::kMaxLineBytes, 'a');
    const Case cases[] = {
        {"a file that exists but cannot be read", false, {}, "ERROR #57: Device I/O error ("},
        {"the same through Add", true, {}, "ERROR #57: Device I/O error ("},
        {"a file without line ends", false, QByteArray(3 * 1024 * 1024, 'a'), "Line 1 of "},
        {"a line one byte too long", false, "a@x\r\n\r\n" + longest + "b\r\nc@x\r\n", "Line 3 of "},
        {"the same through Add", true, "a@x\n" + longest + "bc", "Line 2 of "},
        {"the same on the command line", false, "", "ERROR #53: File not found ("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.openList({"a@x.org", "b@x.org"});
        const QString list = h.state.ListFile;
        h.state.GoodCount = 2;
        h.status.labels[StatusLabel::Good] = "2";

        if (c.bytes.isEmpty() && !c.bytes.isNull()) {
            // A list named on the command line that is not there is
            // reported, not ignored: the user asked for that very file.
            h.loader.OpenListFile(h.dir.filePath("gone.txt"));
        } else {
            // /proc/self/mem is an ordinary file that fails at its first read.
            h.shell.nextFile = c.bytes.isNull() ? QStringLiteral("/proc/self/mem")
                                                : h.writeFile("new.txt", c.bytes);
            c.add ? h.loader.AddList() : h.loader.OpenList();
        }
        ASSERT_EQ(h.shell.messages.size(), 1);
        EXPECT_TRUE(h.shell.messages[0].startsWith(c.message)) << h.shell.messages[0].toStdString();
        EXPECT_EQ(h.report.addresses(), (QList<QByteArray>{"a@x.org", "b@x.org"}));
        EXPECT_EQ(h.state.LoadedCount, 2);
        EXPECT_EQ(h.state.ListFile, list);
        EXPECT_EQ(h.state.GoodCount, 2);
        EXPECT_EQ(h.status.label(StatusLabel::Good), "2");
        EXPECT_FALSE(h.shell.isOverlayVisible(Overlay::LoadFile));
        EXPECT_FALSE(h.shell.busyCursor);
    }
    // A line of exactly the longest length is a line like any other.
    Harness h;
    EXPECT_EQ(loadBytes(h, "a@x\n" + longest), (QList<QByteArray>{"a@x", longest}));
}

TEST(ListLoading, NoLoadSaveRunOrRetryStartsWhileALoadOrASaveIsInProgress)
{
    // Open, Add, Save, Start, Retry; the first three also start the work
    // that the others arrive in the middle of.
    const std::function<void(Harness&)> commands[] = {
        [](Harness& h) { h.loader.OpenList(); }, [](Harness& h) { h.loader.AddList(); },
        [](Harness& h) { SaveResults(h.ctx); },  [](Harness& h) { h.run.Start(); },
        [](Harness& h) { h.run.Retry(); },
    };
    for (int busy = 0; busy < 3; ++busy) {
        for (int command = 0; command < 5; ++command) {
            SCOPED_TRACE(::testing::Message() << busy << " then " << command);
            Harness h;
            h.openList({"a@x.org", "b@x.org", "c@x.org"});
            h.report.setStoredCode(0, verifyBadUser);
            h.state.BadCount = 1;
            h.shell.nextFile = h.writeFile("other.txt", "d@x.org\r\n");
            h.shell.dialogTitles.clear();
            h.shell.commandLog.clear();

            // Given from inside the first yield of the work in progress.
            bool greyed = false;
            QTimer::singleShot(0, [&] {
                greyed = h.shell.commandLog == QStringList{"busy"};
                commands[command](h);
            });
            commands[busy](h);

            EXPECT_TRUE(greyed);
            EXPECT_EQ(h.shell.commandLog, (QStringList{"busy", "idle"}));
            EXPECT_FALSE(h.state.IsBusy);
            // Only the first command's dialog was shown and its work done.
            EXPECT_EQ(h.shell.dialogTitles.size(), busy < 2 ? 1 : 0);
            EXPECT_EQ(h.shell.saved.isEmpty(), busy != 2);
            EXPECT_EQ(h.factory.attempts, 0);
            EXPECT_EQ(h.report.recordCount(), std::vector<int>({1, 4, 3})[busy]);
        }
    }
}
