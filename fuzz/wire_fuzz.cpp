// The broker's frame decoder, fed the bytes another process might send: a
// stream cut into frames at any point, and single frame bodies.
//
// Besides not crashing: whatever decodes must encode again (the reader hands
// out nothing the writer could not have sent), and encoding is stable under
// a second decode.

#include "fuzzcheck.h"
#include "wire.h"

#include <cstddef>
#include <cstdint>

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    if (const auto message = wire::decodeBody(bytes)) {
        const auto frame = wire::encode(*message);
        FUZZ_CHECK(frame.has_value());
        const auto again = wire::decodeBody(frame->mid(4));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(wire::encode(*again) == frame);
    }

    // The same bytes as a stream, handed over in pieces whose sizes the
    // first byte chooses.
    const qsizetype step = size > 0 ? qsizetype(data[0] % 17) + 1 : 1;
    wire::FrameReader reader;
    wire::Message message;
    for (qsizetype at = 0; at < bytes.size() && !reader.failed(); at += step) {
        reader.append(bytes.mid(at, step));
        while (reader.hasFrame()) {
            const auto result = reader.next(&message);
            FUZZ_CHECK(result != wire::FrameReader::Result::NeedMore);
            if (result == wire::FrameReader::Result::Failed)
                break;
        }
        FUZZ_CHECK(reader.buffered() <= bytes.size());
    }
    return 0;
}
