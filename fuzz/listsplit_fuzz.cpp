// The list loader's line splitter, fed any bytes in blocks of any sizes.
// Besides not crashing: the lines (empty ones too) and the line found too long
// are the same however the blocks were cut, and the reported offsets only
// grow and stay within the stream.
//
// Input: one byte choosing the block sizes, one the line limit, then the
// file's bytes.

#include "fuzzcheck.h"
#include "linesplitter.h"

#include <QList>
#include <cstddef>
#include <cstdint>

using namespace corvanta;

namespace {

struct Split
{
    QList<QByteArray> lines;
    qint64 tooLongLine = 0;
    bool operator==(const Split&) const = default;
};

Split split(QByteArrayView bytes, qint64 limit, std::uint8_t seed)
{
    LineSplitter splitter(limit);
    Split result;
    qint64 last = 0;
    const auto sink = [&](QByteArrayView line, qint64 consumed) {
        FUZZ_CHECK(consumed >= last && consumed <= bytes.size());
        FUZZ_CHECK(!line.contains('\r') && !line.contains('\n'));
        FUZZ_CHECK(line.size() <= limit);
        last = consumed;
        result.lines.append(line.toByteArray());
    };
    // Block sizes follow a pattern the seed picks; 0 means one block.
    std::uint32_t state = seed;
    for (qsizetype at = 0; at < bytes.size();) {
        state = state * 1103515245u + 12345u;
        const qsizetype step = seed == 0 ? bytes.size() : qsizetype((state >> 16) % 9) + 1;
        const qsizetype n = qMin(step, bytes.size() - at);
        if (!splitter.feed(bytes.sliced(at, n), sink)) {
            result.tooLongLine = splitter.tooLongLine();
            FUZZ_CHECK(result.tooLongLine == result.lines.size() + 1);
            return result;
        }
        at += n;
    }
    splitter.finish(sink);
    FUZZ_CHECK(last == bytes.size());
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const qint64 limit = qint64(data[1] % 64) + 1;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    const Split whole = split(bytes, limit, 0);
    FUZZ_CHECK(split(bytes, limit, data[0]) == whole);
    if (whole.tooLongLine == 0) {
        // Every byte that is not a line end lands in some line.
        qsizetype kept = 0;
        for (const QByteArray& line : whole.lines)
            kept += line.size();
        FUZZ_CHECK(kept == bytes.size() - bytes.count('\r') - bytes.count('\n'));
    }
    return 0;
}
