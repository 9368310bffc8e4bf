#include "summary_chart.h"

#include "ui/curve_loader.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

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
        auto* bars = new QBarSet(tr("mean"));
        auto* series = new QBarSeries;
        double top = 0.0;
        QString description;
        for (qsizetype i = 0; i < names.size(); ++i) {
            const double mean = i < means.size() ? means[i] : 0.0;
            const double deviation = i < deviations.size() ? deviations[i] : 0.0;
            bars->append(mean);
            top = std::max(top, mean + deviation);
            description += tr("%1: mean %2, SD %3. ")
                               .arg(names[i], QString::number(mean, 'f', 4),
                                    QString::number(deviation, 'f', 4));
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
            const double mean = i < means.size() ? means[i] : 0.0;
            const double deviation = i < deviations.size() ? deviations[i] : 0.0;
            if (deviation <= 0.0)
                continue;
            auto* whisker = new QLineSeries;
            whisker->append(double(i), std::max(0.0, mean - deviation));
            whisker->append(double(i), mean + deviation);
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
