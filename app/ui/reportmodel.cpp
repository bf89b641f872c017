#include "reportmodel.h"

#include "commandicons.h"

#include <QBrush>
#include <algorithm>
#include <limits>

namespace corvanta {

namespace {
const QColor kNumberColour(0, 0, 153);
const QColor kMessageColour(0, 0, 102);
const QColor kShadedRow(240, 253, 255);

QColor verdictColour(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Deliverable:
        return QColor(0, 102, 0);
    case Verdict::Undeliverable:
        return QColor(255, 0, 0);
    case Verdict::Risky:
        return QColor(191, 96, 0);
    case Verdict::Unknown:
        break;
    }
    return QColor(96, 96, 96);
}

// A model cannot show more rows than an int counts.
constexpr qsizetype kMaxRecords = std::numeric_limits<int>::max() - 1;
} // namespace

ReportModel::ReportModel(QObject* parent) : QAbstractTableModel(parent) {}

QString ReportModel::ColumnCaption(int column)
{
    switch (column) {
    case ColNumber:
        return QStringLiteral("No");
    case ColAddress:
        return QStringLiteral("Email");
    case ColResult:
        return QStringLiteral("Result");
    case ColMessage:
        return QStringLiteral("Message");
    case ColVerdict:
        return QStringLiteral("Verdict");
    default:
        return {};
    }
}

int ReportModel::ColumnWidth(int column)
{
    static constexpr int widths[ColVerdict + 1] = {25, 80, 45, 130, 150};
    return column >= 0 && column <= ColVerdict ? widths[column] : 0;
}

qsizetype ReportModel::RecordCount() const
{
    return qsizetype(m_outcomes.size());
}

qsizetype ReportModel::AddRecord(QByteArrayView address)
{
    if (RecordCount() >= kMaxRecords)
        return -1;
    m_outcomes.emplace_back().address = m_bytes.Append(address);
    return RecordCount() - 1;
}

void ReportModel::RemoveAllRecords()
{
    beginResetModel();
    // Give the memory back: the next list may be much smaller.
    m_bytes.Clear();
    m_outcomes.clear();
    m_words.Clear();
    m_messages.Clear();
    std::vector<std::uint32_t>().swap(m_order);
    std::vector<std::uint32_t>().swap(m_rowOf);
    m_shown = 0;
    m_sortColumn = -1;
    endResetModel();
}

void ReportModel::Populate()
{
    const qsizetype count = RecordCount();
    if (IsSorted()) {
        // The rows shown stay in their order; only the new records are
        // sorted and merged in.
        if (count == m_shown)
            return;
        beginResetModel();
        MergeNewRecords();
        m_shown = count;
        endResetModel();
        return;
    }
    if (count > m_shown) {
        beginInsertRows({}, int(m_shown), int(count - 1));
        m_shown = count;
        endInsertRows();
    }
}

QByteArrayView ReportModel::AddressView(qsizetype record) const
{
    return m_bytes.View(m_outcomes[record].address);
}

QByteArray ReportModel::address(qsizetype row) const
{
    return Valid(row) ? AddressView(row).toByteArray() : QByteArray();
}

std::optional<qint32> ReportModel::storedCode(qsizetype row) const
{
    if (!HasOutcomeCode(row))
        return std::nullopt;
    return m_outcomes[row].code;
}

void ReportModel::setResult(qsizetype row, const QString& word, quint32 colour, int icon)
{
    // Colours arrive as 0x00BBGGRR.
    SetResult(row, word,
              QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)),
              icon);
}

qint32 ReportModel::OutcomeCode(qsizetype record) const
{
    return Valid(record) ? m_outcomes[record].code : 0;
}

bool ReportModel::HasOutcomeCode(qsizetype record) const
{
    return Valid(record) && (m_outcomes[record].flags & HasCode);
}

void ReportModel::setStoredCode(qsizetype record, qint32 code)
{
    if (!Valid(record))
        return;
    m_outcomes[record].code = code;
    m_outcomes[record].flags |= HasCode;
    // A verdict judged the previous outcome; the run writes the new one.
    if (m_outcomes[record].flags & HasVerdict) {
        m_outcomes[record].flags &= quint8(~HasVerdict);
        if (m_verdictsShown)
            RowChanged(record, ColVerdict);
    }
}

void ReportModel::setVerdict(qsizetype record, Judgement judgement)
{
    if (!Valid(record))
        return;
    Outcome& slot = m_outcomes[record];
    slot.verdict = judgement.verdict;
    slot.reason = judgement.reason;
    slot.flags |= HasVerdict;
    if (m_verdictsShown)
        RowChanged(record, ColVerdict);
}

std::optional<Judgement> ReportModel::verdict(qsizetype record) const
{
    if (!Valid(record) || !(m_outcomes[record].flags & HasVerdict))
        return std::nullopt;
    return Judgement{m_outcomes[record].verdict, m_outcomes[record].reason};
}

QString ReportModel::VerdictText(qsizetype record) const
{
    const std::optional<Judgement> judged = verdict(record);
    if (!judged)
        return {};
    return QLatin1String(verdictKeyword(judged->verdict)) + QLatin1String(" (") +
           QLatin1String(reasonKeyword(judged->reason)) + QLatin1Char(')');
}

void ReportModel::SetVerdictsShown(bool shown)
{
    if (shown == m_verdictsShown)
        return;
    if (shown) {
        beginInsertColumns({}, ColVerdict, ColVerdict);
        m_verdictsShown = true;
        endInsertColumns();
    } else {
        beginRemoveColumns({}, ColVerdict, ColVerdict);
        m_verdictsShown = false;
        endRemoveColumns();
    }
}

QString ReportModel::ResultText(qsizetype record) const
{
    return Valid(record) ? m_words.At(m_outcomes[record].word) : QString();
}

QColor ReportModel::ResultColour(qsizetype record) const
{
    if (!Valid(record) || !(m_outcomes[record].flags & HasColour))
        return {};
    return QColor::fromRgb(m_outcomes[record].colour);
}

int ReportModel::ResultIcon(qsizetype record) const
{
    return Valid(record) ? m_outcomes[record].icon : 0;
}

void ReportModel::SetResult(qsizetype record, const QString& text, const QColor& colour, int icon)
{
    if (!Valid(record))
        return;
    Outcome& slot = m_outcomes[record];
    slot.word = m_words.Intern(text);
    if (colour.isValid()) {
        slot.colour = colour.rgb();
        slot.flags |= HasColour;
    } else {
        slot.flags &= quint8(~HasColour);
    }
    slot.icon = quint8(std::clamp(icon, 0, 255));
    RowChanged(record, ColResult);
}

QString ReportModel::Message(qsizetype record) const
{
    return Valid(record) ? m_messages.At(m_outcomes[record].message) : QString();
}

void ReportModel::setMessage(qsizetype record, const QString& message)
{
    if (!Valid(record))
        return;
    // A run's messages repeat a great deal ("250 2.1.5 Ok"); each distinct
    // text is kept once.
    m_outcomes[record].message = m_messages.Intern(message);
    RowChanged(record, ColMessage);
}

qsizetype ReportModel::RowOfRecord(qsizetype record) const
{
    if (IsSorted())
        return record < qsizetype(m_rowOf.size()) ? qsizetype(m_rowOf[record]) : -1;
    return record < m_shown ? record : -1;
}

qsizetype ReportModel::RecordAtRow(qsizetype row) const
{
    if (row < 0 || row >= m_shown)
        return -1;
    return IsSorted() ? qsizetype(m_order[row]) : row;
}

void ReportModel::RowChanged(qsizetype record, int column)
{
    const qsizetype row = RowOfRecord(record);
    if (row < 0)
        return;
    const QModelIndex cell = index(int(row), column);
    emit dataChanged(cell, cell);
}

void ReportModel::bringIntoView(qsizetype record)
{
    const qsizetype row = RowOfRecord(record);
    if (row >= 0)
        emit RowShowRequested(int(row));
}

QString ReportModel::DisplayText(qsizetype record, int column) const
{
    switch (column) {
    case ColNumber:
        return QString::number(record + 1);
    case ColAddress:
        return QString::fromLocal8Bit(AddressView(record));
    case ColResult:
        return m_words.At(m_outcomes[record].word);
    case ColMessage:
        return m_messages.At(m_outcomes[record].message);
    case ColVerdict:
        return VerdictText(record);
    default:
        return {};
    }
}

void ReportModel::sort(int column, Qt::SortOrder order)
{
    beginResetModel();
    if (column >= 0 && column < columnCount()) {
        m_sortColumn = column;
        m_sortOrder = order;
        BuildOrder();
    } else {
        m_sortColumn = -1;
        std::vector<std::uint32_t>().swap(m_order);
        std::vector<std::uint32_t>().swap(m_rowOf);
    }
    m_shown = RecordCount();
    endResetModel();
}

void ReportModel::Arrange(int column)
{
    sort(column, Qt::AscendingOrder);
}

void ReportModel::RestoreRecordOrder()
{
    if (!IsSorted())
        return;
    beginResetModel();
    m_sortColumn = -1;
    std::vector<std::uint32_t>().swap(m_order);
    std::vector<std::uint32_t>().swap(m_rowOf);
    // m_shown stays: rows that were shown stay shown, now in record order.
    endResetModel();
    emit RecordOrderRestored();
}

int ReportModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_shown);
}

int ReportModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_verdictsShown ? ColVerdict + 1 : ColumnCount;
}

QVariant ReportModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown)
        return {};
    const qsizetype record = RecordAtRow(index.row());
    const int column = index.column();

    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return DisplayText(record, column);
    case Qt::ForegroundRole:
        if (column == ColNumber)
            return QBrush(kNumberColour);
        if (column == ColMessage)
            return QBrush(kMessageColour);
        if (column == ColResult && (m_outcomes[record].flags & HasColour))
            return QBrush(QColor::fromRgb(m_outcomes[record].colour));
        if (column == ColVerdict && (m_outcomes[record].flags & HasVerdict))
            return QBrush(verdictColour(m_outcomes[record].verdict));
        return {};
    case Qt::BackgroundRole:
        // Decided per display row while drawing; nothing is stored.
        if (index.row() % 2 == 0)
            return QBrush(kShadedRow);
        return {};
    case Qt::DecorationRole:
        if (column == ColResult && m_outcomes[record].icon != 0)
            return ReportIcon(m_outcomes[record].icon);
        return {};
    case OutcomeCodeRole:
        if (column == ColAddress)
            return m_outcomes[record].code;
        return {};
    default:
        return {};
    }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return ColumnCaption(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ReportModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Read-only to the user: no Qt::ItemIsEditable.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace corvanta
