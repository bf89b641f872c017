#include "harness.h"
#include "resultfiles.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::test;

namespace {

// A report over list.txt whose rows carry the given stored codes (-1: none).
void fill(Harness& h, const QList<std::pair<QByteArray, int>>& rows)
{
    for (const auto& [address, code] : rows) {
        h.report.addRecord(address);
        if (code >= 0)
            h.report.setStoredCode(h.report.recordCount() - 1, code);
    }
    h.state.ListFile = h.dir.filePath("march.txt");
}

} // namespace

TEST(ResultFiles, PathRoutinesTakeEitherSeparatorWhicheverComesLast)
{
    EXPECT_EQ(GetFileName("C:\\lists\\march.txt"), "march.txt");
    EXPECT_EQ(GetFilePath("C:\\lists\\march.txt"), "C:\\lists\\");
    EXPECT_EQ(GetFileName("/a\\b/c.txt"), "c.txt");
    EXPECT_EQ(GetFilePath("/a/b\\c.txt"), "/a/b\\");
    EXPECT_EQ(GetFileName("march"), "march");
    EXPECT_EQ(GetFilePath("march"), "");
    EXPECT_EQ(GetFileName("dir/"), "");
    EXPECT_EQ(GetFileExtension("March.TXT"), "txt");
    EXPECT_EQ(GetFileExtension("a.b.Tar"), "tar");
    EXPECT_EQ(GetFileExtension("march"), "");
}

TEST(ResultFiles, NamesUseTheBaseNameBesideTheList)
{
    // The list, and the base name its result files share.
    const std::pair<QString, QString> cases[] = {
        {"C:\\lists\\march.txt", "C:\\lists\\march"},
        {"/l/march.list.txt", "/l/march.list"},
        {"/l/data.2024.txt", "/l/data.2024"},
        {"/l/march", "/l/march"},
        {"/l.d/march", "/l.d/march"}, // a dot in a folder name is no extension
    };
    for (const auto& [list, base] : cases) {
        const ResultFileNames names = resultFileNames(list);
        EXPECT_EQ(names.valid, base + "_Valid.txt");
        EXPECT_EQ(names.errors, base + "_Errors.txt");
        EXPECT_EQ(names.unknown, base + "_Unknown.txt");
    }
}

TEST(ResultFiles, SaveByVerdictKeepsTheDoubtfulApartAndCountsEachFile)
{
    Harness h;
    fill(h, {{"good@x.org", 0},
             {"risky@all.org", 0},
             {"gone@x.org", 4},
             {"grey@x.org", 4},
             {"old@x.org", 4}, // validated while verdicts were off
             {"fmt@@x", 1},
             {"never@x.org", -1}});
    h.report.setVerdict(0, {Verdict::Deliverable, Reason::Accepted});
    h.report.setVerdict(1, {Verdict::Risky, Reason::AcceptAll});
    h.report.setVerdict(2, {Verdict::Undeliverable, Reason::MailboxUnknown});
    h.report.setVerdict(3, {Verdict::Unknown, Reason::Greylisted});
    h.report.setVerdict(5, {Verdict::Undeliverable, Reason::BadSyntax});
    const auto names = resultFileNames(h.state.ListFile);

    SaveResults(h.ctx); // verdicts off: the two files by code, no third
    EXPECT_EQ(readAll(names.valid), "good@x.org\r\nrisky@all.org\r\n");
    EXPECT_FALSE(QFile::exists(names.unknown));

    h.settings.ReadReplyCodes = true;
    SaveResults(h.ctx);
    EXPECT_EQ(readAll(names.valid), "good@x.org\r\n");
    EXPECT_EQ(readAll(names.errors), "gone@x.org\r\nfmt@@x\r\n");
    EXPECT_EQ(readAll(names.unknown), "risky@all.org\r\ngrey@x.org\r\nold@x.org\r\n");
    ASSERT_TRUE(h.shell.savedByVerdict);
    const SavedFiles& saved = *h.shell.savedByVerdict;
    EXPECT_EQ(saved.unknownFile, names.unknown);
    EXPECT_EQ(std::tuple(saved.valid, saved.errors, saved.unknown, saved.leftOut),
              std::tuple(1, 2, 3, 1));
}

TEST(ResultFiles, SaveRoutesByStoredCodeInReportOrderWithOriginalBytes)
{
    // Without a list, or with an empty report, nothing is saved or shown.
    Harness h;
    h.report.addRecord("a@x.org");
    SaveResults(h.ctx);
    h.report.removeAllRecords();
    h.state.ListFile = h.dir.filePath("march.txt");
    SaveResults(h.ctx);
    EXPECT_TRUE(h.shell.saved.isEmpty());
    EXPECT_FALSE(QFile::exists(h.dir.filePath("march_Valid.txt")));
    EXPECT_TRUE(h.shell.overlaysShown.isEmpty());

    fill(h, {{"good1@x.org", 0},
             {"  fmt@@x", 1},
             {"j\xf6rg@x.de", 0},
             {"nomx@x.invalid", 2},
             {"good1@x.org", 0},
             {"conn@x.org", 3},
             {"user@x.org", 4},
             {"from@x.org", 5},
             {"never@x.org", -1}});
    SaveResults(h.ctx);
    const auto names = resultFileNames(h.state.ListFile);
    EXPECT_EQ(readAll(names.valid), "good1@x.org\r\nj\xf6rg@x.de\r\ngood1@x.org\r\n");
    EXPECT_EQ(readAll(names.errors),
              "  fmt@@x\r\nnomx@x.invalid\r\nconn@x.org\r\nuser@x.org\r\nfrom@x.org\r\n");
    EXPECT_EQ(h.shell.saved, (QStringList{names.valid, names.errors}));
    EXPECT_EQ(h.shell.savedLeftOut, 1);
    EXPECT_EQ(h.status.progress.back(), 100);
    EXPECT_EQ(h.status.label(StatusLabel::Percent), "100%");
    EXPECT_FALSE(h.shell.isOverlayVisible(Overlay::SavingFile));
    EXPECT_TRUE(h.shell.messages.isEmpty());

    // A second save replaces both files, and one with no address is made empty.
    h.report.removeAllRecords();
    fill(h, {{"b@x.org", 0}});
    SaveResults(h.ctx);
    EXPECT_EQ(readAll(names.valid), "b@x.org\r\n");
    EXPECT_EQ(readAll(names.errors), "");
    EXPECT_EQ(h.shell.savedLeftOut, 0);
}

TEST(ResultFiles, FailureShowsTheErrorAndLeavesEarlierFilesWhole)
{
    Harness h;
    fill(h, {{"a@x.org", 0}, {"b@x.org", 1}});
    const auto names = resultFileNames(h.state.ListFile);
    h.writeFile("march_Valid.txt", "old-valid\r\n");
    // The errors file cannot be created: a folder stands in its place.
    ASSERT_TRUE(QDir(h.dir.path()).mkdir("march_Errors.txt"));
    SaveResults(h.ctx);
    ASSERT_EQ(h.shell.messages.size(), 1);
    EXPECT_TRUE(h.shell.messages[0].startsWith("ERROR #")) << h.shell.messages[0].toStdString();
    EXPECT_TRUE(h.shell.messages[0].contains("march_Errors.txt"));
    EXPECT_TRUE(h.shell.saved.isEmpty());
    EXPECT_EQ(readAll(names.valid), "old-valid\r\n");
    EXPECT_FALSE(h.shell.isOverlayVisible(Overlay::SavingFile));
    // No temporary file is left behind beside the list.
    const auto entries = QDir(h.dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(entries, (QStringList{"march_Valid.txt"}));

    // A folder that has gone since the list was opened.
    Harness g;
    fill(g, {{"a@x.org", 0}});
    g.state.ListFile = g.dir.filePath("gone/march.txt");
    SaveResults(g.ctx);
    ASSERT_EQ(g.shell.messages.size(), 1);
    EXPECT_TRUE(g.shell.messages[0].startsWith("ERROR #76: Path not found"))
        << g.shell.messages[0].toStdString();
}
