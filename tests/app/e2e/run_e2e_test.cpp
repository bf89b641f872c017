// A list file on disk through the real window, sondrix and the fake world to
// the result files on disk.

#include "e2efixture.h"
#include "statuspanel.h"
#include "ui/reportmodel.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>
#include <csignal>
#include <signal.h>

using namespace corvanta;
using namespace corvanta::e2e;
using L = StatusPanel::Label;

TEST_F(E2eTest, FullRunSortsEveryAddressAndSavesBothFilesBesideTheList)
{
    startWorld();
    storeSettings(3);
    startProgram();
    // Line feeds alone end lines; the empty line is skipped; the address with
    // a trailing blank keeps its bytes in the file it lands in.
    const QString list = writeList("a@domain1.test\n"
                                   "unknown@domain2.test\r\n"
                                   "\n"
                                   "b@nodata.test\n"
                                   "not an address\r"
                                   "c@nowhere.test\n"
                                   "d@domain3.test\n");
    m_program->openList(list);
    ASSERT_EQ(state().LoadedCount, 6);
    EXPECT_EQ(label(L::Emails), QStringLiteral("6"));

    command(command::Start);

    EXPECT_FALSE(state().IsRunning);
    EXPECT_EQ(state().ValidatedCount, 6);
    EXPECT_EQ(state().GoodCount, 2);
    EXPECT_EQ(state().BadCount, 4);
    EXPECT_EQ(codes(), (std::vector<int>{verifyValid, verifyBadUser, verifyDomain, verifyFormat,
                                         verifyDomain, verifyValid}));
    EXPECT_EQ(label(L::Validated), QStringLiteral("6"));
    EXPECT_EQ(label(L::Good), QStringLiteral("2"));
    EXPECT_EQ(label(L::Bad), QStringLiteral("4"));
    EXPECT_EQ(label(L::Percent), QStringLiteral("100%"));
    EXPECT_TRUE(m_modals->messages.isEmpty()) << qPrintable(m_modals->messages.join('\n'));

    command(command::Save);

    const QString valid = m_tmp.filePath(QStringLiteral("list_Valid.txt"));
    const QString errors = m_tmp.filePath(QStringLiteral("list_Errors.txt"));
    EXPECT_EQ(readFile(valid), QByteArray("a@domain1.test\r\nd@domain3.test\r\n"));
    EXPECT_EQ(readFile(errors), QByteArray("unknown@domain2.test\r\nb@nodata.test\r\n"
                                           "not an address\r\nc@nowhere.test\r\n"));
    ASSERT_EQ(m_modals->savedTexts.size(), 3);
    EXPECT_TRUE(m_modals->savedTexts.at(0).endsWith(QStringLiteral("list_Valid.txt")));
    EXPECT_TRUE(m_modals->savedTexts.at(1).endsWith(QStringLiteral("list_Errors.txt")));
    EXPECT_TRUE(m_modals->savedTexts.at(2).isEmpty());
}

TEST_F(E2eTest, StopLeavesTheRestAndStartContinuesFromThePositionBox)
{
    startWorld({QStringLiteral("--reply-delay-ms"), QStringLiteral("60")});
    storeSettings(2);
    startProgram();
    m_program->openList(writeList(numbered("domain1.test", 16)));
    ASSERT_EQ(state().LoadedCount, 16);

    when([this] { return state().ValidatedCount >= 4; }, [this] { command(command::Stop); });
    command(command::Start);

    EXPECT_FALSE(state().IsRunning);
    const std::vector<int> first = codes();
    const qsizetype left = withoutOutcome(first);
    ASSERT_GT(left, 0) << "the stop came too late to leave anything";
    EXPECT_EQ(state().ValidatedCount, 16 - left);
    // The position box names the first row still without an outcome.
    const auto firstOpen = std::find(first.begin(), first.end(), -1) - first.begin();
    EXPECT_EQ(window().PositionBox()->text(), QString::number(firstOpen + 1));

    command(command::Start);

    EXPECT_EQ(codes(), std::vector<int>(16, verifyValid));
    EXPECT_EQ(state().ValidatedCount, 16);
    EXPECT_EQ(state().GoodCount, 16) << "a continued run validated an address twice";
    EXPECT_EQ(label(L::Percent), QStringLiteral("100%"));

    command(command::Save);
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt"))),
              numbered("domain1.test", 16).replace("\n", "\r\n"));
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Errors.txt"))), QByteArray());
}

TEST_F(E2eTest, ServerKilledMidRunEndsTheRunAndLeavesUnfinishedAddressesOpen)
{
    startWorld({QStringLiteral("--reply-delay-ms"), QStringLiteral("150")});
    storeSettings(4);
    startProgram();
    m_program->openList(writeList(numbered("domain2.test", 20)));
    ASSERT_EQ(state().LoadedCount, 20);
    ASSERT_GT(serverPid(), 0);

    bool killed = false;
    when([this] { return state().ValidatedCount >= 2; },
         [this, &killed] { killed = ::kill(pid_t(serverPid()), SIGKILL) == 0; });
    QElapsedTimer clock;
    clock.start();
    command(command::Start);

    ASSERT_TRUE(killed);
    EXPECT_FALSE(state().IsRunning);
    EXPECT_LT(clock.elapsed(), 20000);
    const std::vector<int> after = codes();
    const qsizetype open = withoutOutcome(after);
    EXPECT_GT(open, 0);
    EXPECT_EQ(state().ValidatedCount, 20 - open);
    EXPECT_EQ(state().GoodCount, 20 - open);
    ASSERT_EQ(m_modals->messages.size(), 1);
    EXPECT_TRUE(m_modals->messages.at(0).contains(QStringLiteral("verification server")))
        << qPrintable(m_modals->messages.at(0));

    // Only what was validated is saved; the rest is left out and counted.
    command(command::Save);
    const QByteArray valid = readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt")));
    EXPECT_EQ(valid.count('\n'), 20 - open);
    ASSERT_EQ(m_modals->savedTexts.size(), 3);
    EXPECT_TRUE(m_modals->savedTexts.at(2).startsWith(QString::number(open)))
        << qPrintable(m_modals->savedTexts.at(2));
}

namespace {

// Every kind of answer a verdict reads, in the fake world.
const QByteArray kVerdictList = "a@domain1.test\n"
                                "unknown@domain2.test\n"
                                "b@nodata.test\n"
                                "not an address\n"
                                "c@nowhere.test\n"
                                "real1@strict.test\n"
                                "fake@strict.test\n"
                                "real2@strict.test\n"
                                "g@greylist.test\n"
                                "h@blocked.test\n"
                                "d@domain3.test\n";

} // namespace

TEST_F(E2eTest, ReadingReplyCodesSavesThreeFilesByVerdict)
{
    startWorld();
    storeSettings(3);
    storeVerdictSwitches(true, true);
    startProgram();
    m_program->openList(writeList(kVerdictList));
    ASSERT_EQ(state().LoadedCount, 11);
    EXPECT_EQ(window().Report().columnCount(), 5);

    command(command::Start);

    // The probes are no rows and count nowhere.
    EXPECT_EQ(state().ValidatedCount, 11);
    EXPECT_EQ(state().GoodCount, 4);
    EXPECT_EQ(state().BadCount, 7);
    EXPECT_EQ(window().Report().VerdictText(0), "risky (accept_all)");
    EXPECT_EQ(window().Report().VerdictText(8), "unknown (greylisted)");
    EXPECT_TRUE(m_modals->messages.isEmpty()) << qPrintable(m_modals->messages.join('\n'));

    command(command::Save);
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt"))),
              QByteArray("real1@strict.test\r\nreal2@strict.test\r\n"));
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Errors.txt"))),
              QByteArray("unknown@domain2.test\r\nb@nodata.test\r\nnot an address\r\n"
                         "c@nowhere.test\r\nfake@strict.test\r\n"));
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Unknown.txt"))),
              QByteArray("a@domain1.test\r\ng@greylist.test\r\nh@blocked.test\r\n"
                         "d@domain3.test\r\n"));
    ASSERT_EQ(m_modals->savedTexts.size(), 7) << qPrintable(m_modals->savedTexts.join('\n'));
    EXPECT_TRUE(m_modals->savedTexts.at(3).endsWith(QStringLiteral("list_Unknown.txt")));
    EXPECT_TRUE(m_modals->savedTexts.at(4).startsWith(QStringLiteral("2 valid")));
    EXPECT_TRUE(m_modals->savedTexts.at(5).startsWith(QStringLiteral("5 invalid")));
    EXPECT_TRUE(m_modals->savedTexts.at(6).startsWith(QStringLiteral("4 doubtful")));
}

TEST_F(E2eTest, WithoutReadingReplyCodesTheTwoFilesAreAsBefore)
{
    startWorld();
    storeSettings(3);
    storeVerdictSwitches(false, true);
    startProgram();
    m_program->openList(writeList(kVerdictList));
    EXPECT_EQ(window().Report().columnCount(), 4);

    command(command::Start);
    EXPECT_EQ(state().ValidatedCount, 11);
    command(command::Save);

    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt"))),
              QByteArray("a@domain1.test\r\nreal1@strict.test\r\nreal2@strict.test\r\n"
                         "d@domain3.test\r\n"));
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Errors.txt"))),
              QByteArray("unknown@domain2.test\r\nb@nodata.test\r\nnot an address\r\n"
                         "c@nowhere.test\r\nfake@strict.test\r\ng@greylist.test\r\n"
                         "h@blocked.test\r\n"));
    EXPECT_FALSE(QFile::exists(m_tmp.filePath(QStringLiteral("list_Unknown.txt"))));
    EXPECT_EQ(m_modals->savedTexts.size(), 3);
}
