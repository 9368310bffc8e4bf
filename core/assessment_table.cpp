#include "assessment_table.h"

#include "value_conventions.h"

namespace quarven {

TableColumns BuildTable(std::optional<std::int16_t> rowCount)
{
    TableColumns table;
    const int rows = rowCount.value_or(0);
    if (rows <= 0)
        return table;
    const auto size = static_cast<std::size_t>(rows);
    table.numbers.reserve(size);
    for (int i = 0; i < rows; ++i)
        table.numbers.push_back(PlainText(i + 1));
    table.dates.assign(size, std::string(kBlankCell));
    table.levels.assign(size, std::string(kBlankCell));
    return table;
}

} // namespace quarven
