// A list file on disk through the real window, sondrix and the fake world to
// what the user sees and the result files on disk.

#include "e2efixture.h"
#include "statuspanel.h"
#include "ui/commandicons.h"
#include "ui/reportmodel.h"
#include "ui/reportview.h"

#include <QBrush>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QLineEdit>
#include <csignal>
#include <tuple>

using namespace corvanta;
using namespace corvanta::e2e;
using L = StatusPanel::Label;

TEST_F(E2eTest, AfterARunEveryOutcomeReadsInFullWithItsWordColourAndIcon)
{
    // domain3.test's mail server takes connections and never answers.
    startWorld({QStringLiteral("--silent-domains"), QStringLiteral("1")});
    storeSettings(5, 3, 1);
    // The probe alone is stored on: it needs reply codes, so the run must look
    // as with both off. A mix-up of the two stored switches shows here.
    storeVerdictSwitches(false, true);
    startProgram();
    struct Row
    {
        const char* address;
        const char* word;
    };
    const Row rows[] = {
        {"ada.lovelace@domain1.test", "Valid"},     {"grace.hopper@domain1.test", "Valid"},
        {"unknown.guest@domain2.test", "Bad User"}, {"alan.turing@domain2.test", "Valid"},
        {"orders@nodata.test", "MX failed"},        {"sales@no-such-company.test", "MX failed"},
        {"margaret hamilton", "Bad format"},        {"support@domain3.test", "Connection failed"},
        {"edsger.dijkstra@domain1.test", "Valid"},  {"barbara.liskov@domain2.test", "Valid"},
        {"unknown.buyer@domain1.test", "Bad User"}, {"john.backus@domain2.test", "Valid"},
        {"frances.allen@domain1.test", "Valid"},
    };
    QByteArray list, valid, errors;
    for (const Row& row : rows) {
        list += QByteArray(row.address) + "\r\n";
        (QByteArray(row.word) == "Valid" ? valid : errors) += QByteArray(row.address) + "\r\n";
    }
    m_program->openList(writeList(list));
    EXPECT_EQ(label(L::Emails), QStringLiteral("13"));
    command(CmdStart);
    ASSERT_FALSE(state().IsRunning);

    ReportView& grid = window().ReportGrid();
    const ReportModel& report = window().Report();
    const QFontMetrics metrics = grid.fontMetrics();
    for (int i = 0; i < int(std::size(rows)); ++i) {
        const auto cell = [&](int column, int role) {
            return report.data(report.index(i, column), role);
        };
        const bool good = QByteArray(rows[i].word) == "Valid";
        EXPECT_EQ(cell(ReportModel::ColResult, Qt::DisplayRole).toString(),
                  QLatin1String(rows[i].word))
            << rows[i].address;
        EXPECT_EQ(cell(ReportModel::ColResult, Qt::ForegroundRole).value<QBrush>().color(),
                  good ? QColor(0, 102, 0) : QColor(255, 0, 0))
            << rows[i].address;
        // The outcome's own icon, not the one the row showed while validating.
        EXPECT_EQ(cell(ReportModel::ColResult, Qt::DecorationRole).value<QIcon>().cacheKey(),
                  ReportIcon(good ? kIconGood : kIconBad).cacheKey())
            << rows[i].address;
        // The address is not cut short in a window of the default size.
        EXPECT_LT(metrics.horizontalAdvance(QLatin1String(rows[i].address)),
                  grid.columnWidth(ReportModel::ColAddress))
            << rows[i].address;
    }
    EXPECT_EQ(report.columnCount(), 4) << "a Verdict column without reading reply codes";
    EXPECT_EQ(label(L::Validated), QStringLiteral("13"));
    EXPECT_EQ(label(L::Good), QStringLiteral("7"));
    EXPECT_EQ(label(L::Bad), QStringLiteral("6"));
    EXPECT_EQ(label(L::Percent), QStringLiteral("100%"));
    EXPECT_TRUE(m_modals->messages.isEmpty()) << qPrintable(m_modals->messages.join('\n'));

    // This run draws the README's picture (scripts/screenshot.sh).
    const QString picture = qEnvironmentVariable("CORVANTA_SCREENSHOT");
    if (!picture.isEmpty()) {
        grid.scrollToTop();
        QCoreApplication::processEvents();
        EXPECT_TRUE(window().grab().save(picture)) << qPrintable(picture);
    }

    // Both files land beside the list, in list order; no third one.
    command(CmdSave);
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt"))), valid);
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Errors.txt"))), errors);
    EXPECT_FALSE(QFile::exists(m_tmp.filePath(QStringLiteral("list_Unknown.txt"))));
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

    when([this] { return state().ValidatedCount >= 4; }, [this] { command(CmdStop); });
    command(CmdStart);

    EXPECT_FALSE(state().IsRunning);
    const std::vector<int> first = codes();
    const qsizetype left = withoutOutcome(first);
    ASSERT_GT(left, 0) << "the stop came too late to leave anything";
    EXPECT_EQ(state().ValidatedCount, 16 - left);
    // The position box names the first row still without an outcome.
    const auto firstOpen = std::find(first.begin(), first.end(), -1) - first.begin();
    EXPECT_EQ(window().PositionBox()->text(), QString::number(firstOpen + 1));

    command(CmdStart);

    EXPECT_EQ(state().GoodCount, 16) << "a continued run validated an address twice";
    EXPECT_EQ(label(L::Percent), QStringLiteral("100%"));

    command(CmdSave);
    EXPECT_EQ(readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt"))),
              numbered("domain1.test", 16).replace("\n", "\r\n"));
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
    command(CmdStart);

    ASSERT_TRUE(killed);
    EXPECT_FALSE(state().IsRunning);
    EXPECT_LT(clock.elapsed(), 20000);
    const std::vector<int> after = codes();
    const qsizetype open = withoutOutcome(after);
    EXPECT_GT(open, 0);
    EXPECT_EQ(std::tuple(state().ValidatedCount, state().GoodCount),
              std::tuple(20 - open, 20 - open));
    ASSERT_EQ(m_modals->messages.size(), 1);
    EXPECT_TRUE(m_modals->messages.at(0).contains(QStringLiteral("verification server")))
        << qPrintable(m_modals->messages.at(0));

    // Only what was validated is saved; the rest is left out and counted.
    command(CmdSave);
    const QByteArray valid = readFile(m_tmp.filePath(QStringLiteral("list_Valid.txt")));
    EXPECT_EQ(valid.count('\n'), 20 - open);
    ASSERT_EQ(m_modals->savedTexts.size(), 3);
    EXPECT_TRUE(m_modals->savedTexts.at(2).startsWith(QString::number(open)))
        << qPrintable(m_modals->savedTexts.at(2));
}

TEST_F(E2eTest, ReadingReplyCodesSavesThreeFilesByVerdict)
{
    startWorld();
    storeSettings(3);
    storeVerdictSwitches(true, true);
    startProgram();
    // Every kind of answer a verdict reads, in the fake world.
    m_program->openList(writeList("a@domain1.test\nunknown@domain2.test\nb@nodata.test\n"
                                  "not an address\nc@nowhere.test\nreal1@strict.test\n"
                                  "fake@strict.test\nreal2@strict.test\ng@greylist.test\n"
                                  "h@blocked.test\nd@domain3.test\n"));
    ASSERT_EQ(state().LoadedCount, 11);
    EXPECT_EQ(window().Report().columnCount(), 5);

    command(CmdStart);

    // The probes are no rows and count nowhere.
    EXPECT_EQ(std::tuple(state().ValidatedCount, state().GoodCount, state().BadCount),
              std::tuple(11, 4, 7));
    EXPECT_EQ(window().Report().VerdictText(0), "risky (accept_all)");
    EXPECT_EQ(window().Report().VerdictText(8), "unknown (greylisted)");
    EXPECT_TRUE(m_modals->messages.isEmpty()) << qPrintable(m_modals->messages.join('\n'));

    command(CmdSave);
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
