// Pause, Retry, a close during the run and the network going away, through
// the real window, sondrix and the fake world.

#include "e2efixture.h"
#include "frmsetup.h"
#include "settingsbridge.h"
#include "ui/reportmodel.h"
#include "ui/windowservices.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <tuple>

using namespace corvanta;
using namespace corvanta::e2e;

TEST_F(E2eTest, PauseWithEveryVerifierBusyCollectsThemButHandsOutNothingNew)
{
    // Five replies of 250 ms: each address takes over a second.
    startWorld({QStringLiteral("--reply-delay-ms"), QStringLiteral("250")});
    storeSettings(3);
    startProgram();
    m_program->openList(writeList(numbered("domain1.test", 6)));

    QElapsedTimer clock;
    int validatedWhilePaused = -1;
    qsizetype openWhilePaused = -1;
    // Pause once all three verifiers have an address, then look again when
    // each has had time to finish.
    const auto allBusy = [this] {
        const ReportModel& report = window().Report();
        for (qsizetype row = 0; row < 3; ++row) {
            if (report.ResultText(row) != QLatin1String("Validating..."))
                return false;
        }
        return true;
    };
    when(allBusy, [this, &clock] {
        command(CmdPause);
        clock.start();
    });
    when([&] { return clock.isValid() && clock.elapsed() > 3500; },
         [&] {
             validatedWhilePaused = state().ValidatedCount;
             openWhilePaused = withoutOutcome(codes());
             command(CmdPause);
         });
    command(CmdStart);

    EXPECT_EQ(validatedWhilePaused, 3) << "the busy verifiers were not collected while paused";
    EXPECT_EQ(openWhilePaused, 3) << "an address was handed out while paused";
    EXPECT_EQ(std::tuple(state().ValidatedCount, state().GoodCount), std::tuple(6, 6));
    EXPECT_FALSE(state().IsPaused);

    command(CmdSave);
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt"))).count("\r\n"), 6);
}

TEST_F(E2eTest, RetryTakesOnlyTheFailuresAndCountsThoseThatNowSucceed)
{
    startWorld({QStringLiteral("--reject-prefix"), QStringLiteral("x")});
    storeSettings(4);
    startProgram();
    m_program->openList(writeList(numbered("domain1.test", 5) +
                                  "xa1@domain2.test\nxa2@domain2.test\nxb3@domain2.test\n"));
    command(CmdStart);
    ASSERT_EQ(std::tuple(state().GoodCount, state().BadCount), std::tuple(5, 3));

    // The mail server changes its mind about two of the three.
    m_world.kill();
    m_world.waitForFinished(2000);
    startWorld({QStringLiteral("--reject-prefix"), QStringLiteral("xb")});
    command(CmdRetry);

    EXPECT_EQ(std::tuple(state().GoodCount, state().BadCount, state().ValidatedCount),
              std::tuple(7, 1, 8));
    EXPECT_EQ(codes(), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, verifyBadUser}));

    command(CmdSave);
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Errors.txt"))),
              QByteArray("xb3@domain2.test\r\n"));
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt"))).count("\r\n"), 7);
}

TEST_F(E2eTest, CloseDuringARunAnsweredYesEndsItAtOnceAndClosesTheWindow)
{
    // A silent mail server: without the forced end the run would wait for
    // the SMTP time-out.
    startWorld({QStringLiteral("--silent-domains"), QStringLiteral("1")});
    storeSettings(3, 3, 60);
    startProgram();
    m_program->openList(writeList("a@domain1.test\nb@domain3.test\nc@domain3.test\n"
                                  "d@domain3.test\ne@domain1.test\n"));
    m_modals->answer = QMessageBox::Yes;

    QElapsedTimer clock;
    clock.start();
    when([this] { return state().ValidatedCount >= 1; }, [this] { window().close(); });
    command(CmdStart);

    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_FALSE(state().IsRunning);
    EXPECT_FALSE(window().isVisible());
    const std::vector<int> after = codes();
    EXPECT_EQ(after.at(0), verifyValid);
    EXPECT_EQ(after.at(1), -1);
    EXPECT_EQ(after.at(2), -1);
    // Only the question: an ordered end reports no lost addresses.
    ASSERT_EQ(m_modals->messages.size(), 1) << qPrintable(m_modals->messages.join('\n'));
    EXPECT_EQ(m_modals->messages.first(), QLatin1String(kAbortRunQuestion));

    m_modals->answer = 0;
    command(CmdSave);
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt"))),
              QByteArray("a@domain1.test\r\n"));
}

TEST_F(E2eTest, NothingIsHandedOutWhileOfflineAndTheRunGoesOnWhenBackOnline)
{
    startWorld();
    storeSettings(2);
    m_probe->online = false;
    startProgram();
    m_program->openList(writeList(numbered("domain1.test", 4)));

    QElapsedTimer clock;
    int validatedOffline = -1;
    clock.start();
    when([&] { return clock.elapsed() > 2500; },
         [&] {
             validatedOffline = state().ValidatedCount;
             m_probe->online = true;
         });
    command(CmdStart);

    EXPECT_EQ(validatedOffline, 0);
    EXPECT_EQ(std::tuple(state().ValidatedCount, state().GoodCount), std::tuple(4, 4));

    command(CmdSave);
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt"))),
              numbered("domain1.test", 4).replace("\n", "\r\n"));
}

TEST_F(E2eTest, SetupOpensCentredOverTheWindowAndStoresWhatOkAccepts)
{
    startWorld();
    storeSettings(5);
    startProgram();
    window().setGeometry(100, 100, 800, 600);

    QPoint dialogCentre;
    m_modals->onDialog = [&](QDialog& dialog) {
        auto* setup = qobject_cast<frmSetup*>(&dialog);
        ASSERT_NE(setup, nullptr);
        dialogCentre = setup->frameGeometry().center();
        setup->txtDnsTimeout()->setText(QStringLiteral(" 7.4 s"));
        setup->cmdOK_Click();
    };
    command(CmdSetup);

    EXPECT_LE((dialogCentre - window().frameGeometry().center()).manhattanLength(), 4);
    EXPECT_EQ(bridge::ReadStoredSetting(QStringLiteral("DnsTimeout"), 0).toString(),
              QStringLiteral("7.4"));
    EXPECT_TRUE(m_modals->messages.isEmpty()) << qPrintable(m_modals->messages.join('\n'));
}
