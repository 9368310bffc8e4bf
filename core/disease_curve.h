// The disease progress curve of the assessment table, as far as the table is
// valid: the points that Calculate integrates, in row order, and why the
// curve stops short when it does. The curve window draws it; the area under
// the points is the AUDPC.
#pragma once

#include "core/value_conventions.h"

#include <string>
#include <vector>

namespace quarven {

struct CurvePoint {
    int row = 0; // 0-based row of the table
    Date date;   // in the current year
    double level = 0.0;
};

struct DiseaseCurve {
    std::vector<CurvePoint> points;
    // Why the curve stops before the last row, in Calculate's words where
    // Calculate has any; empty when every row is drawn.
    std::string stop;
};

// Rows are read as Calculate reads them: as far as the count and both
// columns reach.
[[nodiscard]] DiseaseCurve CurveOf(const std::vector<std::string>& dates,
                                   const std::vector<std::string>& levels,
                                   const std::string& countText, int currentYear);

} // namespace quarven
