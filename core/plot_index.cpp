#include "plot_index.h"

#include <cstdint>
#include <cstring>

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

} // namespace

std::optional<std::uint32_t> TextStore::add(std::string_view text)
{
    const std::size_t need = sizeof(std::uint32_t) + text.size();
    const std::size_t blockSize = std::size_t{1} << kOffsetBits;
    // A text longer than a block gets one of its own, found at offset 0.
    if (m_blocks.empty() || m_used + need > m_capacity) {
        if (m_blocks.size() >= (std::size_t{1} << (32 - kOffsetBits)) ||
            text.size() > UINT32_MAX - sizeof(std::uint32_t))
            return std::nullopt;
        m_capacity = need > blockSize ? need : blockSize;
        m_blocks.push_back(std::make_unique<char[]>(m_capacity));
        m_used = 0;
    }
    char* place = m_blocks.back().get() + m_used;
    const auto length = static_cast<std::uint32_t>(text.size());
    std::memcpy(place, &length, sizeof length);
    if (!text.empty())
        std::memcpy(place + sizeof length, text.data(), text.size());
    const auto handle = static_cast<std::uint32_t>(((m_blocks.size() - 1) << kOffsetBits) | m_used);
    m_used += need;
    return handle;
}

std::string_view TextStore::at(std::uint32_t handle) const
{
    const char* place =
        m_blocks[handle >> kOffsetBits].get() + (handle & ((1U << kOffsetBits) - 1));
    std::uint32_t length = 0;
    std::memcpy(&length, place, sizeof length);
    return std::string_view(place + sizeof length, length);
}

bool PlotIndex::holds(std::uint32_t number, std::string_view name) const
{
    return number < m_names.size() && m_text.at(m_names[number]) == name;
}

std::string_view PlotIndex::name(std::uint32_t number) const
{
    return m_text.at(m_names[number]);
}

std::optional<PlotIndex::Found> PlotIndex::find(std::string_view name)
{
    if (holds(m_last, name))
        return Found{m_last, false};
    if (holds(m_last + 1, name))
        return Found{++m_last, false};

    if ((m_names.size() + 1) * 10 > m_slots.size() * 7)
        grow();
    const std::uint32_t hash = hashOf(name);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (slot.numberPlusOne == 0) {
            const std::optional<std::uint32_t> handle = m_text.add(name);
            if (!handle)
                return std::nullopt;
            const auto number = static_cast<std::uint32_t>(m_names.size());
            m_names.push_back(*handle);
            slot = Slot{number + 1, hash};
            m_last = number;
            return Found{number, true};
        }
        if (slot.hash == hash && holds(slot.numberPlusOne - 1, name)) {
            m_last = slot.numberPlusOne - 1;
            return Found{m_last, false};
        }
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
