// A value axis from 0 to a round end, in steps of 1, 2 or 5 times a power of
// ten, shared by the report's charts.
#pragma once

namespace quarven {

struct ChartScale {
    double top = 1.0;  // the axis' end, a whole number of steps
    double step = 0.2; // between ticks
    int decimals = 1;  // of the ticks' labels
};

// About `ticks` steps to reach `largest`; an axis of 0 to 1 when it is not
// above 0.
[[nodiscard]] ChartScale NiceScale(double largest, int ticks);

} // namespace quarven
