#include "tuberization_rules.h"

#include "value_conventions.h"

namespace quarven {
namespace {

bool sameWithoutCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

} // namespace

bool PeriodInRange(int days)
{
    return days >= kShortestPeriod && days <= kLongestPeriod;
}

std::optional<int> GroupDays(std::string_view caption)
{
    caption = TrimmedBlanks(caption);
    for (const MaturityGroup& group : kMaturityGroups)
        if (sameWithoutCase(caption, group.caption))
            return group.days;
    return std::nullopt;
}

std::string PeriodRangeText()
{
    return "Duration of the tuberization stage usually makes from 10 to 130 days";
}

std::string DesiccationMessage(int dayCount)
{
    if (dayCount > kLongestPeriod)
        return "Tuberization stage (" + SignedText(dayCount) +
               ") usually does not exceed 4 months\r"
               "Insert a number of days between the budding and the dessiccation";
    return "Tuberization stage (" + SignedText(dayCount) +
           ") usually makes from 10 to 130 days\rDate input error";
}

} // namespace quarven
