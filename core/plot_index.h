// Plot names to dense numbers 0, 1, 2… in the order the plots first appear,
// compact enough for a million plots: the names lie end to end in blocks,
// the table holds only numbers and hashes, and nothing is moved as it grows.
// A field book sorted by date names the plots in the same order on every
// date, so the plot after the one last found is tried before any hashing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace quarven {

// Texts kept for good, each found again by a 32-bit handle.
class TextStore {
public:
    // Nothing once 4 GiB are held: handles would no longer fit.
    [[nodiscard]] std::optional<std::uint32_t> add(std::string_view text);
    [[nodiscard]] std::string_view at(std::uint32_t handle) const;

private:
    static constexpr unsigned kOffsetBits = 20; // blocks of 1 MiB
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_used = 0; // in the last block
    std::size_t m_capacity = 0;
};

class PlotIndex {
public:
    struct Found {
        std::uint32_t number;
        bool added;
    };
    // The plot's number, numbering it next when it is new; nothing when the
    // names fill 4 GiB.
    [[nodiscard]] std::optional<Found> find(std::string_view name);
    [[nodiscard]] std::string_view name(std::uint32_t number) const;
    [[nodiscard]] std::size_t size() const { return m_names.size(); }

private:
    struct Slot {
        std::uint32_t numberPlusOne = 0; // 0: empty
        std::uint32_t hash = 0;
    };
    [[nodiscard]] bool holds(std::uint32_t number, std::string_view name) const;
    void grow();

    TextStore m_text;
    std::vector<std::uint32_t> m_names; // handles into m_text, by number
    std::vector<Slot> m_slots;
    std::uint32_t m_last = 0;
};

} // namespace quarven
