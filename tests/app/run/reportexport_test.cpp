#include "harness.h"
#include "replystore.h"
#include "reportexport.h"
#include "statistics.h"

#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::test;

// Fields that need quoting, a row without an outcome, replies kept by the
// sink, and extra columns; the address keeps its bytes.
TEST(ReportExport, EveryRowWithItsOutcomeAndReplies)
{
    Harness h;
    ReplyStore replies;
    h.ctx.sink = &replies;
    h.report.load({"a@x.org", "b,\"c\"@x.org", "caf\xE9@x.org"});
    OutcomeRecord valid{0, "Valid", "250 ok", "250 sender ok", "250 ok"};
    RecordOutcome(h.ctx, 0, valid);
    OutcomeRecord bad{4, "Bad User", "550 no such\r\nuser", "250 sender, ok", "550 no \"such\""};
    RecordOutcome(h.ctx, 1, bad);

    const QString path = h.dir.filePath("report.csv");
    const ExportExtraColumns extra{
        {"Verdict", "Reason"}, [](qsizetype row) {
            return row == 0 ? QStringList{"deliverable", "é"} : QStringList{};
        }};
    ASSERT_FALSE(writeFullReport(h.report, &replies, path, extra, {}));
    EXPECT_EQ(readAll(path),
              "Number,Address,Code,Outcome,Message,Sender reply,Recipient reply,Verdict,Reason\r\n"
              "1,a@x.org,0,Valid,250 ok,250 sender ok,250 ok,deliverable,\xC3\xA9\r\n"
              "2,\"b,\"\"c\"\"@x.org\",4,Bad User,\"550 no such\r\nuser\",\"250 sender, ok\","
              "\"550 no \"\"such\"\"\",,\r\n"
              "3,caf\xE9@x.org,,,,,,,\r\n");
}

// The command: the dialog's suggestion beside the list, a cancel writes
// nothing, and a folder that cannot be written keeps the earlier report.
TEST(ReportExport, CommandSuggestsAFileBesideTheListAndKeepsTheOldOneOnFailure)
{
    Harness h;
    h.openList({"a@x.org"}, "march.list.txt");
    ExportReport(h.ctx, nullptr, {});
    EXPECT_EQ(h.shell.suggestedSave, h.dir.filePath("march.list_Report.csv"));
    EXPECT_TRUE(h.shell.messages.isEmpty());

    h.shell.nextSaveFile = h.dir.filePath("missing-folder/report.csv");
    ExportReport(h.ctx, nullptr, {});
    ASSERT_EQ(h.shell.messages.size(), 1);
    EXPECT_TRUE(h.shell.messages[0].startsWith("ERROR #")) << h.shell.messages[0].toStdString();
    EXPECT_FALSE(h.shell.isOverlayVisible(Overlay::SavingFile));

    h.shell.nextSaveFile = h.dir.filePath("report.csv");
    ExportReport(h.ctx, nullptr, {});
    EXPECT_EQ(readAll(*h.shell.nextSaveFile),
              "Number,Address,Code,Outcome,Message,Sender reply,Recipient reply\r\n"
              "1,a@x.org,,,,,\r\n");
}
