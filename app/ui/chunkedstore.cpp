#include "chunkedstore.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace corvanta {

ByteArena::Ref ByteArena::Append(QByteArrayView bytes)
{
    // A list line longer than 4 GiB cannot be an address; keep what fits a Ref.
    const std::size_t length =
        std::min<std::size_t>(std::size_t(bytes.size()), std::numeric_limits<std::uint32_t>::max());
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < length) {
        Chunk chunk;
        chunk.capacity = std::max(kChunk, length);
        chunk.data = std::make_unique_for_overwrite<char[]>(chunk.capacity);
        m_chunks.push_back(std::move(chunk));
    }
    Chunk& chunk = m_chunks.back();
    Ref ref{std::uint32_t(m_chunks.size() - 1), std::uint32_t(chunk.used), std::uint32_t(length)};
    if (length != 0)
        std::memcpy(chunk.data.get() + chunk.used, bytes.data(), length);
    chunk.used += length;
    return ref;
}

QByteArrayView ByteArena::View(const Ref& ref) const
{
    if (ref.length == 0)
        return {};
    return QByteArrayView(m_chunks[ref.chunk].data.get() + ref.offset, qsizetype(ref.length));
}

void ByteArena::Clear()
{
    std::vector<Chunk>().swap(m_chunks);
}

} // namespace corvanta
