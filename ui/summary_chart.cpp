#include "summary_chart.h"

#include "core/value_conventions.h"
#include "trial/trial_columns.h"
#include "ui/curve_loader.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <optional>

namespace quarven {
namespace {

class SummaryChart : public QChartView, public GroupChart {
    Q_OBJECT
public:
    explicit SummaryChart(QWidget* parent) : QChartView(new QChart, parent)
    {
        setObjectName(QStringLiteral("chart"));
        setAccessibleName(tr("Mean relative AUDPC by group"));
        setFocusPolicy(Qt::StrongFocus);
        setMinimumHeight(220);
        setRenderHint(QPainter::Antialiasing);
        chart()->legend()->hide();
        chart()->setTitle(tr("Mean relative AUDPC (bars) and standard deviation (lines)"));
    }

    [[nodiscard]] QWidget* widget() override { return this; }

    // A mean or deviation that is not a number is none: the group has no
    // computed plot, or only one.
    void setGroups(const QStringList& names, const QList<double>& means,
                   const QList<double>& deviations) override
    {
        QChart* shown = chart();
        shown->removeAllSeries();
        // The chart deletes the series it removes but hands removed axes back.
        for (QAbstractAxis* axis : shown->axes()) {
            shown->removeAxis(axis);
            delete axis;
        }
        // Rounded as the summary's table and file are.
        const auto text = [](double value) {
            return QString::fromStdString(
                FormatDecimals(value, kMeasures[kRelativeAudpc].summaryDecimals));
        };
        const auto valueAt = [](const QList<double>& values, qsizetype i) {
            return i < values.size() && std::isfinite(values[i]) ? std::optional(values[i])
                                                                 : std::nullopt;
        };
        auto* bars = new QBarSet(tr("mean"));
        auto* series = new QBarSeries;
        double top = 0.0;
        QString description;
        for (qsizetype i = 0; i < names.size(); ++i) {
            const std::optional<double> mean = valueAt(means, i);
            const std::optional<double> deviation = valueAt(deviations, i);
            bars->append(mean.value_or(0.0));
            top = std::max(top, mean.value_or(0.0) + deviation.value_or(0.0));
            if (!mean)
                description += tr("%1: no computed plot. ").arg(names[i]);
            else if (!deviation)
                description += tr("%1: mean %2, no SD. ").arg(names[i], text(*mean));
            else
                description +=
                    tr("%1: mean %2, SD %3. ").arg(names[i], text(*mean), text(*deviation));
        }
        series->append(bars);
        shown->addSeries(series);
        auto* groups = new QBarCategoryAxis;
        groups->append(names);
        auto* values = new QValueAxis;
        values->setRange(0.0, top > 0.0 ? top * 1.1 : 1.0);
        values->setLabelFormat(QStringLiteral("%.3f"));
        shown->addAxis(groups, Qt::AlignBottom);
        shown->addAxis(values, Qt::AlignLeft);
        series->attachAxis(groups);
        series->attachAxis(values);
        for (qsizetype i = 0; i < names.size(); ++i) {
            const std::optional<double> mean = valueAt(means, i);
            const std::optional<double> deviation = valueAt(deviations, i);
            if (!mean || !deviation || *deviation <= 0.0)
                continue;
            auto* whisker = new QLineSeries;
            whisker->append(double(i), std::max(0.0, *mean - *deviation));
            whisker->append(double(i), *mean + *deviation);
            whisker->setPen(QPen(Qt::black, 2));
            shown->addSeries(whisker);
            whisker->attachAxis(groups);
            whisker->attachAxis(values);
        }
        setAccessibleDescription(description.trimmed());
    }
};

} // namespace

GroupChart* MakeSummaryChart(QWidget* parent)
{
    return new SummaryChart(parent);
}

} // namespace quarven

#include "summary_chart.moc"
