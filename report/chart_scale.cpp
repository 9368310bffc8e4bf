#include "chart_scale.h"

#include <algorithm>
#include <cmath>

namespace quarven {

ChartScale NiceScale(double largest, int ticks)
{
    if (!(largest > 0.0) || !std::isfinite(largest))
        largest = 1.0;
    const double rough = largest / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10.0 * power;
    for (const double times : {1.0, 2.0, 5.0})
        if (times * power >= rough) {
            step = times * power;
            break;
        }
    ChartScale scale;
    scale.step = step;
    // The tolerance keeps a largest value that is a whole number of steps,
    // give or take the last bit, from growing the axis by a step.
    scale.top = std::ceil(largest / step - 1e-9) * step;
    scale.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    return scale;
}

} // namespace quarven
