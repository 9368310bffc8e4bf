// Plot names to dense numbers 0, 1, 2… in the order the plots first appear,
// compact enough for a million plots: the names lie end to end in blocks and
// nothing is moved as they grow.
//
// Field books are kept in order. A book sorted by plot names each plot on
// consecutive rows; one sorted by date names the plots in the same order on
// every date. So the plot last found, then the one after it, are tried
// first. And while new plots come in increasing order (shorter names first,
// which puts 99 before 100), a name past the last is new without a look-up,
// and an earlier one is found by halving; only plots that break the order go
// into a hash table, whose scattered reads would otherwise cost a cache miss
// for every new plot.
#pragma once

#include "block_memory.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace quarven {

// Plot names and dates are short: compared eight bytes at a time in line,
// rather than through a call to memcmp, and the last few bytes as one or two
// overlapping words rather than one by one ("01/07" is two words of four).
[[nodiscard]] inline bool SameText(std::string_view a, std::string_view b)
{
    const std::size_t size = a.size();
    if (size != b.size())
        return false;
    const char* const x = a.data();
    const char* const y = b.data();
    const auto differ = [x, y](std::size_t at, auto word) {
        decltype(word) u = 0;
        decltype(word) v = 0;
        std::memcpy(&u, x + at, sizeof u);
        std::memcpy(&v, y + at, sizeof v);
        return u != v;
    };
    if (size >= 8) {
        std::size_t i = 0;
        for (; i + 8 <= size; i += 8)
            if (differ(i, std::uint64_t{}))
                return false;
        return i == size || !differ(size - 8, std::uint64_t{});
    }
    if (size >= 4)
        return !differ(0, std::uint32_t{}) && !differ(size - 4, std::uint32_t{});
    for (std::size_t i = 0; i < size; ++i)
        if (x[i] != y[i])
            return false;
    return true;
}

// Why a text could not be kept: two different failures, told apart.
enum class StoreFailure : std::uint8_t {
    None,
    Full,     // 4 GiB held: handles would no longer fit
    NoMemory, // the next block could not be had
};

// Texts kept for good, each found again by a 32-bit handle.
class TextStore {
public:
    struct Added {
        std::uint32_t handle = 0; // only when nothing failed
        StoreFailure failure = StoreFailure::None;
    };
    [[nodiscard]] Added add(std::string_view text);
    [[nodiscard]] std::string_view at(std::uint32_t handle) const
    {
        const char* place = static_cast<const char*>(m_blocks[handle >> kOffsetBits].get()) +
                            (handle & ((1U << kOffsetBits) - 1));
        std::uint32_t length = 0;
        std::memcpy(&length, place, sizeof length);
        return std::string_view(place + sizeof length, length);
    }

private:
    static constexpr unsigned kOffsetBits = 21; // blocks of 2 MiB
    std::vector<MemoryBlock> m_blocks;
    std::size_t m_used = 0; // in the last block
    std::size_t m_capacity = 0;
};

class PlotIndex {
public:
    // Eight bytes, so that it comes back in a register: the look-up is made
    // for every row.
    struct Found {
        std::uint32_t number = 0;
        bool added = false;
        StoreFailure failure = StoreFailure::None; // when set, no number was given
    };
    // The plot's number, numbering it next when it is new. The plot of the
    // row before and the one after it are tried here, in line: most rows
    // name one of them.
    [[nodiscard]] Found find(std::string_view name)
    {
        if (!m_names.empty() && SameText(m_lastName, name))
            return Found{m_last, false, StoreFailure::None};
        if (m_last + 1 < m_names.size() && SameText(m_nextName, name)) {
            ++m_last;
            m_lastName = m_nextName;
            m_nextName = nameAfter(m_last);
            return Found{m_last, false, StoreFailure::None};
        }
        return findElsewhere(name);
    }
    [[nodiscard]] std::string_view name(std::uint32_t number) const;
    [[nodiscard]] std::size_t size() const { return m_names.size(); }

private:
    struct Slot {
        std::uint32_t numberPlusOne = 0; // 0: empty
        std::uint32_t hash = 0;
    };
    [[nodiscard]] Found findElsewhere(std::string_view name);
    // The name of the plot after `number`, or nothing when there is none yet.
    [[nodiscard]] std::string_view nameAfter(std::uint32_t number) const
    {
        return number + 1 < m_names.size() ? m_text.at(m_names[number + 1]) : std::string_view();
    }
    [[nodiscard]] bool holds(std::uint32_t number, std::string_view name) const;
    [[nodiscard]] std::optional<std::uint32_t> inOrderedRun(std::string_view name) const;
    [[nodiscard]] Found add(std::string_view name);
    [[nodiscard]] Found use(std::uint32_t number);
    void grow();

    TextStore m_text;
    BlockArray<std::uint32_t> m_names; // handles into m_text, by number
    std::vector<Slot> m_slots;
    std::uint32_t m_last = 0;
    std::string_view m_lastName; // of m_last, in m_text
    std::string_view m_nextName; // of m_last + 1 when there is one
    std::uint32_t m_ordered = 0; // plots 0..m_ordered-1 came in increasing order
    bool m_orderBroken = false;
};

} // namespace quarven
