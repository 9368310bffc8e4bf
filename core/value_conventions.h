// How Quarven reads the texts of its controls as dates and numbers, turns
// reals into the 16-bit whole numbers it counts with, and writes results back
// as text. Every other part of the program uses these rules by name.
//
// Nothing here depends on the C library's locale: Qt sets it from the
// environment at start-up, after which strtod and printf would read and write
// a decimal comma. Numbers are read by hand and written with std::to_chars.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarven {

// A calendar day. Dates without a typed year fall in the year the caller
// passes in (the running program takes it from the clock; tests pin it).
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
};

// Date texts are read day first: the day and the month with one or two digits
// each, optionally followed by a year of two or four digits, separated by
// "/", "." or "-" (one separator throughout). Blanks and tabs around the text
// are ignored. A two-digit year YY means 20YY below 30 and 19YY otherwise.
// The empty text and the single space are not dates.
[[nodiscard]] bool IsDateText(std::string_view text, int currentYear);
[[nodiscard]] std::optional<Date> DateOf(std::string_view text, int currentYear);

// A day that the calendar has, in the years 1 to 9999.
[[nodiscard]] bool IsCalendarDate(const Date& date);

// The run of at most `most` digits at `pos`, read as a number; `pos` moves
// past it and `digits` says how many there were (none reads as 0).
[[nodiscard]] int ReadDigits(std::string_view text, std::size_t& pos, std::size_t most,
                             std::size_t& digits);

// Days since 1970-01-01 (negative before it), and back: the difference of two
// day numbers is the number of days between the dates.
[[nodiscard]] long DayNumber(const Date& date);
[[nodiscard]] Date DateOfDayNumber(long dayNumber);

// "dd/mm" with leading zeros: the only form in which dates are stored.
[[nodiscard]] std::string DayMonthText(const Date& date);

// The stored form of an answer to a date prompt: DayMonthText of DateOf, or
// nothing when the answer is not a date or when its day and month, once the
// typed year is dropped, are not a date of the current year (29/2/2024 typed
// in a common year): such a day-month could never be read back.
[[nodiscard]] std::optional<std::string> NormalisedDayMonth(std::string_view answer,
                                                            int currentYear);

// Days from earlier to later, negative when later comes first. Nothing when
// either text is not a date or the difference does not fit in 16 bits.
[[nodiscard]] std::optional<std::int16_t> DayDifference(std::string_view earlier,
                                                        std::string_view later, int currentYear);

// Reads a number the way Val does: blanks, tabs and line feeds are skipped
// wherever they stand; then an optional sign, digits with "." as the only
// decimal point and an optional exponent. Reading stops at the first character
// that does not fit. No number in front reads as 0; a number too large for a
// double reads as an infinity.
[[nodiscard]] double ReadNumber(std::string_view text);

// A level as the window reads it: ReadNumber, except that a comma standing
// between two digits with no point before it is the decimal mark, as a
// spreadsheet under a decimal-comma locale writes it ("2,5" is 2.5).
[[nodiscard]] double ReadLevel(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour. Nothing when
// the result lies outside -32768..32767 or the value is not a number: such a
// value has no 16-bit form, and callers must refuse it rather than wrap it.
[[nodiscard]] std::optional<std::int16_t> ToInt16(double value);

// ToInt16 of ReadNumber: how counts, periods and row numbers are read.
[[nodiscard]] std::optional<std::int16_t> ReadInt16(std::string_view text);

// The three numeric patterns the program writes:
//   Period   "###"    whole number, 0 gives the empty text
//   Losses   "##0.0"  at least one integer digit and one decimal, "." point
//   Audpc    "#####"  whole number, 0 gives the empty text
// Rounding is half away from zero, judged on the value written with 15
// significant digits, as a person who worked it out by hand would round it:
// 7.8 / 52 = 0.15 shows as 0.2, and a sum of 1.4999999999999998 as 2.
enum class Pattern { Period, Losses, Audpc };
[[nodiscard]] std::string FormatPattern(double value, Pattern pattern);
// The same text appended to `text`, without a heap call once it has room.
void AppendPattern(std::string& text, double value, Pattern pattern);

// The value with exactly `decimals` decimals (0 to 15) under the same rounding
// rule, "." as the point, at least one integer digit, a minus sign only when
// the text is not all zeros: "##0.0" is FormatDecimals(value, 1).
[[nodiscard]] std::string FormatDecimals(double value, int decimals);
// The same text appended to `text`; allocates nothing once `text` has room,
// so a million results can be written without a heap call each.
void AppendDecimals(std::string& text, double value, int decimals);

[[nodiscard]] constexpr bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The text without the blanks and tabs around it.
[[nodiscard]] inline std::string_view TrimmedBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Nothing but blanks and tabs, or nothing at all: a cell left empty.
[[nodiscard]] constexpr bool IsBlank(std::string_view text)
{
    for (const char c : text)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

// A to Z as a to z, every other byte as it is: column names and group
// captions are ASCII.
[[nodiscard]] constexpr char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// "-3", "0", "12": row numbers and version numbers.
[[nodiscard]] std::string PlainText(int value);
// " 1", " 0", "-3": numbers inside prompt titles and messages carry a sign
// position, which is why those texts show two blanks after a literal blank.
[[nodiscard]] std::string SignedText(int value);

} // namespace quarven
