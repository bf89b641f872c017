#pragma once

#include <QTableView>
#include <QTimer>

namespace corvanta {

class ReportModel;

// The report grid: a virtual table over a ReportModel. Read-only to the user,
// fixed row height (so a million rows scroll without per-row work), no row
// header. Sorting by a column heading is offered only while SetSortingAllowed
// is true; the window turns it off for the length of a run, because a run
// addresses rows by position.
class ReportView final : public QTableView
{
    Q_OBJECT
public:
    // Does not own `model`; the model must outlive the view.
    explicit ReportView(ReportModel& model, QWidget* parent = nullptr);

    // Columns, widths and look; the grid is empty afterwards until records are
    // added and populated.
    void InitReport();
    void SetSortingAllowed(bool allowed);
    // Shows or hides the Verdict column, at its initial width.
    void SetVerdictsShown(bool shown);
    bool SortingAllowed() const { return m_sortingAllowed; }
    ReportModel& Model() const { return m_model; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The columns' initial widths are proportions: the columns share the
    // grid's width in them, and follow it when it changes, until the user
    // drags a column; from then on the user's widths stand.
    void FitColumns();
    void OnHeaderClicked(int column);
    void OnRowShowRequested(int row);
    void OnOrderRestored();
    void ShowPendingRow();

    // A run asks for a row to be brought into view hundreds of times a
    // second, and every scroll repaints the whole grid. The first request
    // after a quiet spell scrolls at once; later ones within
    // kShowIntervalMs only note their row, and the last one noted is shown
    // when the interval ends.
    static constexpr int kShowIntervalMs = 50;

    ReportModel& m_model;
    QTimer m_showTimer;
    int m_rowToShow = -1;
    bool m_sortingAllowed = true;
    bool m_followWidth = true;
    bool m_fitting = false; // the widths being changed are FitColumns' own
};

} // namespace corvanta
