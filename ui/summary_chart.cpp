#include "summary_chart.h"

#include "report/ranked_chart.h"
#include "ui/curve_loader.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace quarven {
namespace {

// The bars, painted only where they are exposed: a thousand groups cost a
// screenful of bars.
class Bars : public QWidget {
public:
    explicit Bars(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

    void setChart(std::unique_ptr<RankedChart> chart)
    {
        m_chart = std::move(chart);
        const QFontMetricsF metrics(font(), this);
        setMinimumHeight(int(std::ceil(RankedChart::height(m_chart->size(), metrics))));
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        // White as the report is: the bars paint their words in black.
        painter.fillRect(event->rect(), Qt::white);
        if (!m_chart || m_chart->size() == 0)
            return;
        const QFontMetricsF metrics(font(), this);
        // Bar i begins where the height of i bars ends, less the margin below.
        const qreal above = RankedChart::height(0, metrics);
        const qreal row = RankedChart::height(1, metrics) - above;
        const qreal top = qreal(event->rect().top()) - (above - metrics.lineSpacing() * 0.5);
        const std::size_t first =
            top <= 0.0 ? 0 : std::min(m_chart->size() - 1, std::size_t(top / row));
        const std::size_t count = std::size_t(std::ceil(event->rect().height() / row)) + 2;
        const qreal from = first == 0 ? 0.0 : RankedChart::height(first, metrics) - above;
        painter.setRenderHint(QPainter::Antialiasing);
        // A margin either side, so that no name or value touches the frame.
        const qreal margin = metrics.averageCharWidth();
        m_chart->paint(painter, QRectF(margin, from, width() - 2.0 * margin, height() - from),
                       first, count);
    }

private:
    std::unique_ptr<RankedChart> m_chart;
};

class SummaryChart : public QScrollArea, public GroupChart {
    Q_OBJECT
public:
    explicit SummaryChart(QWidget* parent) : QScrollArea(parent), m_bars(new Bars(this))
    {
        setObjectName(QStringLiteral("chart"));
        setAccessibleName(tr("Mean relative AUDPC by group"));
        setFocusPolicy(Qt::StrongFocus);
        setMinimumHeight(220);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidget(m_bars);
    }

    [[nodiscard]] QWidget* widget() override { return this; }

    void setGroups(const ChartGroups& groups) override
    {
        const auto valueAt = [](const QList<double>& values, qsizetype i) {
            return i < values.size() && std::isfinite(values[i]) ? std::optional(values[i])
                                                                 : std::nullopt;
        };
        std::vector<ChartBar> bars;
        bars.reserve(std::size_t(groups.names.size()));
        for (qsizetype i = 0; i < groups.names.size(); ++i)
            bars.push_back({groups.names[i], valueAt(groups.means, i),
                            valueAt(groups.deviations, i), valueAt(groups.standards, i)});
        auto chart = std::make_unique<RankedChart>(std::move(bars));
        setAccessibleDescription(chart->description());
        m_bars->setChart(std::move(chart));
    }

private:
    Bars* m_bars;
};

} // namespace

GroupChart* MakeSummaryChart(QWidget* parent)
{
    return new SummaryChart(parent);
}

} // namespace quarven

#include "summary_chart.moc"
