#include "commandids.h"
#include "fakes.h"
#include "ui/frmmain.h"
#include "ui/windowplacement.h"

#include <QDialog>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::testing;

namespace {

const QStringList kGeometryKeys = {"MainLeft", "MainTop", "MainWidth", "MainHeight"};

} // namespace

// Exit here; the close box of an idle window follows the same rule (see the
// second close in the Yes test below).
TEST(CloseRules, IdleExitStoresGeometryInTwipsAndClosesOtherWindows)
{
    Harness h;
    frmMain& window = h.OpenShown();
    window.move(120, 90);
    window.resize(640, 480);
    QDialog other;
    other.show();

    window.ExecuteCommand(CmdExit);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(other.isVisible());
    EXPECT_TRUE(h.run.State().StopRequested);
    EXPECT_TRUE(h.run.State().ForceAbort);

    ASSERT_EQ(h.settings.writes, kGeometryKeys);
    const Twips& twips = window.TwipsScale();
    const QPoint at = window.pos();
    EXPECT_EQ(twips.ToPixels(h.settings.values["MainLeft"].toDouble()), at.x());
    EXPECT_EQ(twips.ToPixels(h.settings.values["MainTop"].toDouble()), at.y());
    EXPECT_EQ(twips.ToPixels(h.settings.values["MainWidth"].toDouble()), 640);
    EXPECT_EQ(twips.ToPixels(h.settings.values["MainHeight"].toDouble()), 480);
}

TEST(CloseRules, NoOrCancelDuringARunKeepsTheWindowAndTheRunGoing)
{
    for (Answer answer : {Answer::No, Answer::Cancel}) {
        Harness h;
        frmMain& window = h.OpenShown();
        h.run.State().IsRunning = true;
        h.run.calls.clear();
        h.dialogs.answer = answer;

        EXPECT_FALSE(window.close());
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(h.dialogs.questions, 1);
        EXPECT_TRUE(h.run.calls.isEmpty());
        const RunState& state = h.run.State();
        EXPECT_FALSE(state.StopRequested || state.ForceAbort || state.CloseWhenDone);
        EXPECT_TRUE(h.settings.writes.isEmpty());
    }
}

TEST(CloseRules, YesDuringARunAsksTheRunToEndAndClosesWhenItHas)
{
    Harness h;
    frmMain& window = h.OpenShown();
    RunState& state = h.run.State();
    state.IsRunning = true;
    h.run.calls.clear();
    h.dialogs.answer = Answer::Yes;

    // Exit is not offered during a run; the close box reaches the rule.
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(h.run.calls, QStringList({"stop"}));
    EXPECT_TRUE(state.StopRequested);
    EXPECT_TRUE(state.ForceAbort);
    EXPECT_TRUE(state.CloseWhenDone);
    EXPECT_TRUE(h.settings.writes.isEmpty());

    // The run ends and closes the window itself; that close finds no run.
    state.IsRunning = false;
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(h.settings.writes, kGeometryKeys);
    EXPECT_EQ(h.dialogs.questions, 1);
}

TEST(CloseRules, MinimisedCloseWritesNoGeometryAndAFailedWriteIsShownOnce)
{
    Harness h;
    frmMain& window = h.OpenShown();
    h.settings.failure = QStringLiteral("access denied");
    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(h.dialogs.errors.isEmpty()); // a write would have failed

    window.showNormal();
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    ASSERT_EQ(h.dialogs.errors.size(), 1); // once, not once per value
    EXPECT_TRUE(h.dialogs.errors.first().contains(QStringLiteral("access denied")));
}
