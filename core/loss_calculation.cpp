#include "loss_calculation.h"

#include "value_conventions.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace quarven {
namespace {

// A trial's plot may hold more assessments than the window's 16-bit rows,
// so the numbers are written from a long rather than wrapped.
std::string signedText(long value)
{
    const std::string digits = std::to_string(value);
    return value < 0 ? digits : ' ' + digits;
}

std::string pairText(long row)
{
    return signedText(row + 1) + " and " + signedText(row + 2);
}

CalculationOutcome message(std::string text)
{
    CalculationOutcome outcome;
    outcome.kind = CalculationOutcome::Kind::Message;
    outcome.message = std::move(text);
    return outcome;
}

} // namespace

CalculationOutcome Calculate(const CalculationInput& input)
{
    const std::optional<std::int16_t> count = ReadInt16(input.countText);
    const std::optional<std::int16_t> period = ReadInt16(input.periodText);
    // The period box never holds these; without a period there is nothing
    // sensible to divide by, so the action stays silent rather than show
    // an infinity.
    if (!count || !period || *period == 0)
        return {};

    const std::size_t rows = std::min(input.dates.size(), input.levels.size());
    const std::size_t used = std::min(rows, static_cast<std::size_t>(std::max<int>(*count, 0)));

    double audpc = 0.0;
    for (std::size_t i = 0; i + 1 < used; ++i) {
        const std::optional<std::int16_t> days =
            DayDifference(input.dates[i], input.dates[i + 1], input.currentYear);
        if (!days)
            return {};
        const double x1 = ReadLevel(input.levels[i]);
        const double x2 = ReadLevel(input.levels[i + 1]);
        const PairCheck check = AddPair(audpc, *days, x1, x2);
        if (check != PairCheck::Summed)
            return message(PairMessage(check, static_cast<long>(i)));
    }

    CalculationOutcome outcome;
    outcome.kind = CalculationOutcome::Kind::Results;
    outcome.losses = FormatPattern(audpc / *period, Pattern::Losses);
    outcome.audpc = FormatPattern(audpc, Pattern::Audpc);
    return outcome;
}

std::string PairMessage(PairCheck check, long row)
{
    switch (check) {
    case PairCheck::Summed:
        break;
    case PairCheck::DatesNotIncreasing:
        return "Assessment date input error(assessments #" + pairText(row) +
               "). Consequent assessments should differ from one another!";
    case PairCheck::LevelFalls:
        return "Data input error (assessments #" + pairText(row) + ")." + '\r' +
               " Results of the next assessment should be equal or higher than those"
               " for the previous assessment!";
    }
    return {};
}

} // namespace quarven
