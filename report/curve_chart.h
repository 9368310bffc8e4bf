// Mean disease progress curves on one chart: each group's mean level
// against the dates, on labelled axes, with a legend naming each group, its
// plots and, for a standard, its declared value. The standards are dashed so
// that the chart reads in black and white too. Painted with QPainter alone.
#pragma once

#include <QRectF>
#include <QString>

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

class QPainter;

namespace quarven {

struct CurveLine {
    QString name;
    std::optional<double> standard; // the declared value of a standard
    std::size_t plots = 0;
    bool hasYear = false;                        // label dates with their year
    std::vector<std::pair<long, double>> points; // day number, mean level
};

// The height the chart wants at a width, its legend included.
[[nodiscard]] qreal CurveChartHeight(const std::vector<CurveLine>& lines, qreal width,
                                     const QPainter& painter);

void PaintCurveChart(QPainter& painter, const QRectF& rect, const std::vector<CurveLine>& lines);

} // namespace quarven
