#pragma once

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvanta {

// An append-only array kept in fixed blocks. Growing never moves what is
// already stored, so appending a million elements touches each byte once
// instead of copying the whole array at every doubling.
template <typename T, std::size_t BlockSize = 16384> class ChunkedVector final
{
public:
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    T& operator[](std::size_t i) { return m_blocks[i / BlockSize][i % BlockSize]; }
    const T& operator[](std::size_t i) const { return m_blocks[i / BlockSize][i % BlockSize]; }

    T& emplace_back()
    {
        if (m_size == m_blocks.size() * BlockSize)
            m_blocks.push_back(std::make_unique<T[]>(BlockSize));
        return (*this)[m_size++];
    }

    // Grows to `count` default elements (never shrinks).
    void grow_to(std::size_t count)
    {
        while (m_size < count)
            emplace_back();
    }

    // Drops everything and gives the memory back.
    void clear()
    {
        std::vector<std::unique_ptr<T[]>>().swap(m_blocks);
        m_size = 0;
    }

private:
    std::vector<std::unique_ptr<T[]>> m_blocks;
    std::size_t m_size = 0;
};

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
