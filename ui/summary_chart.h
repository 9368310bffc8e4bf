// The Trial window's chart: each group's mean relative AUDPC as a horizontal
// bar carrying its name, in the summary's order, the standards apart with
// their declared value and one standard deviation either side as a whisker;
// it scrolls when the bars do not fit. It paints as the report's ranked
// chart does, and lives in the curve module with the other charts.
#pragma once

class QWidget;

namespace quarven {

class GroupChart;

[[nodiscard]] GroupChart* MakeSummaryChart(QWidget* parent);

} // namespace quarven
