// The one written form of a number that Quarven takes whole: an optional
// sign, digits with at most one decimal point, and an optional exponent ("e"
// or "E", an optional sign, digits), with nothing before or after. The trial
// files read their levels by it, and the formula guard of the cells written
// for spreadsheets tells a number such as "-5" from a formula by it.
#pragma once

#include <optional>
#include <string_view>

namespace quarven {

struct NumberSyntax {
    bool negative = false;
    // The digits with their point, between the sign and the exponent.
    std::string_view mantissa;
    bool exponent = false;
};

// Nothing when the text is not wholly such a number. The point is "." and,
// when commaIsPoint, also ",".
[[nodiscard]] std::optional<NumberSyntax> ScanNumber(std::string_view text, bool commaIsPoint);

} // namespace quarven
