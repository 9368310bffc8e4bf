#include "trial_values.h"

#include "core/number_syntax.h"
#include "core/value_conventions.h"

#include <array>
#include <cstdint>

namespace quarven {
namespace {

// yyyy-mm-dd, with one or two digits for the month and the day.
std::optional<Date> isoDate(std::string_view text)
{
    if (text.size() < 8 || text[4] != '-')
        return std::nullopt;
    Date date;
    std::size_t pos = 0;
    std::size_t digits = 0;
    date.year = ReadDigits(text, pos, 4, digits);
    if (digits != 4)
        return std::nullopt;
    ++pos;
    date.month = ReadDigits(text, pos, 2, digits);
    if (digits == 0 || pos >= text.size() || text[pos] != '-')
        return std::nullopt;
    ++pos;
    date.day = ReadDigits(text, pos, 2, digits);
    if (digits == 0 || pos != text.size() || !IsCalendarDate(date))
        return std::nullopt;
    return date;
}

// Out of the usual route's way, so that it costs that route nothing.
[[gnu::noinline]] bool readGeneralNumber(std::string_view text, bool commaIsPoint, double& value);

// m/d[/yy[yy]]: the day-first rules, read after the first two numbers have
// changed places, so that both orders take the same separators and years.
std::optional<Date> monthFirstDate(std::string_view text, int year)
{
    std::size_t pos = 0;
    std::size_t digits = 0;
    (void)ReadDigits(text, pos, 2, digits);
    const std::size_t monthEnd = pos;
    if (digits == 0 || pos >= text.size() ||
        (text[pos] != '/' && text[pos] != '.' && text[pos] != '-'))
        return std::nullopt;
    const std::size_t dayBegin = ++pos;
    (void)ReadDigits(text, pos, 2, digits);
    if (digits == 0)
        return std::nullopt;
    std::string swapped(text.substr(dayBegin, pos - dayBegin));
    swapped += text[monthEnd];
    swapped.append(text.substr(0, monthEnd));
    swapped.append(text.substr(pos));
    return DateOf(swapped, year);
}

int separators(std::string_view text)
{
    int count = 0;
    for (const char c : text)
        if (c == '/' || c == '.' || c == '-')
            ++count;
    return count;
}

void appendDigits(std::string& text, int value, int width)
{
    std::array<char, 8> digits{};
    for (int i = width - 1; i >= 0; --i) {
        digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    text.append(digits.data(), static_cast<std::size_t>(width));
}

} // namespace

std::optional<TrialDate> ReadTrialDate(std::string_view text, int year, DateOrder order)
{
    text = TrimmedBlanks(text);
    std::optional<Date> date = isoDate(text);
    const bool iso = date.has_value();
    if (!iso)
        date = order == DateOrder::DayFirst ? DateOf(text, year) : monthFirstDate(text, year);
    if (!date)
        return std::nullopt;
    return TrialDate{DayNumber(*date), iso || separators(text) == 2};
}

std::string DateOrderText(DateOrder order)
{
    return order == DateOrder::DayFirst ? "day first, dd/mm or dd/mm/yyyy"
                                        : "month first, mm/dd or mm/dd/yyyy";
}

void AppendTrialDate(std::string& text, const TrialDate& date)
{
    const Date calendar = DateOfDayNumber(date.day);
    if (date.hasYear) {
        appendDigits(text, calendar.year, 4);
        text += '-';
        appendDigits(text, calendar.month, 2);
        text += '-';
        appendDigits(text, calendar.day, 2);
    } else {
        appendDigits(text, calendar.day, 2);
        text += '/';
        appendDigits(text, calendar.month, 2);
    }
}

std::optional<double> ReadWholeNumber(std::string_view text, bool commaIsPoint)
{
    double value = 0.0;
    if (!ReadWholeNumber(text, commaIsPoint, value))
        return std::nullopt;
    return value;
}

bool ReadWholeNumber(std::string_view text, bool commaIsPoint, double& value)
{
    // The usual level, a few digits with perhaps a point and decimals after
    // the first digit, read in one pass; anything else takes the general
    // route, which gives the same value for it.
    if (!text.empty() && text.size() <= 15) {
        const char* at = text.data();
        const char* const end = at + text.size();
        const auto digit = [](char c) { return static_cast<unsigned>(c) - unsigned{'0'}; };
        std::uint64_t digits = digit(*at);
        if (digits <= 9) {
            while (++at < end && digit(*at) <= 9)
                digits = digits * 10 + digit(*at);
            std::size_t fraction = 0;
            if (at < end && (*at == '.' || (commaIsPoint && *at == ','))) {
                const char* const point = at;
                while (++at < end && digit(*at) <= 9)
                    digits = digits * 10 + digit(*at);
                fraction = static_cast<std::size_t>(at - point - 1);
            }
            if (at == end) {
                static constexpr std::array<double, 16> scale = {1e0,  1e1,  1e2,  1e3, 1e4,  1e5,
                                                                 1e6,  1e7,  1e8,  1e9, 1e10, 1e11,
                                                                 1e12, 1e13, 1e14, 1e15};
                value = static_cast<double>(digits) / scale[fraction];
                return true;
            }
        }
    }
    return readGeneralNumber(text, commaIsPoint, value);
}

namespace {

bool readGeneralNumber(std::string_view text, bool commaIsPoint, double& value)
{
    if (!text.empty() &&
        (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' || text.back() == '\t'))
        text = TrimmedBlanks(text);
    const std::optional<NumberSyntax> number = ScanNumber(text, commaIsPoint);
    if (!number)
        return false;

    // Up to 2^53 the digits and a power of ten up to 10^22 are exact doubles,
    // and one correctly rounded division gives the correctly rounded value,
    // the same that ReadNumber's longer route reaches.
    constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;
    std::uint64_t mantissa = 0;
    int fractionDigits = 0;
    bool exact = !number->exponent;
    bool point = false;
    for (const char c : number->mantissa) {
        if (!IsDigit(c)) {
            point = true;
        } else if (mantissa <= (kExactLimit - 9) / 10) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            if (point)
                ++fractionDigits;
        } else {
            exact = false;
        }
    }

    static constexpr std::array<double, 23> powers = {
        1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (exact && fractionDigits < static_cast<int>(powers.size())) {
        const double quotient =
            static_cast<double>(mantissa) / powers[static_cast<std::size_t>(fractionDigits)];
        value = number->negative ? -quotient : quotient;
        return true;
    }
    std::string pointed(text);
    for (char& c : pointed)
        if (c == ',')
            c = '.';
    value = ReadNumber(pointed);
    return true;
}

} // namespace

} // namespace quarven
