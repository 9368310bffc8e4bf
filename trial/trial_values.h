// How a trial file's cells are read: dates as the window's prompts accept
// them plus ISO yyyy-mm-dd, and numbers that must be wholly a number (the
// window's reader would take the leading digits of "12,5" and stop).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarven {

// A day number (see DayNumber) and whether the text gave its own year.
struct TrialDate {
    long day = 0;
    bool hasYear = false;
};

// Which comes first in a date that is not ISO: a spreadsheet's CSV under a
// US locale writes m/d/yyyy, and only its writer knows which it is.
enum class DateOrder { DayFirst, MonthFirst };

// A date without a year falls in `year`; blanks and tabs around are ignored.
// Month first, the day and the month of the day-first rules change places
// (6/3/2024 is 3 June); ISO yyyy-mm-dd reads the same either way.
[[nodiscard]] std::optional<TrialDate> ReadTrialDate(std::string_view text, int year,
                                                     DateOrder order = DateOrder::DayFirst);
// How the dates are read, for messages: "day first, dd/mm or dd/mm/yyyy".
[[nodiscard]] std::string DateOrderText(DateOrder order);

// "dd/mm" for a date written without a year, "yyyy-mm-dd" for one with.
void AppendTrialDate(std::string& text, const TrialDate& date);

// An optional sign, digits with at most one decimal point, an optional
// exponent, and nothing else but blanks and tabs around. The point is ".",
// and also "," when commaIsPoint (files not separated by commas, written in
// locales whose decimal mark is the comma). The value is the one the window's
// ReadNumber gives for the same text with a "." point, to the last bit.
[[nodiscard]] std::optional<double> ReadWholeNumber(std::string_view text, bool commaIsPoint);
// The same, for the batch's inner loop: a double and a flag come back in
// registers, where an optional<double> takes a detour through memory.
[[nodiscard]] bool ReadWholeNumber(std::string_view text, bool commaIsPoint, double& value);

} // namespace quarven
