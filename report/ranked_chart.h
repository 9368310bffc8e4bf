// The ranked chart of a summary: one horizontal bar per group, its mean
// relative AUDPC, in the order given (the summary's sort), each labelled with
// its group's name; the standards filled apart and carrying their declared
// value; one standard deviation either side of the mean as a thin whisker.
// It paints with QPainter alone into any painter and rectangle, so the same
// drawing serves a PDF as vectors and a widget on screen, and a long chart
// may be painted a page at a time on one scale.
#pragma once

#include "chart_scale.h"

#include <QFontMetricsF>
#include <QRectF>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

class QPainter;

namespace quarven {

struct ChartBar {
    QString name;
    std::optional<double> mean;     // none: no computed plot
    std::optional<double> sd;       // none: fewer than two
    std::optional<double> standard; // the declared value of a standard
};

class RankedChart {
public:
    explicit RankedChart(std::vector<ChartBar> bars);

    [[nodiscard]] std::size_t size() const { return m_bars.size(); }
    [[nodiscard]] const std::vector<ChartBar>& bars() const { return m_bars; }

    // The height of `count` bars with the axis above them, in the units of
    // the metrics (the font painted with, on the device painted on).
    [[nodiscard]] static qreal height(std::size_t count, const QFontMetricsF& metrics);
    // How many bars a height holds, at least one.
    [[nodiscard]] static std::size_t fitting(qreal height, const QFontMetricsF& metrics);

    // Bars first..first+count-1 at the top of rect, with the painter's font;
    // the scale is the whole chart's, so that pages painted apart agree.
    void paint(QPainter& painter, const QRectF& rect, std::size_t first, std::size_t count) const;

    // The data in words, in the order shown, for a screen reader and for text.
    [[nodiscard]] QString description() const;

private:
    std::vector<ChartBar> m_bars;
    ChartScale m_scale;
    // The widest name and value text, measured once for a font and device:
    // a chart painted page by page would measure every bar on each page.
    struct Widths {
        QString font;
        qreal labels = 0.0;
        qreal values = 0.0;
    };
    mutable Widths m_widths;
};

} // namespace quarven
