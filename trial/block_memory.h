// Large blocks of memory that never move, for the per-plot tables of a
// trial. On Linux they are offered to the kernel as huge pages: a million
// plots then cost a few hundred page faults instead of tens of thousands,
// which on a virtual machine is a tenth of the batch's time.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace quarven {

struct FreeBlock {
    void operator()(void* block) const;
};
using MemoryBlock = std::unique_ptr<void, FreeBlock>;

inline constexpr std::size_t kMemoryBlockBytes = std::size_t{2} << 20;

// At least `bytes`; past 1 MiB, rounded up to whole 2 MiB and aligned to
// them. Null when memory runs out.
[[nodiscard]] MemoryBlock AllocateBlock(std::size_t bytes);

// Values by number in blocks that never move: a million of them grow
// without copies, in a few huge pages rather than a vector's ever larger
// reallocations, each first touched a 4 KiB page at a time.
template <typename T> class BlockArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    // False, and nothing added, when memory runs out.
    [[nodiscard]] bool tryPushBack(const T& value)
    {
        if (m_size == 0 || (m_size >= kFirst && (m_size - kFirst) % kBlock == 0)) {
            MemoryBlock block = AllocateBlock((m_size == 0 ? kFirst : kBlock) * sizeof(T));
            if (!block)
                return false;
            try {
                m_blocks.push_back(std::move(block));
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        new (place(m_size)) T(value);
        ++m_size;
        return true;
    }
    [[nodiscard]] T& operator[](std::size_t number) { return *place(number); }
    [[nodiscard]] const T& operator[](std::size_t number) const { return *place(number); }
    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] bool empty() const { return m_size == 0; }

private:
    // A small first block for the many small trials, then blocks of 2 MiB.
    static constexpr std::size_t kFirst = 1024;
    static constexpr std::size_t kBlock = kMemoryBlockBytes / sizeof(T);

    [[nodiscard]] T* place(std::size_t number) const
    {
        if (number < kFirst)
            return static_cast<T*>(m_blocks.front().get()) + number;
        number -= kFirst;
        return static_cast<T*>(m_blocks[1 + number / kBlock].get()) + number % kBlock;
    }

    std::vector<MemoryBlock> m_blocks;
    std::size_t m_size = 0;
};

} // namespace quarven
