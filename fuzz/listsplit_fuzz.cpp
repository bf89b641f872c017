// The list loader's line splitter, fed any bytes in blocks of any sizes.
// Besides not crashing: the non-empty lines are the same however the blocks
// were cut, and the reported offsets only grow and end at the stream's end.
//
// Input: one byte choosing the block sizes, then the file's bytes.

#include "fuzzcheck.h"
#include "linesplitter.h"

#include <QList>
#include <cstddef>
#include <cstdint>

using namespace corvanta;

namespace {

QList<QByteArray> split(QByteArrayView bytes, std::uint8_t seed)
{
    LineSplitter splitter;
    QList<QByteArray> lines;
    qint64 last = 0;
    const auto sink = [&](QByteArrayView line, qint64 consumed) {
        FUZZ_CHECK(consumed >= last && consumed <= bytes.size());
        FUZZ_CHECK(!line.contains('\r') && !line.contains('\n'));
        last = consumed;
        if (!line.isEmpty())
            lines.append(line.toByteArray());
    };
    // Block sizes cycle through a pattern the seed picks; 0 means "all".
    std::uint32_t state = seed;
    for (qsizetype at = 0; at < bytes.size();) {
        state = state * 1103515245u + 12345u;
        const qsizetype step = seed == 0 ? bytes.size() : qsizetype((state >> 16) % 9) + 1;
        const qsizetype n = qMin(step, bytes.size() - at);
        splitter.feed(bytes.sliced(at, n), sink);
        at += n;
    }
    splitter.finish(sink);
    FUZZ_CHECK(last == bytes.size());
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QList<QByteArray> whole = split(bytes, 0);
    FUZZ_CHECK(split(bytes, data[0]) == whole);
    // Every byte that is not a line end lands in some line.
    qsizetype kept = 0;
    for (const QByteArray& line : whole)
        kept += line.size();
    FUZZ_CHECK(kept == bytes.size() - bytes.count('\r') - bytes.count('\n'));
    return 0;
}
