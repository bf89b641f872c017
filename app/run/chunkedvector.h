#pragma once

#include <cstddef>
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

} // namespace corvanta
