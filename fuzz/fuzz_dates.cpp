// Date texts against an independent reading. Input: the first byte picks the
// current year in 1900..2100 (1900 + byte % 201, so "d" is 2000, "|" 2024 and
// "~" 2026); the rest is one text, or two split at the first line feed, the
// second being the later date of DayDifference.
#include "core/value_conventions.h"
#include "fuzz_support.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

using fuzzref::Shown;

bool isDayMonthText(const std::string& text)
{
    const auto digit = [&](std::size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    return text.size() == 5 && digit(0) && digit(1) && text[2] == '/' && digit(3) && digit(4);
}

std::string expectedDayMonth(int day, int month)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d", day, month);
    return text;
}

void checkText(std::string_view text, int year)
{
    const std::optional<quarven::Date> date = quarven::DateOf(text, year);
    const std::optional<fuzzref::Ymd> want = fuzzref::ReadDate(text, year);
    FUZZ_CHECK(quarven::IsDateText(text, year) == date.has_value(),
               "IsDateText and DateOf disagree on %s in %d", Shown(text).c_str(), year);
    FUZZ_CHECK(date.has_value() == want.has_value(), "%s in %d: core says %s, reference %s",
               Shown(text).c_str(), year, date ? "date" : "no date", want ? "date" : "no date");

    const std::optional<std::string> stored = quarven::NormalisedDayMonth(text, year);
    if (!date) {
        FUZZ_CHECK(!stored, "%s is no date but was stored as %s", Shown(text).c_str(),
                   stored->c_str());
        FUZZ_CHECK(!quarven::DayDifference(text, text, year), "difference of non-date %s",
                   Shown(text).c_str());
        return;
    }
    FUZZ_CHECK(date->year == want->year && date->month == want->month && date->day == want->day,
               "%s in %d read as %d-%d-%d, reference %d-%d-%d", Shown(text).c_str(), year,
               date->year, date->month, date->day, want->year, want->month, want->day);

    const std::string shown = quarven::DayMonthText(*date);
    FUZZ_CHECK(isDayMonthText(shown) && shown == expectedDayMonth(date->day, date->month),
               "%s shown as %s", Shown(text).c_str(), Shown(shown).c_str());

    const std::optional<std::int16_t> zero = quarven::DayDifference(text, text, year);
    FUZZ_CHECK(zero && *zero == 0, "%s minus itself is not 0", Shown(text).c_str());

    // A typed year is dropped, so the day-month must also exist in this year.
    const bool storable = date->day <= fuzzref::DaysInMonth(year, date->month);
    FUZZ_CHECK(stored.has_value() == storable, "%s in %d: stored %s, expected %s",
               Shown(text).c_str(), year, stored ? stored->c_str() : "nothing",
               storable ? "a day-month" : "nothing");
    if (stored) {
        FUZZ_CHECK(isDayMonthText(*stored), "stored form %s", Shown(*stored).c_str());
        const std::optional<quarven::Date> back = quarven::DateOf(*stored, year);
        FUZZ_CHECK(
            back && back->year == year && back->month == date->month && back->day == date->day,
            "%s stored as %s does not read back in %d", Shown(text).c_str(), stored->c_str(), year);
    }
}

void checkDifference(std::string_view earlier, std::string_view later, int year)
{
    const std::optional<fuzzref::Ymd> from = fuzzref::ReadDate(earlier, year);
    const std::optional<fuzzref::Ymd> to = fuzzref::ReadDate(later, year);
    std::optional<long> want;
    if (from && to) {
        const long days = fuzzref::DayNumber(*to) - fuzzref::DayNumber(*from);
        if (days >= -32768 && days <= 32767)
            want = days;
    }
    const std::optional<std::int16_t> got = quarven::DayDifference(earlier, later, year);
    FUZZ_CHECK(got.has_value() == want.has_value() && (!got || *got == *want),
               "DayDifference(%s, %s) in %d gave %s, expected %s", Shown(earlier).c_str(),
               Shown(later).c_str(), year, got ? std::to_string(*got).c_str() : "nothing",
               want ? std::to_string(*want).c_str() : "nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int year = 1900 + data[0] % 201;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = rest.find('\n');
    const std::string_view first = rest.substr(0, split);
    checkText(first, year);
    if (split != std::string_view::npos) {
        const std::string_view second = rest.substr(split + 1);
        checkText(second, year);
        checkDifference(first, second, year);
        checkDifference(second, first, year);
    }
    return 0;
}
