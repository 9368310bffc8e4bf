// Large blocks of memory that never move, for the per-plot tables of a
// trial. On Linux they are offered to the kernel as huge pages: a million
// plots then cost a few hundred page faults instead of tens of thousands,
// which on a virtual machine is a tenth of the batch's time.
#pragma once

#include <cstddef>
#include <memory>

namespace quarven {

struct FreeBlock {
    void operator()(void* block) const;
};
using MemoryBlock = std::unique_ptr<void, FreeBlock>;

inline constexpr std::size_t kMemoryBlockBytes = std::size_t{2} << 20;

// At least `bytes`; past 1 MiB, rounded up to whole 2 MiB and aligned to
// them. Null when memory runs out.
[[nodiscard]] MemoryBlock AllocateBlock(std::size_t bytes);

} // namespace quarven
