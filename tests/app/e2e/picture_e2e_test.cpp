// What the user sees after a real run: every outcome in the grid with its
// word, colour and icon, in columns wide enough to read. The same run draws
// the README's picture: set CORVANTA_SCREENSHOT to a file name to save it
// (see scripts/screenshot.sh).

#include "e2efixture.h"
#include "ui/reportmodel.h"
#include "ui/reportview.h"

#include <QBrush>
#include <QCoreApplication>
#include <QIcon>

using namespace corvanta;
using namespace corvanta::e2e;

TEST_F(E2eTest, AfterARunEveryOutcomeReadsInFullWithItsWordColourAndIcon)
{
    // domain3.test's mail server takes connections and never answers.
    startWorld({QStringLiteral("--silent-domains"), QStringLiteral("1")});
    storeSettings(5, 3, 1);
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
    QByteArray list;
    for (const Row& row : rows)
        list += QByteArray(row.address) + "\r\n";
    m_program->openList(writeList(list));
    command(command::Start);
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
        EXPECT_FALSE(cell(ReportModel::ColResult, Qt::DecorationRole).value<QIcon>().isNull());
        // The address is not cut short in a window of the default size.
        EXPECT_LT(metrics.horizontalAdvance(QLatin1String(rows[i].address)),
                  grid.columnWidth(ReportModel::ColAddress))
            << rows[i].address;
    }
    EXPECT_TRUE(m_modals->messages.isEmpty()) << qPrintable(m_modals->messages.join('\n'));

    const QString picture = qEnvironmentVariable("CORVANTA_SCREENSHOT");
    if (!picture.isEmpty()) {
        grid.scrollToTop();
        QCoreApplication::processEvents();
        EXPECT_TRUE(window().grab().save(picture)) << qPrintable(picture);
    }
}
