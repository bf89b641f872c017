#include "commandids.h"
#include "fakes.h"
#include "ui/commandicons.h"
#include "ui/frmmain.h"
#include "ui/reportmodel.h"
#include "ui/reportview.h"
#include "ui/windowplacement.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace corvanta;
using namespace corvanta::testing;

namespace {

const std::vector<int> kCommands = {CmdOpen,  CmdSave, CmdExit,  CmdAdd,   CmdStart,
                                    CmdPause, CmdStop, CmdRetry, CmdSetup, CmdAbout};

// Ids of a toolbar in order, with 0 for each separator.
std::vector<int> ToolbarLayout(const frmMain& window)
{
    std::vector<int> ids;
    for (QAction* action : window.findChild<QToolBar*>(QStringLiteral("Standard"))->actions())
        ids.push_back(action->isSeparator() ? 0 : action->data().toInt());
    return ids;
}

// Every command's menu entry and toolbar button (About has none) is enabled
// exactly when `enabled` says so.
void ExpectEnabled(const frmMain& window, const std::function<bool(int)>& enabled)
{
    for (int id : kCommands) {
        EXPECT_EQ(window.MenuControl(id)->isEnabled(), enabled(id)) << id;
        if (id != CmdAbout) {
            EXPECT_EQ(window.ToolbarControl(id)->isEnabled(), enabled(id)) << id;
        }
    }
}

} // namespace

TEST(MainWindow, FirstStartWithoutStoredSettingsThenASecondStartOffline)
{
    Harness h;
    frmMain& window = h.Open();
    const Twips& twips = window.TwipsScale();

    EXPECT_EQ(h.settings.reads, QStringList({"MainLeft", "MainTop", "MainWidth", "MainHeight"}));
    EXPECT_EQ(window.pos(), QPoint(twips.ToPixels(1000), twips.ToPixels(1000)));
    EXPECT_EQ(window.size(), QSize(twips.ToPixels(11685), twips.ToPixels(8085)));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Corvanta"));
    EXPECT_EQ(window.ThreadsBox()->currentText(), QStringLiteral("5"));
    EXPECT_EQ(window.PositionBox()->text(), QStringLiteral("1"));

    const RunState& state = h.run.State();
    EXPECT_EQ(state.ThreadCount, 5);
    EXPECT_EQ(state.StartPosition, 1);
    EXPECT_FALSE(state.IsRunning || state.StopRequested || state.ForceAbort || state.CloseWhenDone);
    EXPECT_TRUE(state.IsOnline);
    EXPECT_EQ(h.run.Settings().HelloName, QStringLiteral("probe.test"));
    EXPECT_EQ(h.run.calls, QStringList({"reset"}));
    EXPECT_EQ(h.run.attached, &window);

    // Every command but Pause and Stop, then the refresh takes Add and Retry
    // away because the report is empty and nothing has failed.
    ExpectEnabled(window, [](int id) { return id != CmdPause && id != CmdStop; });
    window.RefreshControls();
    ExpectEnabled(window, [](int id) {
        return id != CmdPause && id != CmdStop && id != CmdAdd && id != CmdRetry;
    });

    // The file dialog returns "/" everywhere; the caption shows the path of
    // an opened list as the system writes it.
    h.run.State().ListFile = QStringLiteral("C:/lists/march.txt");
    window.UpdateCaption();
    EXPECT_EQ(window.windowTitle(),
              "Corvanta  [" + QDir::toNativeSeparators("C:/lists/march.txt") + "]");
    h.run.State().ListFile.clear();
    window.UpdateCaption();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Corvanta"));

    // The stored geometry is applied, and garbage falls back to the default.
    Harness second;
    second.online = false;
    second.settings.values = {{"MainLeft", "1500"},
                              {"MainTop", "300"},
                              {"MainWidth", "9000"},
                              {"MainHeight", "not a number"}};
    frmMain& again = second.Open();
    EXPECT_FALSE(second.run.State().IsOnline);
    EXPECT_EQ(again.geometry(), QRect(twips.ToPixels(1500), twips.ToPixels(300),
                                      twips.ToPixels(9000), twips.ToPixels(8085)));
}

TEST(MainWindow, MenusAndToolbarFollowTheirTables)
{
    Harness h;
    frmMain& window = h.Open();

    // Menu bar: pop-ups in order, each entry with its id, separators before
    // group starts.
    QStringList layout;
    for (QAction* popup : window.menuBar()->actions()) {
        layout.append(popup->text() + QLatin1Char(':'));
        EXPECT_EQ(popup->data().toInt(), 0);
        for (QAction* entry : popup->menu()->actions())
            layout.append(entry->isSeparator()
                              ? QStringLiteral("|")
                              : QString::number(entry->data().toInt()) + entry->text());
    }
    EXPECT_EQ(layout.join(QLatin1Char(' ')),
              QStringLiteral("&File: 100&Open 101&Save | 103&Add 104&Export report... | 102&Exit "
                             "&Action: 200&Start 201&Pause 202S&top 203&Retry "
                             "&Tools: 300&Setup &Help: 400&About"));

    EXPECT_EQ(ToolbarLayout(window), std::vector<int>({100, 101, 103, 0, 500, 501, 503, 0, 200, 201,
                                                       202, 203, 0, 300, 102}));
    EXPECT_EQ(window.ToolbarControl(CmdThreadsLabel)->text(), QStringLiteral("Threads"));
    EXPECT_EQ(window.ToolbarControl(CmdStop)->text(), QStringLiteral("S&top"));

    const QString threadsTip = QStringLiteral("Number of concurrent connections");
    EXPECT_EQ(window.ToolbarControl(CmdThreadsLabel)->toolTip(), threadsTip);
    EXPECT_EQ(window.ThreadsBox()->toolTip(), threadsTip);
    EXPECT_EQ(window.PositionBox()->toolTip(),
              QStringLiteral("Starting position from the begaining of the file"));
    EXPECT_EQ(window.ThreadsBox()->width(), 50);
    EXPECT_EQ(window.PositionBox()->width(), 80);

    QComboBox* threads = window.ThreadsBox();
    EXPECT_FALSE(threads->isEditable());
    ASSERT_EQ(threads->count(), 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(threads->itemText(i), QString::number(5 * (i + 1)));

    // One 16x16 icon per command and per report file, no two alike; a command's
    // menu entry and toolbar button share it.
    QList<QImage> images;
    for (int id : kCommands) {
        images.append(DrawCommandImage(id));
        EXPECT_EQ(window.MenuControl(id)->icon().cacheKey(), CommandIcon(id).cacheKey());
        if (id != CmdAbout) {
            EXPECT_EQ(window.ToolbarControl(id)->icon().cacheKey(), CommandIcon(id).cacheKey());
        }
    }
    for (int number : {1, 2, 3})
        images.append(DrawReportImage(number));
    for (qsizetype i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].size(), QSize(16, 16)) << i;
        EXPECT_FALSE(images.first(i).contains(images[i])) << i;
    }
    EXPECT_TRUE(DrawCommandImage(501).isNull());
    EXPECT_TRUE(ReportIcon(4).isNull());
}

TEST(MainWindow, ThreadsAndPositionBoxRules)
{
    Harness h;
    h.settings.run.DefaultThreads = 7; // not one of the items
    frmMain& window = h.Open();
    EXPECT_TRUE(window.ThreadsBox()->currentText().isEmpty());
    EXPECT_EQ(h.run.State().ThreadCount, 7);

    // The first refresh reads the empty box as 0, which falls back to 20.
    window.RefreshControls();
    EXPECT_EQ(h.run.State().ThreadCount, 20);
    EXPECT_EQ(window.ThreadsBox()->currentText(), QStringLiteral("20"));

    window.ThreadsBox()->setCurrentIndex(window.ThreadsBox()->findText(QStringLiteral("35")));
    window.RefreshControl(CmdThreadsBox);
    EXPECT_EQ(h.run.State().ThreadCount, 35);

    window.ThreadsBox()->setCurrentIndex(window.ThreadsBox()->findText(QStringLiteral("500")));
    window.ExecuteCommand(CmdThreadsBox);
    EXPECT_EQ(h.run.State().ThreadCount, 500);

    QLineEdit* box = window.PositionBox();
    struct Case
    {
        const char* typed;
        double position;
        const char* shown;
    };
    for (const Case& c : {Case{"12abc", 12, "12abc"}, Case{"0", 1, "1"}, Case{"-4", 1, "1"},
                          Case{"letters", 1, "1"}, Case{"", 1, "1"}, Case{"2.5", 2.5, "2.5"},
                          Case{"0.5", 1, "1"}}) {
        box->setText(QString::fromLatin1(c.typed));
        window.RefreshControls();
        EXPECT_DOUBLE_EQ(h.run.State().StartPosition, c.position) << c.typed;
        EXPECT_EQ(box->text(), QString::fromLatin1(c.shown)) << c.typed;
    }
    // Finishing the edit applies the same rule through the dispatch.
    box->setText(QStringLiteral("40"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(h.run.State().StartPosition, 40);
}

TEST(MainWindow, CommandStatesAndCheckMarksDuringAndAfterARun)
{
    Harness h;
    frmMain& window = h.Open();
    window.Report().addRecord("a@x.test");
    h.run.State().BadCount = 1;

    h.run.State().IsRunning = true;
    window.UpdateCommandStates();
    window.RefreshControls(); // must not undo what the run set
    ExpectEnabled(window, [](int id) { return id == CmdPause || id == CmdStop; });
    EXPECT_FALSE(window.ThreadsBox()->isEnabled());
    EXPECT_FALSE(window.PositionBox()->isEnabled());
    EXPECT_FALSE(window.ReportGrid().SortingAllowed());
    // The run marks Pause in the menu and on the toolbar apart.
    window.CheckMenuButton(CmdPause, true);
    EXPECT_TRUE(window.MenuControl(CmdPause)->isChecked());
    EXPECT_FALSE(window.ToolbarControl(CmdPause)->isChecked());
    window.CheckToolbarButton(CmdPause, true);
    window.CheckMenuButton(CmdPause, false);
    EXPECT_FALSE(window.MenuControl(CmdPause)->isChecked());
    EXPECT_TRUE(window.ToolbarControl(CmdPause)->isChecked());
    window.CheckToolbarButton(-1, true); // no such control: nothing happens
    window.CheckMenuButton(CmdThreadsBox, true);

    h.run.State().IsRunning = false;
    window.UpdateCommandStates();
    window.RefreshControls();
    // Add stays: a record exists, shown or not; Retry too: one address failed.
    ExpectEnabled(window, [](int id) { return id != CmdPause && id != CmdStop; });
    EXPECT_TRUE(window.ThreadsBox()->isEnabled());
    EXPECT_TRUE(window.ReportGrid().SortingAllowed());

    h.run.State().BadCount = 0;
    window.RefreshControls();
    EXPECT_FALSE(window.ToolbarControl(CmdRetry)->isEnabled());

    // While a list is read or the results written, nothing that starts a
    // load, a save, a run or a retry is offered, and the refresh keeps it so.
    h.run.State().BadCount = 1;
    h.run.State().IsBusy = true;
    window.UpdateCommandStates();
    window.RefreshControls();
    ExpectEnabled(window, [](int id) { return id == CmdExit || id == CmdSetup || id == CmdAbout; });
}

TEST(MainWindow, CommandsReachTheRunAndUnknownIdsDoNothing)
{
    Harness h;
    frmMain& window = h.Open();
    h.run.calls.clear();
    RunState& state = h.run.State();

    state.StopRequested = state.ForceAbort = true;
    window.ExecuteCommand(CmdStart);
    EXPECT_FALSE(state.StopRequested || state.ForceAbort || state.RetryMode);
    state.StopRequested = state.ForceAbort = true;
    window.ExecuteCommand(CmdRetry);
    EXPECT_FALSE(state.StopRequested || state.ForceAbort);
    EXPECT_TRUE(state.RetryMode);

    for (int id : {int(CmdOpen), int(CmdSave), int(CmdAdd), int(CmdPause), int(CmdStop),
                   int(CmdSetup), 0, 500, 502, 999})
        window.ExecuteCommand(id);
    EXPECT_EQ(h.run.calls,
              QStringList({"start", "retry", "open", "save", "add", "pause", "stop", "setup"}));

    // While a list is read or the results written, a load, save, run or
    // retry that arrives anyway is dropped; the other commands still work.
    h.run.calls.clear();
    state.IsBusy = true;
    for (int id : {CmdOpen, CmdSave, CmdAdd, CmdStart, CmdRetry, CmdStop, CmdSetup})
        window.ExecuteCommand(id);
    EXPECT_EQ(h.run.calls, QStringList({"stop", "setup"}));
    state.IsBusy = false;

    // Clicking a toolbar button and a menu entry both dispatch.
    h.run.calls.clear();
    window.ToolbarControl(CmdOpen)->trigger();
    window.MenuControl(CmdSave)->trigger();
    EXPECT_EQ(h.run.calls, QStringList({"open", "save"}));
}

TEST(MainWindow, ARunStartsFromRecordOrderWithSortingOff)
{
    Harness h;
    frmMain& window = h.Open();
    ReportModel& report = window.Report();
    for (const char* address : {"c@x.test", "a@x.test", "b@x.test"})
        report.addRecord(QByteArrayView(address));
    report.rebuildRows();
    report.Arrange(ReportModel::ColAddress);
    ASSERT_EQ(report.RecordAtRow(0), 1);

    bool sortedDuringRun = true;
    bool sortableDuringRun = true;
    h.run.onRun = [&] {
        sortedDuringRun = report.IsSorted();
        sortableDuringRun = window.ReportGrid().SortingAllowed();
    };
    window.ExecuteCommand(CmdStart);
    EXPECT_FALSE(sortedDuringRun);
    EXPECT_FALSE(sortableDuringRun);
    EXPECT_EQ(report.RecordAtRow(0), 0);
    EXPECT_TRUE(window.ReportGrid().SortingAllowed()); // the fake run returned at once
}

TEST(MainWindow, ARunsRowsAreBroughtIntoViewAtOnceThenAtMostOncePerInterval)
{
    Harness h;
    frmMain& window = h.OpenShown(QSize(700, 400));
    ReportModel& report = window.Report();
    for (int i = 0; i < 2000; ++i)
        report.addRecord(QByteArray("user" + QByteArray::number(i) + "@x.test"));
    report.rebuildRows();
    QCoreApplication::processEvents();
    ReportView& grid = window.ReportGrid();
    const auto visible = [&](int row) {
        return grid.viewport()->rect().contains(grid.visualRect(report.index(row, 0)));
    };

    report.bringIntoView(500); // the first request after a quiet spell scrolls at once
    EXPECT_TRUE(visible(500));
    report.bringIntoView(1000); // a burst: only the last row counts, and soon
    report.bringIntoView(1500);
    EXPECT_FALSE(visible(1500));
    EXPECT_TRUE(QTest::qWaitFor([&] { return visible(1500); }, 1000));
    EXPECT_FALSE(visible(1000));

    // A new list must not be scrolled to a row noted for the old one.
    report.bringIntoView(1999); // noted: the interval is still running
    report.removeAllRecords();
    for (int i = 0; i < 2000; ++i)
        report.addRecord(QByteArray("other" + QByteArray::number(i) + "@x.test"));
    report.rebuildRows();
    QTest::qWait(150);
    EXPECT_FALSE(visible(1999));
}

TEST(MainWindow, LayoutPlacesReportAndStatusPanel)
{
    Harness h;
    frmMain& window = h.OpenShown();
    const Twips& twips = window.TwipsScale();
    const int margin = twips.ToPixels(50);

    // The columns share the grid's width in the proportions 25:80:45:130, and
    // the Verdict column, when it comes, takes its share (150) too.
    const int parts[] = {25, 80, 45, 130, 150};
    for (const auto& [size, verdicts] :
         {std::pair{QSize(900, 600), false}, {QSize(640, 420), true}}) {
        window.resize(size);
        QCoreApplication::processEvents();
        window.ReportGrid().SetVerdictsShown(verdicts); // after the resize: it refits alone
        const QRect report = window.ReportGrid().geometry();
        const QRect panel = window.StatusPanel()->geometry();
        const QRect free = window.centralWidget()->geometry();

        EXPECT_EQ(panel.height(), twips.ToPixels(frmMain::kStatusPanelTwips));
        EXPECT_EQ(panel, QRect(0, size.height() - panel.height(), size.width(), panel.height()));
        EXPECT_EQ(report.top(), free.top()); // right under the toolbar
        EXPECT_GT(report.top(), 0);
        EXPECT_EQ(report.left(), margin);
        EXPECT_NEAR(size.width() - report.right() - 1, margin, 1);
        EXPECT_NEAR(panel.top() - report.bottom() - 1 - (size.height() - free.bottom() - 1), margin,
                    1);

        const int width = window.ReportGrid().viewport()->width();
        const int columns = verdicts ? 5 : 4;
        const double total = verdicts ? 430.0 : 280.0;
        int sum = 0;
        for (int column = 0; column < columns; ++column) {
            sum += window.ReportGrid().columnWidth(column);
            EXPECT_NEAR(window.ReportGrid().columnWidth(column), width * parts[column] / total, 1.5)
                << column;
        }
        EXPECT_EQ(sum, width);
    }

    // Once the user drags a column, the widths are the user's, and every
    // column can still be dragged.
    QHeaderView* header = window.ReportGrid().horizontalHeader();
    header->resizeSection(ReportModel::ColAddress, 300);
    const int message = header->sectionSize(ReportModel::ColMessage);
    window.resize(1000, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(header->sectionSize(ReportModel::ColAddress), 300);
    EXPECT_EQ(header->sectionSize(ReportModel::ColMessage), message);
    for (int column = 0; column <= ReportModel::ColVerdict; ++column)
        EXPECT_EQ(header->sectionResizeMode(column), QHeaderView::Interactive);
}

TEST(MainWindow, OverlayPanelsAreCentredInFrontOfTheReport)
{
    Harness h;
    frmMain& window = h.OpenShown(QSize(801, 601));

    for (Overlay which : {Overlay::LoadFile, Overlay::SavingFile, Overlay::Stop}) {
        QFrame* panel = window.OverlayPanel(which);
        EXPECT_FALSE(panel->isVisible());
        window.ShowOverlayPanel(which);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->pos(), OverlayPosition(window.size(), panel->size()));
        QWidget* front = window.childAt(panel->geometry().center());
        EXPECT_TRUE(front == panel || panel->isAncestorOf(front));
        window.HideOverlayPanel(which);
        EXPECT_FALSE(panel->isVisible());
    }
    auto texts = [&](Overlay which) {
        QStringList all;
        for (QLabel* label : window.OverlayPanel(which)->findChildren<QLabel*>())
            all.append(label->text());
        return all;
    };
    EXPECT_TRUE(texts(Overlay::LoadFile).contains(QStringLiteral("Loading file, please wait")));
    EXPECT_TRUE(texts(Overlay::SavingFile).contains(QStringLiteral("Please Wait...")));
    window.SetStopCount(7);
    EXPECT_TRUE(texts(Overlay::Stop).contains(QStringLiteral("Threads running:")));
    EXPECT_TRUE(texts(Overlay::Stop).contains(QStringLiteral("7")));
}

TEST(MainWindow, AboutBoxIsCentredOverAnOffCentreWindow)
{
    Harness h;
    frmMain& window = h.Open();
    window.setGeometry(40, 30, 700, 500);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QRect aboutGeometry;
    QStringList aboutTexts;
    h.dialogs.onModal = [&](QDialog& dialog) {
        aboutGeometry = dialog.frameGeometry();
        for (QLabel* label : dialog.findChildren<QLabel*>())
            aboutTexts.append(label->text());
    };
    window.ExecuteCommand(CmdAbout);
    ASSERT_EQ(h.dialogs.shown, QStringList({"frmAbout"}));
    const QPoint expected((window.width() - aboutGeometry.width()) / 2 + window.frameGeometry().x(),
                          (window.height() - aboutGeometry.height()) / 2 +
                              window.frameGeometry().y());
    EXPECT_EQ(aboutGeometry.topLeft(), expected);
    EXPECT_TRUE(aboutTexts.contains(QStringLiteral("Corvanta")));
    EXPECT_TRUE(aboutTexts.join(' ').contains(QStringLiteral(CORVANTA_TEST_VERSION)));
}

TEST(MainWindow, AServerThatCannotStartIsReportedAndTheWindowStillOpens)
{
    Harness h;
    h.host.failure = QStringLiteral("sondrix is missing");
    frmMain& window = h.OpenShown();
    for (int i = 0; i < 100 && h.dialogs.errors.isEmpty(); ++i)
        QTest::qWait(10);
    ASSERT_EQ(h.dialogs.errors.size(), 1);
    EXPECT_TRUE(h.dialogs.errors.first().contains(QStringLiteral("sondrix is missing")));
    EXPECT_TRUE(window.isVisible());
    // Shown once, not on every show.
    window.hide();
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(h.dialogs.errors.size(), 1);
}
