#include "reportview.h"

#include "reportmodel.h"

#include <QHeaderView>
#include <QPalette>

namespace corvanta {

ReportView::ReportView(ReportModel& model, QWidget* parent) : QTableView(parent), m_model(model)
{
    setObjectName(QStringLiteral("wndReportControl"));
    setModel(&m_model);
    connect(&m_model, &ReportModel::RowShowRequested, this, &ReportView::OnRowShowRequested);
    // A row noted before the records changed would point at another record.
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { m_rowToShow = -1; });
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, [this] { m_rowToShow = -1; });
    m_showTimer.setInterval(kShowIntervalMs);
    connect(&m_showTimer, &QTimer::timeout, this, [this] {
        if (m_rowToShow < 0)
            m_showTimer.stop(); // quiet for a whole interval: the next request scrolls at once
        ShowPendingRow();
    });
    connect(&m_model, &ReportModel::RecordOrderRestored, this, &ReportView::OnOrderRestored);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &ReportView::OnHeaderClicked);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (!m_fitting)
            m_followWidth = false;
    });
}

void ReportView::InitReport()
{
    QHeaderView* header = horizontalHeader();
    for (int column = 0; column < m_model.columnCount(); ++column)
        header->setSectionResizeMode(column, QHeaderView::Interactive);
    FitColumns();
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setSectionsClickable(m_sortingAllowed);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Every row has the same height, so the view never measures rows and
    // scrolling a huge list costs the same as a small one.
    QHeaderView* rows = verticalHeader();
    rows->setVisible(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setIconSize(QSize(16, 16));
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    QPalette colours = palette();
    colours.setColor(QPalette::Highlight, QColor(0, 79, 117));
    colours.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    setPalette(colours);

    m_model.Populate();
}

void ReportView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    if (m_followWidth)
        FitColumns();
}

void ReportView::FitColumns()
{
    const int columns = m_model.columnCount();
    int total = 0;
    for (int column = 0; column < columns; ++column)
        total += ReportModel::ColumnWidth(column);
    // Before the grid has a width of its own the widths are taken as pixels.
    const int width = viewport()->width() > 0 ? viewport()->width() : total;
    m_fitting = true;
    // Each column ends where its running share of the width ends, so every
    // column is within a pixel of its proportion and together they fill the
    // width exactly: no horizontal scroll bar appears.
    int before = 0;
    int edge = 0;
    for (int column = 0; column < columns; ++column) {
        before += ReportModel::ColumnWidth(column);
        const int next = int((qint64(width) * before + total / 2) / total);
        setColumnWidth(column, next - edge);
        edge = next;
    }
    m_fitting = false;
}

void ReportView::SetSortingAllowed(bool allowed)
{
    if (m_sortingAllowed == allowed)
        return;
    m_sortingAllowed = allowed;
    horizontalHeader()->setSectionsClickable(allowed);
}

void ReportView::SetVerdictsShown(bool shown)
{
    if (shown == m_model.VerdictsShown())
        return;
    m_fitting = true; // a column coming or going is not the user's drag
    m_model.SetVerdictsShown(shown);
    if (shown) {
        horizontalHeader()->setSectionResizeMode(ReportModel::ColVerdict, QHeaderView::Interactive);
        setColumnWidth(ReportModel::ColVerdict, ReportModel::ColumnWidth(ReportModel::ColVerdict));
    }
    m_fitting = false;
    if (m_followWidth)
        FitColumns();
}

void ReportView::OnHeaderClicked(int column)
{
    if (!m_sortingAllowed)
        return;
    // A second click on the same heading reverses the order.
    Qt::SortOrder order = Qt::AscendingOrder;
    if (m_model.IsSorted() && m_model.SortColumn() == column &&
        m_model.SortDirection() == Qt::AscendingOrder)
        order = Qt::DescendingOrder;
    m_model.sort(column, order);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(column, order);
}

void ReportView::OnRowShowRequested(int row)
{
    m_rowToShow = row;
    if (m_showTimer.isActive())
        return;
    ShowPendingRow();
    m_showTimer.start();
}

void ReportView::ShowPendingRow()
{
    if (m_rowToShow < 0)
        return;
    scrollTo(m_model.index(m_rowToShow, 0), QAbstractItemView::EnsureVisible);
    m_rowToShow = -1;
}

void ReportView::OnOrderRestored()
{
    horizontalHeader()->setSortIndicatorShown(false);
}

} // namespace corvanta
