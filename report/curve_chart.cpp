#include "core/value_conventions.h"

#include "curve_chart.h"

#include "chart_scale.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace quarven {
namespace {

// Told apart by people who do not see red and green apart (Okabe and Ito).
const std::array<QColor, 7> kColours{QColor(0x00, 0x72, 0xb2), QColor(0xd5, 0x5e, 0x00),
                                     QColor(0x00, 0x9e, 0x73), QColor(0xcc, 0x79, 0xa7),
                                     QColor(0x56, 0xb4, 0xe9), QColor(0xe6, 0x9f, 0x00),
                                     QColor(0x00, 0x00, 0x00)};
const QColor kGrid(0xd8, 0xd8, 0xd8);
const QColor kQuiet(0x60, 0x60, 0x60);

// Days between the dates on the axis; a week and its multiples past a week.
constexpr std::array<long, 12> kDaySteps{1, 2, 5, 7, 14, 21, 28, 42, 56, 91, 182, 365};

QString legendText(const CurveLine& line)
{
    QString text = line.name;
    if (line.standard)
        text += QStringLiteral(" (standard %1)").arg(QString::number(*line.standard, 'g', 15));
    text +=
        line.plots == 1 ? QStringLiteral(", 1 plot") : QStringLiteral(", %1 plots").arg(line.plots);
    return text;
}

struct Legend {
    qreal swatch = 0.0; // the line drawn before each name
    qreal column = 0.0; // an entry's width
    std::size_t columns = 1;
    std::size_t rows = 0;
    qreal row = 0.0;
    [[nodiscard]] qreal height() const { return row * static_cast<qreal>(rows); }
};

Legend legendOf(const std::vector<CurveLine>& lines, qreal width, const QFontMetricsF& metrics)
{
    Legend legend;
    legend.swatch = metrics.averageCharWidth() * 5.0;
    qreal widest = 0.0;
    for (const CurveLine& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(legendText(line)));
    legend.column = std::min(width, legend.swatch + widest + metrics.averageCharWidth() * 3.0);
    legend.columns = std::max<std::size_t>(1, static_cast<std::size_t>(width / legend.column));
    legend.rows = (lines.size() + legend.columns - 1) / legend.columns;
    legend.row = metrics.lineSpacing() * 1.3;
    return legend;
}

qreal plotHeight(qreal width)
{
    return width * 0.5;
}

QString dayText(long day)
{
    return QString::fromStdString(DayMonthText(DateOfDayNumber(day)));
}

void drawMarker(QPainter& painter, QPointF at, qreal size, bool square)
{
    const QRectF box(at.x() - size / 2.0, at.y() - size / 2.0, size, size);
    if (square)
        painter.drawRect(box);
    else
        painter.drawEllipse(box);
}

} // namespace

qreal CurveChartHeight(const std::vector<CurveLine>& lines, qreal width, const QPainter& painter)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    // The axis' title above, the dates and their title below, then the legend.
    return metrics.lineSpacing() * 5.0 + plotHeight(width) +
           legendOf(lines, width, metrics).height();
}

void PaintCurveChart(QPainter& painter, const QRectF& rect, const std::vector<CurveLine>& lines)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal line = metrics.lineSpacing();
    const qreal thin = std::max(metrics.lineWidth(), 1.0);

    long firstDay = 0;
    long lastDay = 0;
    double highest = 0.0;
    bool any = false;
    bool hasYear = false;
    for (const CurveLine& curve : lines)
        for (const auto& [day, level] : curve.points) {
            firstDay = any ? std::min(firstDay, day) : day;
            lastDay = any ? std::max(lastDay, day) : day;
            highest = std::max(highest, level);
            any = true;
            hasYear = hasYear || curve.hasYear;
        }
    if (lastDay == firstDay)
        lastDay = firstDay + 1;
    const ChartScale levels = NiceScale(std::min(highest, 100.0), 5);

    qreal labelWidth = 0.0;
    for (int tick = 0; tick * levels.step <= levels.top * (1.0 + 1e-9); ++tick)
        labelWidth =
            std::max(labelWidth, metrics.horizontalAdvance(QString::fromStdString(
                                     FormatDecimals(tick * levels.step, levels.decimals))));
    const qreal dayWidth = metrics.horizontalAdvance(QStringLiteral("00/00"));
    const QRectF plot(rect.left() + labelWidth + metrics.averageCharWidth(),
                      rect.top() + line * 1.5,
                      rect.width() - labelWidth - metrics.averageCharWidth() - dayWidth / 2.0,
                      plotHeight(rect.width()));
    const auto xOf = [&](long day) {
        return plot.left() + plot.width() * double(day - firstDay) / double(lastDay - firstDay);
    };
    const auto yOf = [&](double level) {
        return plot.bottom() - plot.height() * std::clamp(level / levels.top, 0.0, 1.0);
    };

    painter.save();
    painter.setPen(Qt::black);
    painter.drawText(QPointF(rect.left(), rect.top() + metrics.ascent()),
                     QStringLiteral("Foliage infected, % (mean over the group's plots)"));
    for (int tick = 0; tick * levels.step <= levels.top * (1.0 + 1e-9); ++tick) {
        const double value = tick * levels.step;
        const qreal y = yOf(value);
        painter.setPen(QPen(kGrid, thin));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(kQuiet);
        const QString label = QString::fromStdString(FormatDecimals(value, levels.decimals));
        painter.drawText(QPointF(plot.left() - metrics.averageCharWidth() / 2.0 -
                                     metrics.horizontalAdvance(label),
                                 y + metrics.ascent() / 2.5),
                         label);
    }
    long step = kDaySteps.back();
    for (const long days : kDaySteps)
        if (plot.width() * double(days) / double(lastDay - firstDay) >= dayWidth * 1.8) {
            step = days;
            break;
        }
    for (long day = firstDay; day <= lastDay; day += step) {
        const qreal x = xOf(day);
        painter.setPen(QPen(kGrid, thin));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(kQuiet);
        const QString label = dayText(day);
        painter.drawText(QPointF(x - metrics.horizontalAdvance(label) / 2.0,
                                 plot.bottom() + line * 0.2 + metrics.ascent()),
                         label);
    }
    painter.setPen(QPen(Qt::black, thin));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    QString axis = QStringLiteral("Date of assessment");
    if (hasYear) {
        const int from = DateOfDayNumber(firstDay).year;
        const int to = DateOfDayNumber(lastDay).year;
        axis += from == to ? QStringLiteral(", %1").arg(from)
                           : QStringLiteral(", %1 to %2").arg(from).arg(to);
    }
    painter.drawText(QPointF(plot.center().x() - metrics.horizontalAdvance(axis) / 2.0,
                             plot.bottom() + line * 1.4 + metrics.ascent()),
                     axis);

    painter.setRenderHint(QPainter::Antialiasing);
    const qreal marker = line * 0.35;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const CurveLine& curve = lines[i];
        QPen pen(kColours[i % kColours.size()], thin * 2.0);
        pen.setStyle(curve.standard ? Qt::DashLine : Qt::SolidLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        QPainterPath path;
        for (std::size_t p = 0; p < curve.points.size(); ++p) {
            const QPointF at(xOf(curve.points[p].first), yOf(curve.points[p].second));
            if (p == 0)
                path.moveTo(at);
            else
                path.lineTo(at);
        }
        painter.drawPath(path);
        painter.setPen(QPen(kColours[i % kColours.size()], thin));
        painter.setBrush(kColours[i % kColours.size()]);
        for (const auto& [day, level] : curve.points)
            drawMarker(painter, QPointF(xOf(day), yOf(level)), marker, curve.standard.has_value());
    }

    const Legend legend = legendOf(lines, rect.width(), metrics);
    const qreal legendTop = plot.bottom() + line * 3.0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const qreal x = rect.left() + legend.column * static_cast<qreal>(i % legend.columns);
        const qreal y = legendTop + legend.row * static_cast<qreal>(i / legend.columns);
        const qreal middle = y + legend.row / 2.0;
        QPen pen(kColours[i % kColours.size()], thin * 2.0);
        pen.setStyle(lines[i].standard ? Qt::DashLine : Qt::SolidLine);
        painter.setPen(pen);
        painter.drawLine(QPointF(x, middle), QPointF(x + legend.swatch * 0.8, middle));
        painter.setPen(QPen(kColours[i % kColours.size()], thin));
        painter.setBrush(kColours[i % kColours.size()]);
        drawMarker(painter, QPointF(x + legend.swatch * 0.4, middle), marker,
                   lines[i].standard.has_value());
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x + legend.swatch, y, legend.column - legend.swatch, legend.row),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(legendText(lines[i]), Qt::ElideMiddle,
                                            legend.column - legend.swatch));
    }
    painter.restore();
}

} // namespace quarven
