#include "disease_curve.h"

#include "core/loss_calculation.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace quarven {
namespace {

// Calculate ends silently at a blank date; the curve says where it waits.
std::string noDate(std::size_t row)
{
    return "The curve stops before assessment #" + SignedText(static_cast<int>(row) + 1) +
           ", which has no date yet.";
}

} // namespace

DiseaseCurve CurveOf(const std::vector<std::string>& dates, const std::vector<std::string>& levels,
                     const std::string& countText, int currentYear)
{
    DiseaseCurve curve;
    const int count = std::max<int>(ReadInt16(countText).value_or(0), 0);
    const std::size_t rows =
        std::min({dates.size(), levels.size(), static_cast<std::size_t>(count)});
    if (rows == 0)
        return curve;

    const std::optional<Date> first = DateOf(dates[0], currentYear);
    if (!first) {
        curve.stop = noDate(0);
        return curve;
    }
    curve.points.push_back({0, *first, ReadLevel(levels[0])});
    double audpc = 0.0;
    for (std::size_t i = 0; i + 1 < rows; ++i) {
        const std::optional<Date> next = DateOf(dates[i + 1], currentYear);
        const std::optional<std::int16_t> days = DayDifference(dates[i], dates[i + 1], currentYear);
        if (!next || !days) {
            curve.stop = noDate(i + 1);
            return curve;
        }
        const double x2 = ReadLevel(levels[i + 1]);
        const PairCheck check = AddPair(audpc, *days, curve.points.back().level, x2);
        if (check != PairCheck::Summed) {
            curve.stop = PairMessage(check, static_cast<long>(i));
            return curve;
        }
        curve.points.push_back({static_cast<int>(i) + 1, *next, x2});
    }
    return curve;
}

} // namespace quarven
