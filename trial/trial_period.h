// A plot's tuberization period from its own columns of a trial file, read
// one way for the batch and for a plot opened in the window.
#pragma once

#include "trial_file.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quarven {

struct TrialPeriod {
    enum class From { Default, Days, Desiccation, Group };
    From from = From::Default; // the column that gave it; Default: none did
    // The days; on a refusal those the results show, or 0 when none were read.
    std::int16_t days = 0;
    std::optional<std::string> refusal;
};

// The period column comes first (0 there stands for the default, as in the
// period box), then the days from budding to desiccation, then the maturity
// group. Dates without a year fall in `year`.
[[nodiscard]] TrialPeriod ReadTrialPeriod(const TrialRow& row, int year, bool commaIsPoint,
                                          DateOrder order = DateOrder::DayFirst);

} // namespace quarven
