#pragma once

#include "chunkedstore.h"
#include "ireport.h"
#include "texttable.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace corvanta {

// The report's record store and the table model over it. Records are kept
// column-wise in flat arrays (address bytes in one arena, fixed-size outcome
// slots, outcome words interned, messages allocated only once one is written),
// so appending is O(1) amortised and a million addresses cost tens of MB. The
// view asks only for visible cells; nothing is kept per cell.
//
// Records added since the last Populate() are counted by RecordCount() but are
// not rows yet: the loader decides how often the grid is rebuilt.
//
// Owned by whoever creates it (the main window's report view, or a test);
// GUI thread only.
class ReportModel final : public QAbstractTableModel, public IReport
{
    Q_OBJECT
public:
    enum Column
    {
        ColNumber = 0,
        ColAddress = 1,
        ColResult = 2,
        ColMessage = 3,
        ColumnCount = 4, // the columns always shown
        ColVerdict = 4,  // shown while verdicts are (SetVerdictsShown)
    };
    // The hidden outcome code of the address item (0 while absent), for views
    // that want it.
    static constexpr int OutcomeCodeRole = Qt::UserRole + 1;

    explicit ReportModel(QObject* parent = nullptr);

    // IReport, for the list loading, the run and the save. `row` is the record
    // index; it equals the display row while no sort is applied, and a run
    // always starts by restoring record order. Out-of-range reads give an empty
    // address and no code; out-of-range writes do nothing.
    qsizetype recordCount() const override { return RecordCount(); }
    QByteArray address(qsizetype row) const override;
    std::optional<qint32> storedCode(qsizetype row) const override;
    QString message(qsizetype row) const override { return Message(row); }
    void addRecord(QByteArrayView address) override { AddRecord(address); }
    void removeAllRecords() override { RemoveAllRecords(); }
    void rebuildRows() override { Populate(); }
    void setStoredCode(qsizetype row, qint32 code) override;
    // `colour` is 0x00BBGGRR.
    void setResult(qsizetype row, const QString& word, quint32 colour, int icon) override;
    void setMessage(qsizetype row, const QString& message) override;
    void setVerdict(qsizetype row, Judgement judgement) override;
    std::optional<Judgement> verdict(qsizetype row) const override;
    void bringIntoView(qsizetype row) override;
    // Changed cells are redrawn as they change; nothing is pending.
    void repaint() override {}

    // Records added since the last RemoveAllRecords (shown or not).
    qsizetype RecordCount() const;
    // Appends a record holding the address bytes exactly as given; its number
    // is its index + 1, its result and message are empty and it has no code.
    // Not shown until the next Populate. Returns the index (-1 when full).
    qsizetype AddRecord(QByteArrayView address);
    // Drops every record; the grid is empty at once and numbering restarts at 1.
    void RemoveAllRecords();
    // Rebuilds the rows so every record is shown.
    void Populate();

    // The hidden outcome code reads 0 while absent.
    qint32 OutcomeCode(qsizetype record) const;
    bool HasOutcomeCode(qsizetype record) const;
    QString ResultText(qsizetype record) const;
    // Invalid while the grid's default colour applies.
    QColor ResultColour(qsizetype record) const;
    int ResultIcon(qsizetype record) const;
    QString Message(qsizetype record) const;
    void SetResult(qsizetype record, const QString& text, const QColor& colour, int icon);

    // Adds or removes the Verdict column after the four others.
    void SetVerdictsShown(bool shown);
    bool VerdictsShown() const { return m_verdictsShown; }
    // "undeliverable (mailbox_unknown)"; empty without a verdict.
    QString VerdictText(qsizetype record) const;

    // Puts the rows back into record order (no-op when unsorted).
    void RestoreRecordOrder();
    // The record shown at a display row (identity while unsorted); -1 if none.
    qsizetype RecordAtRow(qsizetype row) const;

    // Sorts the rows ascending by one column and shows every record; an unknown
    // column only rebuilds the rows.
    void Arrange(int column);
    bool IsSorted() const { return m_sortColumn >= 0; }
    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortDirection() const { return m_sortOrder; }

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order) override;

    // Captions and initial widths (pixels) of the columns, Verdict included.
    static QString ColumnCaption(int column);
    static int ColumnWidth(int column);

signals:
    // A shown row should be scrolled into view.
    void RowShowRequested(int row);
    // The display order went back to record order.
    void RecordOrderRestored();

private:
    struct Outcome
    {
        ByteArena::Ref address;
        qint32 code = 0;
        quint32 word = 0;    // into m_words
        quint32 message = 0; // into m_messages
        QRgb colour = 0;
        quint8 icon = 0;
        quint8 flags = 0;
        Verdict verdict = Verdict::Unknown;
        Reason reason = Reason::TemporaryFailure;
    };
    enum : quint8
    {
        HasCode = 1,
        HasColour = 2,
        HasVerdict = 4,
    };

    bool Valid(qsizetype record) const { return record >= 0 && record < RecordCount(); }
    QByteArrayView AddressView(qsizetype record) const;
    void RowChanged(qsizetype record, int column);
    qsizetype RowOfRecord(qsizetype record) const;
    QString DisplayText(qsizetype record, int column) const;

    // Ordering (reportorder.cpp). Sorting works on keys made once per record
    // rather than on texts compared again and again, and records added to a
    // sorted grid are merged into the existing order instead of sorting
    // everything anew, so a million rows never hold the window for long.
    void BuildOrder();
    // Puts the records shown since the last rebuild into the sorted order.
    void MergeNewRecords();
    // Sorts the record indexes of [first, last) by the sort column; equal
    // keys keep their incoming order.
    void SortRecords(std::uint32_t* first, std::uint32_t* last) const;
    void RebuildRowOf();

    ByteArena m_bytes;                 // every address, back to back
    ChunkedVector<Outcome> m_outcomes; // one slot per record
    TextTable m_words;
    TextTable m_messages;

    qsizetype m_shown = 0;              // rows the view knows about
    std::vector<std::uint32_t> m_order; // display row -> record while sorted
    std::vector<std::uint32_t> m_rowOf; // record -> display row while sorted
    int m_sortColumn = -1;
    bool m_verdictsShown = false;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace corvanta
