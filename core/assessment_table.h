// The assessment table: one row per foliage assessment, held by the main
// window as three row-aligned lists (number, date, level). This file holds
// the rule that (re)builds those lists; the window only copies them over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// A cell that nothing has been entered into yet. It is a single space, not
// the empty text: the editing actions offer to fill exactly these cells.
inline constexpr std::string_view kBlankCell = " ";

struct TableColumns {
    std::vector<std::string> numbers;
    std::vector<std::string> dates;
    std::vector<std::string> levels;
};

// N numbered rows; none for N <= 0 or for a count that has no 16-bit value.
// Rows 1..min(N, rows kept) keep the dates and levels of `kept`, so that a
// new count loses no assessment it still holds; the others are blank.
[[nodiscard]] TableColumns BuildTable(std::optional<std::int16_t> rowCount,
                                      const TableColumns& kept = {});

} // namespace quarven
