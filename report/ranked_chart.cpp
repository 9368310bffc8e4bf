#include "core/value_conventions.h"
#include "trial/trial_summary.h"

#include "ranked_chart.h"

#include "chart_scale.h"

#include <QPainter>

#include <algorithm>

namespace quarven {
namespace {

const QColor kBar(0x5b, 0x8c, 0xc4);
const QColor kStandard(0xe0, 0x8a, 0x2c);
const QColor kGrid(0xd0, 0xd0, 0xd0);
const QColor kQuiet(0x70, 0x70, 0x70);

// A name wider than this share of the chart is elided on the chart; the
// description keeps it whole.
constexpr qreal kMostLabelShare = 0.35;
constexpr qreal kMostValueShare = 0.3;

QString decimals(double value, int places)
{
    return QString::fromStdString(FormatDecimals(value, places));
}

// A declared value as typed: 5, 6.5.
QString declared(double value)
{
    return QString::number(value, 'g', 15);
}

QString valueText(const ChartBar& bar)
{
    QString text = bar.mean ? decimals(*bar.mean, kMeasures[kRelativeAudpc].summaryDecimals)
                            : QStringLiteral("no computed plot");
    if (bar.standard)
        text += QStringLiteral("  standard %1").arg(declared(*bar.standard));
    return text;
}

qreal rowHeight(const QFontMetricsF& metrics)
{
    return metrics.lineSpacing() * 1.4;
}

qreal axisHeight(const QFontMetricsF& metrics)
{
    return metrics.lineSpacing() * 1.5;
}

} // namespace

RankedChart::RankedChart(std::vector<ChartBar> bars) : m_bars(std::move(bars))
{
    double top = 0.0;
    for (const ChartBar& bar : m_bars)
        if (bar.mean)
            top = std::max(top, *bar.mean + bar.sd.value_or(0.0));
    m_scale = NiceScale(top, 5);
}

qreal RankedChart::height(std::size_t count, const QFontMetricsF& metrics)
{
    return axisHeight(metrics) + static_cast<qreal>(count) * rowHeight(metrics) +
           metrics.lineSpacing() * 0.5;
}

std::size_t RankedChart::fitting(qreal height, const QFontMetricsF& metrics)
{
    const qreal rows =
        (height - axisHeight(metrics) - metrics.lineSpacing() * 0.5) / rowHeight(metrics);
    return rows < 1.0 ? 1 : static_cast<std::size_t>(rows);
}

void RankedChart::paint(QPainter& painter, const QRectF& rect, std::size_t first,
                        std::size_t count) const
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal pad = metrics.averageCharWidth();
    const std::size_t last = std::min(m_bars.size(), first + count);
    const QString font =
        painter.font().key() + QLatin1Char('@') + QString::number(painter.device()->logicalDpiX());
    if (m_widths.font != font) {
        m_widths = {font, 0.0, 0.0};
        for (const ChartBar& bar : m_bars) {
            m_widths.labels = std::max(m_widths.labels, metrics.horizontalAdvance(bar.name));
            m_widths.values = std::max(m_widths.values, metrics.horizontalAdvance(valueText(bar)));
        }
    }
    const qreal labels = std::min(m_widths.labels, rect.width() * kMostLabelShare);
    const qreal values = std::min(m_widths.values, rect.width() * kMostValueShare);
    const qreal left = rect.left() + labels + pad;
    const qreal width = std::max(rect.right() - values - 2.0 * pad - left, pad);
    const auto xOf = [&](double value) {
        return left + width * std::clamp(value / m_scale.top, 0.0, 1.0);
    };
    const qreal row = rowHeight(metrics);
    const qreal barsTop = rect.top() + axisHeight(metrics);
    const qreal barsBottom = barsTop + row * static_cast<qreal>(last - first);

    painter.save();
    const qreal thin = std::max(metrics.lineWidth(), 1.0);
    painter.setPen(QPen(kGrid, thin));
    for (int tick = 0; tick * m_scale.step <= m_scale.top * (1.0 + 1e-9); ++tick) {
        const double value = tick * m_scale.step;
        const qreal x = xOf(value);
        painter.setPen(QPen(kGrid, thin));
        painter.drawLine(QPointF(x, barsTop), QPointF(x, barsBottom));
        painter.setPen(kQuiet);
        const QString label = decimals(value, m_scale.decimals);
        const qreal labelWidth = metrics.horizontalAdvance(label);
        painter.drawText(QPointF(x - labelWidth / 2.0, barsTop - metrics.descent() - thin), label);
    }

    for (std::size_t i = first; i < last; ++i) {
        const ChartBar& bar = m_bars[i];
        const qreal y = barsTop + row * static_cast<qreal>(i - first);
        const qreal middle = y + row / 2.0;
        painter.setPen(Qt::black);
        painter.drawText(QRectF(rect.left(), y, labels, row), Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(bar.name, Qt::ElideMiddle, labels));
        qreal end = left;
        if (bar.mean) {
            const QRectF box(left, y + row * 0.2, xOf(*bar.mean) - left, row * 0.6);
            painter.fillRect(box, bar.standard ? kStandard : kBar);
            if (bar.standard) {
                painter.setPen(QPen(kStandard.darker(160), thin));
                painter.drawRect(box);
            }
            end = box.right();
            if (bar.sd && *bar.sd > 0.0) {
                const qreal from = xOf(*bar.mean - *bar.sd);
                const qreal to = xOf(*bar.mean + *bar.sd);
                const qreal cap = row * 0.15;
                painter.setPen(QPen(Qt::black, thin));
                painter.drawLine(QPointF(from, middle), QPointF(to, middle));
                painter.drawLine(QPointF(from, middle - cap), QPointF(from, middle + cap));
                painter.drawLine(QPointF(to, middle - cap), QPointF(to, middle + cap));
                end = std::max(end, to);
            }
        }
        painter.setPen(bar.mean ? Qt::black : kQuiet);
        painter.drawText(QRectF(end + pad, y, rect.right() - end - pad, row),
                         Qt::AlignLeft | Qt::AlignVCenter, valueText(bar));
    }
    painter.restore();
}

QString RankedChart::description() const
{
    QStringList parts;
    for (const ChartBar& bar : m_bars) {
        QString part = bar.name;
        if (bar.standard)
            part += QStringLiteral(", standard of value %1").arg(declared(*bar.standard));
        if (!bar.mean)
            part += QStringLiteral(": no computed plot");
        else if (!bar.sd)
            part += QStringLiteral(": mean relative AUDPC %1, no SD")
                        .arg(decimals(*bar.mean, kMeasures[kRelativeAudpc].summaryDecimals));
        else
            part += QStringLiteral(": mean relative AUDPC %1, SD %2")
                        .arg(decimals(*bar.mean, kMeasures[kRelativeAudpc].summaryDecimals),
                             decimals(*bar.sd, kMeasures[kRelativeAudpc].summaryDecimals));
        parts.append(part + QLatin1Char('.'));
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace quarven
