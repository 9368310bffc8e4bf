#include "block_memory.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quarven {

void FreeBlock::operator()(void* block) const
{
    std::free(block);
}

MemoryBlock AllocateBlock(std::size_t bytes)
{
    // Small tables, such as a short trial's, are not worth a huge page.
    if (bytes <= kMemoryBlockBytes / 2)
        return MemoryBlock(std::malloc(bytes == 0 ? 1 : bytes));
    bytes = (bytes + kMemoryBlockBytes - 1) / kMemoryBlockBytes * kMemoryBlockBytes;
#if defined(__linux__)
    void* block = nullptr;
    if (posix_memalign(&block, kMemoryBlockBytes, bytes) != 0)
        return MemoryBlock();
    // Only a hint: without it, or refused, the block works the same.
    (void)madvise(block, bytes, MADV_HUGEPAGE);
    return MemoryBlock(block);
#else
    return MemoryBlock(std::malloc(bytes));
#endif
}

} // namespace quarven
