#include "block_memory.h"

#include <cstdlib>
#include <new>
#include <system_error>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quarven {

void FreeBlock::operator()(void* block) const
{
    std::free(block);
}

MemoryBlock AllocateBlock(std::size_t bytes, BlockSupply* supply)
{
    // Small tables, such as a short trial's, are not worth a huge page.
    if (bytes <= kMemoryBlockBytes / 2)
        return MemoryBlock(std::malloc(bytes == 0 ? 1 : bytes));
    bytes = (bytes + kMemoryBlockBytes - 1) / kMemoryBlockBytes * kMemoryBlockBytes;
    if (supply && bytes == kMemoryBlockBytes)
        return supply->take();
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

BlockSupply::~BlockSupply()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_one();
    m_thread.join();
}

MemoryBlock BlockSupply::take()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_started) {
            m_started = true;
            try {
                m_thread = std::thread([this] { run(); });
            } catch (const std::system_error&) {
                // Every block is then made where it is needed.
            } catch (const std::bad_alloc&) {
            }
        } else if (!m_ready.empty()) {
            MemoryBlock block = std::move(m_ready.back());
            m_ready.pop_back();
            lock.unlock();
            m_changed.notify_one();
            return block;
        }
    }
    return AllocateBlock(kMemoryBlockBytes);
}

void BlockSupply::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || m_ready.size() < kAhead; });
        if (m_stopping)
            return;
        lock.unlock();
        MemoryBlock block = AllocateBlock(kMemoryBlockBytes);
        if (!block)
            return; // out of memory: the filling thread finds out for itself
        // One write a page makes the kernel give the block its memory here.
        auto* const bytes = static_cast<volatile unsigned char*>(block.get());
        for (std::size_t at = 0; at < kMemoryBlockBytes; at += 4096)
            bytes[at] = 0;
        lock.lock();
        try {
            m_ready.push_back(std::move(block));
        } catch (const std::bad_alloc&) {
            return; // as above
        }
    }
}

} // namespace quarven
