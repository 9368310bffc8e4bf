// Calculate on random tables against a straightforward recomputation whose
// day counts come from the reference date reading, not from the core. The
// generator keeps dates mostly rising and levels mostly non-decreasing so
// that all three outcomes are reached; QUARVEN_FUZZ_STATS=1 prints how often.
#include "core/loss_calculation.h"
#include "core/value_conventions.h"
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using fuzzref::Shown;
using Kind = quarven::CalculationOutcome::Kind;

const std::string kDatePrefix = "Assessment date input error(assessments #";
const std::string kLevelPrefix = "Data input error (assessments #";

struct Tally {
    long counts[3] = {0, 0, 0};
    ~Tally()
    {
        if (std::getenv("QUARVEN_FUZZ_STATS"))
            std::fprintf(stderr, "outcomes: nothing %ld, message %ld, results %ld\n", counts[0],
                         counts[1], counts[2]);
    }
} tally;

const char* nameOf(Kind kind)
{
    return kind == Kind::Nothing ? "Nothing" : kind == Kind::Message ? "Message" : "Results";
}

std::string twoDigits(int value, bool padded)
{
    return (padded && value < 10 ? "0" : "") + std::to_string(value);
}

// The day-th day (from 0) of the year as a day-month text.
std::string dayOfYear(int day, int year, bool padded)
{
    int month = 1;
    while (day >= fuzzref::DaysInMonth(year, month)) {
        day -= fuzzref::DaysInMonth(year, month);
        ++month;
    }
    return twoDigits(day + 1, padded) + "/" + twoDigits(month, padded);
}

std::vector<std::string> makeDates(FuzzedDataProvider& in, int year)
{
    const int daysInYear = fuzzref::LeapYear(year) ? 366 : 365;
    std::vector<std::string> dates(in.ConsumeIntegralInRange<std::size_t>(0, 50));
    int day = in.ConsumeIntegralInRange(0, daysInYear - 1);
    for (std::string& date : dates) {
        switch (in.ConsumeIntegralInRange(0, 11)) {
        case 0:
            date = " ";
            break;
        case 1:
            date = in.ConsumeRandomLengthString(12);
            break;
        case 2:
            date = "29/02";
            break;
        case 3: // a typed year far enough off to overflow 16 bits of days
            date = dayOfYear(day, year, true) + "/" +
                   std::to_string(year + in.ConsumeIntegralInRange(-120, 120));
            break;
        default:
            day = (day + in.ConsumeIntegralInRange(-3, 40) + daysInYear) % daysInYear;
            date = dayOfYear(day, year, in.ConsumeBool());
            break;
        }
    }
    return dates;
}

std::vector<std::string> makeLevels(FuzzedDataProvider& in)
{
    std::vector<std::string> levels(in.ConsumeIntegralInRange<std::size_t>(0, 50));
    int tenths = 0;
    for (std::string& level : levels) {
        switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0:
            level = " ";
            break;
        case 1:
            level = in.ConsumeRandomLengthString(12);
            break;
        default:
            tenths += in.ConsumeIntegralInRange(-20, 200);
            level = std::to_string(tenths / 10) + "." + std::to_string(std::abs(tenths % 10));
            if (tenths < 0 && tenths > -10)
                level = "-" + level;
            break;
        }
    }
    return levels;
}

std::string makeNumberText(FuzzedDataProvider& in, std::size_t rows, const char* usual)
{
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
        return std::to_string(in.ConsumeIntegralInRange(-5, 400));
    case 1:
        return in.ConsumeRandomLengthString(8);
    case 2:
        return std::to_string(rows);
    default:
        return usual;
    }
}

// Pairs in order: a non-date or a difference past 16 bits stops silently, a
// date not after the previous one or a falling level is reported.
quarven::CalculationOutcome expected(const quarven::CalculationInput& input, std::size_t& pair)
{
    quarven::CalculationOutcome outcome;
    const std::optional<std::int16_t> count = quarven::ReadInt16(input.countText);
    const std::optional<std::int16_t> period = quarven::ReadInt16(input.periodText);
    if (!count || !period || *period == 0)
        return outcome;
    std::size_t used = std::min(input.dates.size(), input.levels.size());
    used = std::min<std::size_t>(used, *count < 0 ? 0 : static_cast<std::size_t>(*count));

    double audpc = 0.0;
    for (pair = 0; pair + 1 < used; ++pair) {
        const auto from = fuzzref::ReadDate(input.dates[pair], input.currentYear);
        const auto to = fuzzref::ReadDate(input.dates[pair + 1], input.currentYear);
        if (!from || !to)
            return outcome;
        const long days = fuzzref::DayNumber(*to) - fuzzref::DayNumber(*from);
        if (days < -32768 || days > 32767)
            return outcome;
        const double x1 = quarven::ReadLevel(input.levels[pair]);
        const double x2 = quarven::ReadLevel(input.levels[pair + 1]);
        if (days <= 0 || x2 < x1) {
            outcome.kind = Kind::Message;
            outcome.message = days <= 0 ? kDatePrefix : kLevelPrefix;
            return outcome;
        }
        audpc += (x1 + x2) * static_cast<double>(days) / 2;
    }
    outcome.kind = Kind::Results;
    outcome.audpc = quarven::FormatPattern(audpc, quarven::Pattern::Audpc);
    outcome.losses = quarven::FormatPattern(audpc / *period, quarven::Pattern::Losses);
    return outcome;
}

std::string describe(const quarven::CalculationInput& input)
{
    std::string text = "count " + Shown(input.countText) + ", period " + Shown(input.periodText) +
                       ", year " + std::to_string(input.currentYear);
    for (std::size_t row = 0; row < std::max(input.dates.size(), input.levels.size()); ++row) {
        text += "\n    " + std::to_string(row + 1) + ": ";
        text += row < input.dates.size() ? Shown(input.dates[row]) : "-";
        text += "  ";
        text += row < input.levels.size() ? Shown(input.levels[row]) : "-";
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    quarven::CalculationInput input;
    input.currentYear = in.ConsumeIntegralInRange(1900, 2100);
    input.dates = makeDates(in, input.currentYear);
    input.levels = makeLevels(in);
    const std::size_t rows = std::min(input.dates.size(), input.levels.size());
    input.countText = makeNumberText(in, rows, "3");
    input.periodText = makeNumberText(in, rows, "52");

    const quarven::CalculationOutcome got = quarven::Calculate(input);
    std::size_t pair = 0;
    const quarven::CalculationOutcome want = expected(input, pair);
    ++tally.counts[static_cast<int>(got.kind)];

    FUZZ_CHECK(got.kind == want.kind, "outcome %s, expected %s, for %s", nameOf(got.kind),
               nameOf(want.kind), describe(input).c_str());
    if (want.kind == Kind::Message) {
        // Rows are numbered from 1 and shown with a blank for the sign.
        const std::string named = want.message + " " + std::to_string(pair + 1) + " and  " +
                                  std::to_string(pair + 2) + ")";
        FUZZ_CHECK(got.message.compare(0, named.size(), named) == 0,
                   "message %s, expected it to start with %s, for %s", Shown(got.message).c_str(),
                   Shown(named).c_str(), describe(input).c_str());
    }
    if (want.kind == Kind::Results) {
        FUZZ_CHECK(got.audpc == want.audpc && got.losses == want.losses,
                   "audpc %s and losses %s, expected %s and %s, for %s", Shown(got.audpc).c_str(),
                   Shown(got.losses).c_str(), Shown(want.audpc).c_str(), Shown(want.losses).c_str(),
                   describe(input).c_str());
    }
    return 0;
}
