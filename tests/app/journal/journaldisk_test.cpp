// Run by small-disk-run.sh, which provides a full and a read-only folder.

#include "journalsession.h"
#include "resultfiles.h"

using namespace corvanta;
using namespace corvanta::test;

namespace {

QString folderFrom(const char* variable)
{
    const QString dir = qEnvironmentVariable(variable);
    EXPECT_FALSE(dir.isEmpty()) << variable << " is not set: run me through small-disk-run.sh";
    return dir + QStringLiteral("/journals");
}

// The journal fails; the user is told once, and the run, its outcomes and
// the result files are as they would be without a journal.
void runWithFailingJournal(const QString& journals, const char* failure)
{
    JournalSession s(journals);
    const QString list = s.h.writeFile("list.txt", numberedList(2000, 100));
    s.open(list);
    s.h.state.ThreadCount = 20;
    s.h.factory.delayMs = 0;
    s.start();
    ASSERT_EQ(s.h.shell.notices.size(), 1) << s.h.shell.notices.join("|").toStdString();
    EXPECT_TRUE(s.h.shell.notices[0].contains(failure)) << s.h.shell.notices[0].toStdString();
    EXPECT_TRUE(s.h.shell.notices[0].contains("The run goes on without the journal"));
    EXPECT_EQ(counts(s.h), std::tuple(2000, 1600, 400));
    EXPECT_EQ(s.withOutcome(), 2000);
    EXPECT_TRUE(s.h.shell.messages.isEmpty());
    SaveResults(s.h.ctx);
    EXPECT_EQ(s.h.shell.saved.size(), 2);
    EXPECT_TRUE(s.h.shell.messages.isEmpty());
}

} // namespace

TEST(JournalDisk, FullDiskIsToldOnceAndTheRunGoesOn)
{
    runWithFailingJournal(folderFrom("CORVANTA_TEST_FULL_DIR"), "could not be written");
}

TEST(JournalDisk, ReadOnlyFolderIsToldOnceAndTheRunGoesOn)
{
    runWithFailingJournal(folderFrom("CORVANTA_TEST_RO_DIR"), "could not be created");
}
