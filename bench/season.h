// A full season of daily assessments, 01/01..31/12 of a common year, with
// levels that never fall; shared by the core and window benchmarks.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace quarven::bench {

inline constexpr int kSeasonYear = 2026;

struct Season {
    std::vector<std::string> dates;
    std::vector<std::string> levels;
};

// Written by hand rather than with printf: a benchmark under Qt runs with the
// desktop's locale, which may write a decimal comma.
inline Season FullSeason()
{
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const auto twoDigits = [](int value) {
        return std::string(1, static_cast<char>('0' + value / 10)) +
               static_cast<char>('0' + value % 10);
    };
    Season season;
    int day = 0;
    for (int month = 1; month <= 12; ++month) {
        for (int date = 1; date <= days[static_cast<std::size_t>(month - 1)]; ++date, ++day) {
            season.dates.push_back(twoDigits(date) + "/" + twoDigits(month));
            const int tenths = day * 1000 / 364; // 0.0 .. 100.0 per cent
            season.levels.push_back(std::to_string(tenths / 10) + "." +
                                    std::to_string(tenths % 10));
        }
    }
    return season;
}

} // namespace quarven::bench
