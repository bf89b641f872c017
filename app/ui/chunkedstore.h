#pragma once

#include "chunkedvector.h"

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvanta {

// Byte strings stored back to back in 1 MiB chunks; a string never straddles
// two chunks, and one longer than a chunk gets a chunk of its own.
class ByteArena final
{
public:
    struct Ref
    {
        std::uint32_t chunk = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };

    Ref Append(QByteArrayView bytes);
    QByteArrayView View(const Ref& ref) const;
    void Clear();

private:
    static constexpr std::size_t kChunk = 1 << 20;
    struct Chunk
    {
        std::unique_ptr<char[]> data;
        std::size_t capacity = 0;
        std::size_t used = 0;
    };
    std::vector<Chunk> m_chunks;
};

} // namespace corvanta
