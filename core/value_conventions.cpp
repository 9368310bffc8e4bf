#include "value_conventions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace quarven {
namespace {

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
}

// Days since 1970-01-01 in the proleptic Gregorian calendar.
long serialDay(const Date& date)
{
    const long y = date.year - (date.month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long mp = (date.month + 9) % 12;
    const long doy = (153 * mp + 2) / 5 + date.day - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The decimal digits of a finite, non-zero magnitude written with 15
// significant digits, and the position of the decimal point counted from the
// first digit. Fifteen is what the platform shows when it turns a double into
// text: a sum that a person works out as 1.5 may be the double just below it,
// and its shortest exact form (1.4999999999999998) would round the wrong way.
struct Decimal {
    std::string digits;
    int pointPosition = 0;
};

constexpr int kSignificantDigits = 15;

Decimal significantDecimal(double magnitude)
{
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                      std::chars_format::scientific, kSignificantDigits - 1);
    const std::string_view text(buffer.data(),
                                static_cast<std::size_t>(result.ptr - buffer.data()));
    const std::size_t e = text.find('e');
    Decimal decimal;
    for (char c : text.substr(0, e))
        if (IsDigit(c))
            decimal.digits += c;
    int exponent = 0;
    const std::string_view exponentText = text.substr(e + 1);
    const bool negative = exponentText.front() == '-';
    std::from_chars(exponentText.data() + 1, exponentText.data() + exponentText.size(), exponent);
    decimal.pointPosition = (negative ? -exponent : exponent) + 1;
    return decimal;
}

// The magnitude rounded half away from zero to the given number of decimals,
// as digits with at least decimals + 1 of them (the units digit included).
std::string roundedDigits(double magnitude, int decimals)
{
    std::string kept;
    bool roundUp = false;
    if (magnitude != 0.0) {
        const Decimal decimal = significantDecimal(magnitude);
        const int keep = decimal.pointPosition + decimals;
        if (keep > 0) {
            kept = decimal.digits.substr(0, static_cast<std::size_t>(keep));
            kept.resize(static_cast<std::size_t>(keep), '0');
            roundUp = decimal.digits.size() > static_cast<std::size_t>(keep) &&
                      decimal.digits[static_cast<std::size_t>(keep)] >= '5';
        } else {
            roundUp = keep == 0 && decimal.digits.front() >= '5';
        }
    }
    if (roundUp) {
        auto it = kept.rbegin();
        for (; it != kept.rend() && *it == '9'; ++it)
            *it = '0';
        if (it == kept.rend())
            kept.insert(kept.begin(), '1');
        else
            ++*it;
    }
    const std::size_t minimum = static_cast<std::size_t>(decimals) + 1;
    if (kept.size() < minimum)
        kept.insert(0, minimum - kept.size(), '0');
    const std::size_t firstNonZero = kept.find_first_not_of('0');
    const std::size_t strip = std::min(firstNonZero, kept.size() - minimum);
    return kept.substr(strip);
}

constexpr int kMostDecimals = 15;

// Most values are nowhere near a half at the rounding position. For those the
// value scaled in binary rounds the same way as its 15-digit decimal form,
// which differs from it by less than 6e-15 of itself; only values too close
// to a half, or too large to scale exactly, take the decimal route.
bool quickRounding(double magnitude, int decimals, std::uint64_t& rounded)
{
    static constexpr std::array<double, 7> powers = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
    if (decimals >= static_cast<int>(powers.size()) || !(magnitude < 1e9))
        return false;
    const double power = powers[static_cast<std::size_t>(decimals)];
    const double scaled = magnitude * power;
    // Below 1e15 and not negative, truncating to an integer is the floor,
    // exactly, without a call to the library's floor.
    const double whole = static_cast<double>(static_cast<std::uint64_t>(scaled));
    const double fraction = scaled - whole;
    // An exact half, such as an AUDPC of 52.5: with the product exact and
    // fewer than 15 digits in all, the decimal form is that half too.
    if (fraction == 0.5 && scaled < 1e14 && std::fma(magnitude, power, -scaled) == 0.0) {
        rounded = static_cast<std::uint64_t>(whole) + 1U;
        return true;
    }
    if (std::fabs(fraction - 0.5) <= (scaled + 1.0) * 1e-13)
        return false;
    rounded = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1U : 0U);
    return true;
}

} // namespace

bool IsCalendarDate(const Date& date)
{
    return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 &&
           date.day >= 1 && date.day <= daysInMonth(date.year, date.month);
}

int ReadDigits(std::string_view text, std::size_t& pos, std::size_t most, std::size_t& digits)
{
    int value = 0;
    digits = 0;
    while (pos < text.size() && IsDigit(text[pos]) && digits < most) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    return value;
}

long DayNumber(const Date& date)
{
    return serialDay(date);
}

// The inverse of serialDay, by the same 400-year eras.
Date DateOfDayNumber(long dayNumber)
{
    const long z = dayNumber + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    Date date;
    date.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    date.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    date.year = static_cast<int>(yoe + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

std::optional<Date> DateOf(std::string_view text, int currentYear)
{
    text = TrimmedBlanks(text);
    std::size_t pos = 0;
    std::size_t digits = 0;
    Date date;
    date.day = ReadDigits(text, pos, 2, digits);
    if (digits == 0 || pos >= text.size())
        return std::nullopt;
    const char separator = text[pos];
    if (separator != '/' && separator != '.' && separator != '-')
        return std::nullopt;
    ++pos;
    date.month = ReadDigits(text, pos, 2, digits);
    if (digits == 0)
        return std::nullopt;
    date.year = currentYear;
    if (pos < text.size()) {
        if (text[pos] != separator)
            return std::nullopt;
        ++pos;
        const int year = ReadDigits(text, pos, 4, digits);
        if (digits == 2)
            date.year = year < 30 ? 2000 + year : 1900 + year;
        else if (digits == 4)
            date.year = year;
        else
            return std::nullopt;
    }
    if (pos != text.size() || !IsCalendarDate(date))
        return std::nullopt;
    return date;
}

bool IsDateText(std::string_view text, int currentYear)
{
    return DateOf(text, currentYear).has_value();
}

std::string DayMonthText(const Date& date)
{
    std::string text = "00/00";
    text[0] = static_cast<char>('0' + date.day / 10 % 10);
    text[1] = static_cast<char>('0' + date.day % 10);
    text[3] = static_cast<char>('0' + date.month / 10 % 10);
    text[4] = static_cast<char>('0' + date.month % 10);
    return text;
}

std::optional<std::string> NormalisedDayMonth(std::string_view answer, int currentYear)
{
    const std::optional<Date> date = DateOf(answer, currentYear);
    if (!date)
        return std::nullopt;
    std::string text = DayMonthText(*date);
    if (!IsDateText(text, currentYear))
        return std::nullopt;
    return text;
}

std::optional<std::int16_t> DayDifference(std::string_view earlier, std::string_view later,
                                          int currentYear)
{
    const std::optional<Date> first = DateOf(earlier, currentYear);
    const std::optional<Date> second = DateOf(later, currentYear);
    if (!first || !second)
        return std::nullopt;
    return ToInt16(static_cast<double>(serialDay(*second) - serialDay(*first)));
}

double ReadNumber(std::string_view text)
{
    std::size_t pos = 0;
    const auto skipBlanks = [&] {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n'))
            ++pos;
    };

    skipBlanks();
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }

    std::string mantissa;
    std::size_t integerDigits = 0;
    bool point = false;
    for (;;) {
        skipBlanks();
        if (pos >= text.size())
            break;
        const char c = text[pos];
        if (IsDigit(c)) {
            mantissa += c;
            if (!point)
                ++integerDigits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        ++pos;
    }
    if (mantissa.empty())
        return 0.0;

    // The exponent is clamped far beyond any double's range so that its
    // accumulation cannot overflow.
    long exponent = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        skipBlanks();
        bool negativeExponent = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            negativeExponent = text[pos] == '-';
            ++pos;
        }
        for (;;) {
            skipBlanks();
            if (pos >= text.size() || !IsDigit(text[pos]))
                break;
            exponent = std::min(exponent * 10 + (text[pos] - '0'), 10'000'000L);
            ++pos;
        }
        if (negativeExponent)
            exponent = -exponent;
    }

    const std::size_t firstNonZero = mantissa.find_first_not_of('0');
    if (firstNonZero == std::string::npos)
        return negative ? -0.0 : 0.0;

    // Scale the exponent so that the significant digits read as an integer;
    // from_chars then rounds correctly whatever the length.
    const std::string significant = mantissa.substr(firstNonZero);
    const long scale =
        exponent + static_cast<long>(integerDigits) - static_cast<long>(mantissa.size());
    const long leadingExponent = scale + static_cast<long>(significant.size()) - 1;
    double value = 0.0;
    if (leadingExponent > std::numeric_limits<double>::max_exponent10) {
        value = std::numeric_limits<double>::infinity();
    } else if (leadingExponent < std::numeric_limits<double>::min_exponent10 - 20) {
        value = 0.0;
    } else {
        const std::string literal = significant + 'e' + std::to_string(scale);
        const auto result = std::from_chars(literal.data(), literal.data() + literal.size(), value);
        if (result.ec == std::errc::result_out_of_range)
            value = leadingExponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

double ReadLevel(std::string_view text)
{
    // Any comma ends ReadNumber's reading, so only the first one can matter.
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma + 1 == text.size() ||
        !IsDigit(text[comma - 1]) || !IsDigit(text[comma + 1]) ||
        text.substr(0, comma).find('.') != std::string_view::npos)
        return ReadNumber(text);
    std::string pointed(text);
    pointed[comma] = '.';
    return ReadNumber(pointed);
}

std::optional<std::int16_t> ToInt16(double value)
{
    // nearbyint rounds halves to even in the default rounding mode, which
    // nothing in the program changes. NaN fails both comparisons.
    const double whole = std::nearbyint(value);
    if (!(whole >= std::numeric_limits<std::int16_t>::min() &&
          whole <= std::numeric_limits<std::int16_t>::max()))
        return std::nullopt;
    return static_cast<std::int16_t>(whole);
}

std::optional<std::int16_t> ReadInt16(std::string_view text)
{
    return ToInt16(ReadNumber(text));
}

std::string FormatPattern(double value, Pattern pattern)
{
    std::string text;
    AppendPattern(text, value, pattern);
    return text;
}

void AppendPattern(std::string& text, double value, Pattern pattern)
{
    const std::size_t start = text.size();
    AppendDecimals(text, value, pattern == Pattern::Losses ? 1 : 0);
    if (pattern != Pattern::Losses && text.size() == start + 1 && text[start] == '0')
        text.resize(start);
}

std::string FormatDecimals(double value, int decimals)
{
    std::string text;
    AppendDecimals(text, value, decimals);
    return text;
}

void AppendDecimals(std::string& text, double value, int decimals)
{
    if (std::isnan(value)) {
        text += "NaN";
        return;
    }
    if (std::isinf(value)) {
        text += value < 0 ? "-Infinity" : "Infinity";
        return;
    }
    decimals = std::clamp(decimals, 0, kMostDecimals);
    const double magnitude = std::fabs(value);

    std::uint64_t rounded = 0;
    if (quickRounding(magnitude, decimals, rounded)) {
        // Written from the right: the decimals, the point, the whole part.
        std::array<char, 40> digits{};
        char* const end = digits.data() + digits.size();
        char* first = end;
        const bool zero = rounded == 0;
        for (int i = 0; i < decimals; ++i) {
            *--first = static_cast<char>('0' + rounded % 10);
            rounded /= 10;
        }
        if (decimals > 0)
            *--first = '.';
        do {
            *--first = static_cast<char>('0' + rounded % 10);
            rounded /= 10;
        } while (rounded != 0);
        if (value < 0 && !zero)
            *--first = '-';
        text.append(first, static_cast<std::size_t>(end - first));
        return;
    }

    std::string digits = roundedDigits(magnitude, decimals);
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    if (decimals > 0)
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
    if (value < 0 && !zero)
        text += '-';
    text += digits;
}

std::string PlainText(int value)
{
    std::array<char, 16> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string SignedText(int value)
{
    return value < 0 ? PlainText(value) : ' ' + PlainText(value);
}

} // namespace quarven
