// Shared by the fuzz targets: a check that stops the run (libFuzzer then keeps
// the input), and reference date readings written apart from the core, by a
// different route, so that a fault in one does not hide in the other.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property violated: %s\n  ", __FILE__, __LINE__,           \
                         #condition);                                                              \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
            std::fputc('\n', stderr);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzzref {

// Texts in failure reports, with control and non-ASCII bytes escaped.
inline std::string Shown(std::string_view text)
{
    std::string shown = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    return shown + "\"";
}

struct Ymd {
    int year = 0;
    int month = 0;
    int day = 0;
};

inline bool LeapYear(int year)
{
    return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0);
}

inline int DaysInMonth(int year, int month)
{
    switch (month) {
    case 2:
        return LeapYear(year) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return 31;
    }
}

// Days since 1 January of year 1, counted by whole years and then by months
// rather than by the core's 400-year eras.
inline long DayNumber(const Ymd& date)
{
    const long before = date.year - 1;
    long days = before * 365 + before / 4 - before / 100 + before / 400;
    for (int month = 1; month < date.month; ++month)
        days += DaysInMonth(date.year, month);
    return days + date.day - 1;
}

inline bool AllDigits(std::string_view field)
{
    if (field.empty())
        return false;
    for (const char c : field)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Callers bound the length first.
inline int Number(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// Day first, two or three fields split by the first of "/.-" found, blanks
// and tabs around ignored; two-digit years below 30 are 20YY.
inline std::optional<Ymd> ReadDate(std::string_view text, int currentYear)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    const std::size_t cut = text.find_first_of("/.-");
    if (cut == std::string_view::npos)
        return std::nullopt;
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(text[cut], start);
        fields.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    if (fields.size() < 2 || fields.size() > 3)
        return std::nullopt;
    for (const std::string_view field : fields)
        if (!AllDigits(field))
            return std::nullopt;
    if (fields[0].size() > 2 || fields[1].size() > 2)
        return std::nullopt;
    Ymd date{currentYear, Number(fields[1]), Number(fields[0])};
    if (fields.size() == 3) {
        if (fields[2].size() != 2 && fields[2].size() != 4)
            return std::nullopt;
        const int year = Number(fields[2]);
        date.year = fields[2].size() == 4 ? year : year < 30 ? 2000 + year : 1900 + year;
    }
    // There is no year 0 to count from.
    if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > DaysInMonth(date.year, date.month))
        return std::nullopt;
    return date;
}

} // namespace fuzzref
