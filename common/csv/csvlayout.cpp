#include "csvlayout.h"

#include <vector>

namespace corvanta {

namespace {

// Enough records to tell the address column from the others without reading
// a million of them twice.
constexpr int kSampleRecords = 1000;

} // namespace

std::optional<CsvLayout>
csvLayout(QByteArrayView data,
          const std::function<std::optional<qsizetype>(const QStringList&)>& ask)
{
    CsvReader reader(data);
    CsvReader::Record first;
    CsvLayout layout;
    if (!reader.next(first)) {
        // An empty file is an empty list.
        layout.hasHeader = false;
        return layout;
    }
    layout.header = data.sliced(first.begin, first.next - first.begin).toByteArray();
    layout.dataStart = first.next;

    const qsizetype named = emailColumnByName(first.fields);
    if (named >= 0) {
        layout.column = named;
        return layout;
    }

    // Count, per column, the sampled records whose value looks like an address.
    std::vector<int> hits(size_t(first.fields.size()), 0);
    int sampled = 0;
    CsvReader::Record record;
    while (sampled < kSampleRecords && reader.next(record)) {
        if (record.begin == record.end)
            continue;
        ++sampled;
        for (qsizetype i = 0; i < record.fields.size(); ++i) {
            if (size_t(i) >= hits.size())
                hits.resize(size_t(i) + 1, 0);
            if (looksLikeAddress(record.fields[i]))
                ++hits[size_t(i)];
        }
    }
    qsizetype best = -1;
    for (size_t i = 0; i < hits.size(); ++i)
        if (hits[i] * 2 > sampled && (best < 0 || hits[i] > hits[size_t(best)]))
            best = qsizetype(i);
    if (best >= 0) {
        layout.column = best;
        // A first record with an address where the addresses are is data:
        // the file has no header.
        if (best < first.fields.size() && looksLikeAddress(first.fields[best])) {
            layout.hasHeader = false;
            layout.header.clear();
            layout.dataStart = first.begin;
        }
        return layout;
    }

    QStringList names;
    for (const QByteArray& name : first.fields)
        names << QString::fromUtf8(name);
    const std::optional<qsizetype> picked = ask ? ask(names) : std::nullopt;
    if (!picked || *picked < 0 || *picked >= names.size())
        return std::nullopt;
    layout.column = *picked;
    return layout;
}

} // namespace corvanta
