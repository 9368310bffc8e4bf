#include "core/number_syntax.h"

#include "core/value_conventions.h"

namespace quarven {

std::optional<NumberSyntax> ScanNumber(std::string_view text, bool commaIsPoint)
{
    NumberSyntax number;
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        number.negative = text[at] == '-';
        ++at;
    }
    const std::size_t first = at;
    bool digits = false;
    bool point = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (IsDigit(c))
            digits = true;
        else if (!point && (c == '.' || (commaIsPoint && c == ',')))
            point = true;
        else
            break;
    }
    if (!digits)
        return std::nullopt;
    number.mantissa = text.substr(first, at - first);
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        const std::size_t exponent = at;
        while (at < text.size() && IsDigit(text[at]))
            ++at;
        if (at == exponent)
            return std::nullopt;
        number.exponent = true;
    }
    if (at != text.size())
        return std::nullopt;
    return number;
}

} // namespace quarven
