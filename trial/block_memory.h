// Large blocks of memory that never move, for the per-plot tables of a
// trial. On Linux they are offered to the kernel as huge pages: a million
// plots then cost a few hundred page faults instead of tens of thousands,
// which on a virtual machine is a tenth of the batch's time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <type_traits>
#include <vector>

namespace quarven {

struct FreeBlock {
    void operator()(void* block) const;
};
using MemoryBlock = std::unique_ptr<void, FreeBlock>;

inline constexpr std::size_t kMemoryBlockBytes = std::size_t{2} << 20;

class BlockSupply;

// At least `bytes`; past 1 MiB, rounded up to whole 2 MiB and aligned to
// them. Null when memory runs out. Blocks of 2 MiB come from the supply when
// one is given.
[[nodiscard]] MemoryBlock AllocateBlock(std::size_t bytes, BlockSupply* supply = nullptr);

// Blocks of 2 MiB made ready ahead of need on a helper thread. On a virtual
// machine that has handed its free memory back to the host, the first touch
// of a fresh huge page waits for the host: about 3 ms where it takes 0.15 ms
// otherwise, 100 ms for the tables of a million plots. The helper takes that
// wait while the rows are read; a block needed before one is ready is made
// where it is needed, as without the supply. The helper starts with the
// first block asked for, so small trials never start it.
class BlockSupply {
public:
    BlockSupply() = default;
    ~BlockSupply();
    BlockSupply(const BlockSupply&) = delete;
    BlockSupply& operator=(const BlockSupply&) = delete;

    [[nodiscard]] MemoryBlock take();

private:
    // One is enough for a book sorted by plot, which asks for a block every
    // few hundred thousand rows; one sorted by date asks faster than any
    // number could be kept ready, and the two threads then make blocks side
    // by side. A block kept ready but never asked for adds to the peak memory.
    static constexpr std::size_t kAhead = 1;

    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<MemoryBlock> m_ready;
    bool m_started = false;
    bool m_stopping = false;
    std::thread m_thread;
};

// Values by number in blocks that never move: a million of them grow
// without copies, in a few huge pages rather than a vector's ever larger
// reallocations, each first touched a 4 KiB page at a time.
template <typename T> class BlockArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    explicit BlockArray(BlockSupply* supply = nullptr) : m_supply(supply) {}

    // False, and nothing added, when memory runs out.
    [[nodiscard]] bool tryPushBack(const T& value)
    {
        if (m_size == 0 || (m_size >= kFirst && (m_size - kFirst) % kBlock == 0)) {
            MemoryBlock block =
                AllocateBlock((m_size == 0 ? kFirst : kBlock) * sizeof(T), m_supply);
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

    BlockSupply* m_supply;
    std::vector<MemoryBlock> m_blocks;
    std::size_t m_size = 0;
};

} // namespace quarven
