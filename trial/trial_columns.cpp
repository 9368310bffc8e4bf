#include "trial_columns.h"

#include "core/value_conventions.h"

#include <algorithm>
#include <charconv>

namespace quarven {

void AppendNumber(std::string& text, const std::optional<double>& value, int decimals, char point)
{
    if (!value)
        return;
    const std::size_t start = text.size();
    if (decimals == kShortest)
        text += ShortestText(*value);
    else
        AppendDecimals(text, *value, decimals);
    std::replace(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(), '.', point);
}

std::string ShortestText(double value)
{
    std::array<char, 32> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return std::string(digits.data(), written.ptr);
}

} // namespace quarven
