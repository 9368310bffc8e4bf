#include "assessment_table.h"

#include "value_conventions.h"

#include <algorithm>
#include <cstddef>

namespace quarven {

TableColumns BuildTable(std::optional<std::int16_t> rowCount, const TableColumns& kept)
{
    TableColumns table;
    const int rows = rowCount.value_or(0);
    if (rows <= 0)
        return table;
    const auto size = static_cast<std::size_t>(rows);
    table.numbers.reserve(size);
    for (int i = 0; i < rows; ++i)
        table.numbers.push_back(PlainText(i + 1));
    const std::size_t keep = std::min({size, kept.dates.size(), kept.levels.size()});
    const auto keptRows = static_cast<std::ptrdiff_t>(keep);
    table.dates.assign(kept.dates.begin(), kept.dates.begin() + keptRows);
    table.levels.assign(kept.levels.begin(), kept.levels.begin() + keptRows);
    table.dates.resize(size, std::string(kBlankCell));
    table.levels.resize(size, std::string(kBlankCell));
    return table;
}

} // namespace quarven
