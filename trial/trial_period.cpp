#include "trial_period.h"

#include "core/rejection_messages.h"
#include "core/tuberization_rules.h"
#include "core/value_conventions.h"
#include "trial_values.h"

#include <limits>

namespace quarven {
namespace {

TrialPeriod refused(TrialPeriod::From from, std::string message, std::int16_t days = 0)
{
    return TrialPeriod{from, days, std::move(message)};
}

TrialPeriod fromDays(const TrialRow& row, bool commaIsPoint)
{
    const std::optional<double> value = ReadWholeNumber(row.period, commaIsPoint);
    if (!value)
        return refused(TrialPeriod::From::Days,
                       "The period => ( " + std::string(row.period) + " ) is not a number of days");
    const std::optional<std::int16_t> days = ToInt16(*value);
    if (days == 0)
        return TrialPeriod{};
    if (!days || !PeriodInRange(*days))
        return refused(TrialPeriod::From::Days, PeriodRangeText(), days.value_or(0));
    return TrialPeriod{TrialPeriod::From::Days, *days, std::nullopt};
}

TrialPeriod fromDesiccation(const TrialRow& row, int year, DateOrder order)
{
    constexpr TrialPeriod::From kFrom = TrialPeriod::From::Desiccation;
    std::optional<TrialDate> budding;
    std::optional<TrialDate> desiccation;
    if (!IsBlank(row.budding) && !(budding = ReadTrialDate(row.budding, year, order)))
        return refused(kFrom, BuddingDateRejection(row.budding));
    if (!IsBlank(row.desiccation) && !(desiccation = ReadTrialDate(row.desiccation, year, order)))
        return refused(kFrom, DesiccationDateRejection(row.desiccation));
    // As in the window, a missing date leaves the day count at 0.
    const long dayCount = budding && desiccation ? desiccation->day - budding->day : 0;
    const std::int16_t days = dayCount >= std::numeric_limits<std::int16_t>::min() &&
                                      dayCount <= std::numeric_limits<std::int16_t>::max()
                                  ? static_cast<std::int16_t>(dayCount)
                                  : std::int16_t{0};
    if (!PeriodInRange(static_cast<int>(dayCount)))
        return refused(kFrom, DesiccationMessage(static_cast<int>(dayCount)), days);
    return TrialPeriod{kFrom, days, std::nullopt};
}

TrialPeriod fromGroup(const TrialRow& row)
{
    const std::optional<int> days = GroupDays(row.group);
    if (!days)
        return refused(TrialPeriod::From::Group,
                       "The maturity group => ( " + std::string(row.group) +
                           " ) is none of First early, Early, Mid-early, Mid, Mid-late, Late");
    return TrialPeriod{TrialPeriod::From::Group, static_cast<std::int16_t>(*days), std::nullopt};
}

} // namespace

TrialPeriod ReadTrialPeriod(const TrialRow& row, int year, bool commaIsPoint, DateOrder order)
{
    if (!IsBlank(row.period))
        return fromDays(row, commaIsPoint);
    if (!IsBlank(row.budding) || !IsBlank(row.desiccation))
        return fromDesiccation(row, year, order);
    if (!IsBlank(row.group))
        return fromGroup(row);
    return TrialPeriod{};
}

} // namespace quarven
