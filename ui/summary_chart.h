// The Trial window's chart: each group's mean relative AUDPC as a bar, with a
// line from one standard deviation below the mean to one above. It lives in
// the curve module so that Qt Charts loads only when a trial is grouped.
#pragma once

class QWidget;

namespace quarven {

class GroupChart;

[[nodiscard]] GroupChart* MakeSummaryChart(QWidget* parent);

} // namespace quarven
