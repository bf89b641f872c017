// The display order of a sorted report.

#include "reportmodel.h"

#include <algorithm>
#include <numeric>

namespace corvanta {

namespace {

// One element of a string as an unsigned number: a byte of an address, a
// UTF-16 code unit of a text.
quint64 UnitAt(QByteArrayView bytes, qsizetype i)
{
    return quint8(bytes[i]);
}
quint64 UnitAt(QStringView text, qsizetype i)
{
    return text[i].unicode();
}

// Sixteen bytes' worth of elements from element `depth` on, packed first
// element most significant (zeros past the end): two keys compare as those
// elements themselves do.
struct Prefix
{
    quint64 high = 0;
    quint64 low = 0;

    Prefix() = default;
    template <typename View> Prefix(View string, qsizetype depth)
    {
        constexpr int bits = 8 * int(sizeof(string[0]));
        constexpr qsizetype perWord = 64 / bits;
        for (qsizetype i = depth; i < depth + 2 * perWord; ++i) {
            quint64& word = i < depth + perWord ? high : low;
            word = (word << bits) | (i < string.size() ? UnitAt(string, i) : 0u);
        }
    }
    bool operator==(const Prefix&) const = default;
    bool operator<(const Prefix& other) const
    {
        return high != other.high ? high < other.high : low < other.low;
    }
};

struct SortKey
{
    Prefix prefix;
    std::uint32_t position; // where the id came in
    std::uint32_t id;
};

// Sorts keys whose strings agree on their first `depth` elements: by the
// next sixteen bytes' worth, then each run that still agrees by the next.
// Only whole numbers are compared, and only as deep as the strings differ.
template <typename StringOf>
void SortKeys(SortKey* first, SortKey* last, qsizetype depth, bool descending,
              const StringOf& stringOf)
{
    constexpr qsizetype step = 16 / qsizetype(sizeof(stringOf(0)[0]));
    // Keys arrive in the order they came in. Texts often share long
    // beginnings ("550 5.1.1 <"): where all of these elements agree, there is
    // nothing to sort at this depth.
    const bool allEqual = std::all_of(
        first, last, [first](const SortKey& key) { return key.prefix == first->prefix; });
    if (!allEqual) {
        std::sort(first, last, [descending](const SortKey& a, const SortKey& b) {
            if (!(a.prefix == b.prefix))
                return descending ? b.prefix < a.prefix : a.prefix < b.prefix;
            return a.position < b.position;
        });
    }
    for (SortKey* run = first; run != last;) {
        SortKey* end = run + 1;
        while (end != last && end->prefix == run->prefix)
            ++end;
        if (end - run > 1) {
            const qsizetype next = depth + step;
            const bool longer = std::any_of(
                run, end, [&](const SortKey& key) { return stringOf(key.id).size() > next; });
            if (longer) {
                for (SortKey* key = run; key != end; ++key)
                    key->prefix = Prefix(stringOf(key->id), next);
                SortKeys(run, end, next, descending, stringOf);
            } else {
                // Equal but for trailing zeros: the shorter string first.
                std::sort(run, end, [&](const SortKey& a, const SortKey& b) {
                    const qsizetype la = stringOf(a.id).size();
                    const qsizetype lb = stringOf(b.id).size();
                    if (la != lb)
                        return descending ? la > lb : la < lb;
                    return a.position < b.position;
                });
            }
        }
        run = end;
    }
}

// Sorts ids by the strings `stringOf(id)` gives, element by element as
// unsigned numbers; equal strings keep the order the ids came in.
template <typename StringOf>
void SortStrings(std::uint32_t* first, std::uint32_t* last, bool descending, StringOf stringOf)
{
    std::vector<SortKey> keys;
    keys.reserve(std::size_t(last - first));
    for (const std::uint32_t* id = first; id != last; ++id)
        keys.push_back({Prefix(stringOf(*id), 0), std::uint32_t(id - first), *id});
    SortKeys(keys.data(), keys.data() + keys.size(), 0, descending, stringOf);
    for (std::size_t i = 0; i < keys.size(); ++i)
        first[i] = keys[i].id;
}

// Stable counting sort of [first, last) by a whole-number rank below `ranks`:
// linear in the number of records, whatever the texts.
template <typename RankOf>
void CountingSort(std::uint32_t* first, std::uint32_t* last, std::size_t ranks, RankOf rankOf)
{
    std::vector<std::size_t> start(ranks + 1, 0);
    for (const std::uint32_t* r = first; r != last; ++r)
        ++start[rankOf(*r) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::uint32_t> sorted(std::size_t(last - first));
    for (const std::uint32_t* r = first; r != last; ++r)
        sorted[start[rankOf(*r)]++] = *r;
    std::copy(sorted.begin(), sorted.end(), first);
}

// The position of each text of the table in ascending text order.
std::vector<std::uint32_t> Ranks(const TextTable& texts)
{
    std::vector<std::uint32_t> byText(std::size_t(texts.Size()));
    std::iota(byText.begin(), byText.end(), 0u);
    // UTF-16 code units, as QString compares them.
    SortStrings(byText.data(), byText.data() + byText.size(), false,
                [&texts](std::uint32_t id) { return QStringView(texts.At(id)); });
    std::vector<std::uint32_t> rank(byText.size());
    for (std::size_t position = 0; position < byText.size(); ++position)
        rank[byText[position]] = std::uint32_t(position);
    return rank;
}

} // namespace

void ReportModel::SortRecords(std::uint32_t* first, std::uint32_t* last) const
{
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    switch (m_sortColumn) {
    case ColAddress:
        SortStrings(first, last, descending,
                    [this](std::uint32_t record) { return AddressView(record); });
        return;
    case ColResult:
    case ColMessage: {
        const TextTable& texts = m_sortColumn == ColResult ? m_words : m_messages;
        const std::vector<std::uint32_t> rank = Ranks(texts);
        const std::size_t top = rank.size() - 1;
        CountingSort(first, last, rank.size(), [&](std::uint32_t record) {
            const Outcome& outcome = m_outcomes[record];
            const std::uint32_t r =
                rank[m_sortColumn == ColResult ? outcome.word : outcome.message];
            return descending ? top - r : r;
        });
        return;
    }
    case ColVerdict: {
        // Few pairs of verdict and reason occur: each one's text is made once.
        TextTable texts;
        QHash<quint32, quint32> textOf;
        const auto keyOf = [this](std::uint32_t record) {
            const Outcome& outcome = m_outcomes[record];
            if (!(outcome.flags & HasVerdict))
                return 0u;
            return (quint32(outcome.verdict) << 16 | quint32(outcome.reason)) + 1;
        };
        for (const std::uint32_t* r = first; r != last; ++r) {
            const quint32 key = keyOf(*r);
            if (!textOf.contains(key))
                textOf.insert(key, texts.Intern(VerdictText(*r)));
        }
        const std::vector<std::uint32_t> rank = Ranks(texts);
        const std::size_t top = rank.size() - 1;
        CountingSort(first, last, rank.size(), [&](std::uint32_t record) {
            const std::uint32_t r = rank[textOf.value(keyOf(record))];
            return descending ? top - r : r;
        });
        return;
    }
    default:
        // By number: the incoming order is record order already.
        if (descending)
            std::reverse(first, last);
        return;
    }
}

void ReportModel::RebuildRowOf()
{
    m_rowOf.resize(m_order.size());
    for (std::size_t row = 0; row < m_order.size(); ++row)
        m_rowOf[m_order[row]] = std::uint32_t(row);
}

void ReportModel::BuildOrder()
{
    m_order.resize(std::size_t(RecordCount()));
    std::iota(m_order.begin(), m_order.end(), 0u);
    SortRecords(m_order.data(), m_order.data() + m_order.size());
    RebuildRowOf();
}

void ReportModel::MergeNewRecords()
{
    // A counting sort is linear already: for those columns, sorting
    // everything costs no more than a merge would.
    if (m_sortColumn != ColAddress) {
        BuildOrder();
        return;
    }
    const std::size_t old = m_order.size();
    m_order.resize(std::size_t(RecordCount()));
    std::iota(m_order.begin() + std::ptrdiff_t(old), m_order.end(), std::uint32_t(old));
    SortRecords(m_order.data() + old, m_order.data() + m_order.size());
    // Stable: of two equal addresses the older record, from the first run,
    // stays first, as a full sort would have it.
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    std::inplace_merge(m_order.begin(), m_order.begin() + std::ptrdiff_t(old), m_order.end(),
                       [this, descending](std::uint32_t a, std::uint32_t b) {
                           const int order = AddressView(a).compare(AddressView(b));
                           return descending ? order > 0 : order < 0;
                       });
    RebuildRowOf();
}

} // namespace corvanta
