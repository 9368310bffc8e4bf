// The tuberization period's rules, shared by the window's period box and the
// trial batch: the six maturity groups, the 10..130-day range with 52 as the
// default, and the messages that refuse a period out of range.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quarven {

struct MaturityGroup {
    const char* caption;
    const char* tooltip;
    int days;
};

// Spel1 to Spel6, in order.
inline constexpr std::array<MaturityGroup, 6> kMaturityGroups = {{
    {"First early", "Tuberization period is 40 days", 40},
    {"Early", "Tuberization period is 46 days", 46},
    {"Mid-early", "Tuberization period is 52 days", 52},
    {"Mid", "Tuberization period is 60 days", 60},
    {"Mid-late", "Tuberization period is 64 days", 64},
    {"Late", "Tuberization period is 84 days", 84},
}};

inline constexpr int kDefaultPeriod = 52;
inline constexpr int kShortestPeriod = 10;
inline constexpr int kLongestPeriod = 130;

[[nodiscard]] bool PeriodInRange(int days);

// The days of the group with this caption, matched without regard to case
// and to blanks around it.
[[nodiscard]] std::optional<int> GroupDays(std::string_view caption);

// What the period prompt says when a period lies outside 10..130.
[[nodiscard]] std::string PeriodRangeText();

// The message for a budding-to-desiccation day count outside 10..130: one
// text above the range, another below it (0 included, which is what a
// missing date gives).
[[nodiscard]] std::string DesiccationMessage(int dayCount);

} // namespace quarven
