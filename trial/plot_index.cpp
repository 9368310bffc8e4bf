#include "plot_index.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace quarven {
namespace {

// FNV-1a: plot names are short, and this is only reached for new plots and
// for rows out of the file's usual order.
std::uint32_t hashOf(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

// Shorter names first, then byte by byte: plot numbers without leading
// zeros come in this order as they come in numeric order.
bool before(std::string_view a, std::string_view b)
{
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

} // namespace

TextStore::Added TextStore::add(std::string_view text)
{
    const std::size_t need = sizeof(std::uint32_t) + text.size();
    const std::size_t blockSize = std::size_t{1} << kOffsetBits;
    // A text longer than a block gets one of its own, found at offset 0.
    if (m_blocks.empty() || m_used + need > m_capacity) {
        if (m_blocks.size() >= (std::size_t{1} << (32 - kOffsetBits)) ||
            text.size() > UINT32_MAX - sizeof(std::uint32_t))
            return Added{0, StoreFailure::Full};
        // The first block is small, for the many trials that are.
        const std::size_t size = std::max(need, m_blocks.empty() ? blockSize / 32 : blockSize);
        MemoryBlock block = AllocateBlock(size);
        if (!block)
            return Added{0, StoreFailure::NoMemory};
        try {
            m_blocks.push_back(std::move(block));
        } catch (const std::bad_alloc&) {
            return Added{0, StoreFailure::NoMemory};
        }
        m_capacity = size;
        m_used = 0;
    }
    char* place = static_cast<char*>(m_blocks.back().get()) + m_used;
    const auto length = static_cast<std::uint32_t>(text.size());
    std::memcpy(place, &length, sizeof length);
    if (!text.empty())
        std::memcpy(place + sizeof length, text.data(), text.size());
    const auto handle = static_cast<std::uint32_t>(((m_blocks.size() - 1) << kOffsetBits) | m_used);
    m_used += need;
    return Added{handle, StoreFailure::None};
}

bool PlotIndex::holds(std::uint32_t number, std::string_view name) const
{
    return number < m_names.size() && SameText(m_text.at(m_names[number]), name);
}

std::string_view PlotIndex::name(std::uint32_t number) const
{
    return m_text.at(m_names[number]);
}

PlotIndex::Found PlotIndex::use(std::uint32_t number)
{
    m_last = number;
    m_lastName = m_text.at(m_names[number]);
    m_nextName = nameAfter(number);
    return Found{number, false, StoreFailure::None};
}

PlotIndex::Found PlotIndex::add(std::string_view name)
{
    const TextStore::Added stored = m_text.add(name);
    if (stored.failure != StoreFailure::None)
        return Found{0, false, stored.failure};
    const auto number = static_cast<std::uint32_t>(m_names.size());
    if (!m_names.tryPushBack(stored.handle))
        return Found{0, false, StoreFailure::NoMemory};
    m_last = number;
    m_lastName = m_text.at(stored.handle);
    m_nextName = std::string_view();
    return Found{number, true, StoreFailure::None};
}

std::optional<std::uint32_t> PlotIndex::inOrderedRun(std::string_view name) const
{
    std::uint32_t low = 0;
    std::uint32_t high = m_ordered;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (before(m_text.at(m_names[middle]), name))
            low = middle + 1;
        else
            high = middle;
    }
    if (low < m_ordered && SameText(m_text.at(m_names[low]), name))
        return low;
    return std::nullopt;
}

PlotIndex::Found PlotIndex::findElsewhere(std::string_view name)
{
    const bool pastOrderedRun = m_ordered == 0 || before(m_text.at(m_names[m_ordered - 1]), name);
    if (!m_orderBroken && pastOrderedRun) {
        ++m_ordered;
        return add(name);
    }
    if (!pastOrderedRun)
        if (const std::optional<std::uint32_t> number = inOrderedRun(name))
            return use(*number);

    if (!m_orderBroken) {
        m_orderBroken = true;
        grow();
    }
    if ((m_names.size() - m_ordered + 1) * 10 > m_slots.size() * 7)
        grow();
    const std::uint32_t hash = hashOf(name);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (slot.numberPlusOne == 0) {
            const Found found = add(name);
            if (found.failure == StoreFailure::None)
                slot = Slot{found.number + 1, hash};
            return found;
        }
        if (slot.hash == hash && holds(slot.numberPlusOne - 1, name))
            return use(slot.numberPlusOne - 1);
    }
}

void PlotIndex::grow()
{
    std::vector<Slot> old;
    old.swap(m_slots);
    m_slots.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.numberPlusOne == 0)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].numberPlusOne != 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

} // namespace quarven
