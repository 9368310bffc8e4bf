// The disease progress curve on a full season (365 daily assessments),
// offscreen: opening the window until it has painted once, and redrawing it
// after one level changes, until it has painted again. The baseline is a bare
// QChartView of the same size with one line of the same 365 points, replaced
// and repainted: what Qt Charts costs before anything of ours.
#include "ui/curve_window.h"
#include "window_bench.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLineSeries>
#include <QtTest>

#include <memory>

namespace {

using namespace quarven;

std::unique_ptr<test::MainWindowFixture> g_main;

double seconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Paints now what is due, rather than when the event loop gets round to it.
void paint(QWidget* window)
{
    for (QWidget* widget : window->findChildren<QWidget*>())
        if (widget->isVisible())
            widget->repaint();
    window->repaint();
}

void BM_OpenCurve(benchmark::State& state)
{
    LossEng& window = g_main->window();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        window.showCurve();
        QWidget* curve = window.curveWindow();
        paint(curve);
        state.SetIterationTime(seconds(timer));
        delete curve;
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_OpenCurve)->UseManualTime()->Unit(benchmark::kMillisecond);

// One level of the last row changes; the curve redraws and paints.
void BM_RedrawAfterOneCell(benchmark::State& state)
{
    LossEng& window = g_main->window();
    window.showCurve();
    auto* curve = qobject_cast<CurveWindow*>(window.curveWindow());
    paint(curve);
    QListWidgetItem* last = test::MainWindowControls(window).sX->item(364);
    bool high = false;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        last->setText(high ? QStringLiteral("100") : QStringLiteral("99.9"));
        curve->redraw();
        paint(curve);
        state.SetIterationTime(seconds(timer));
        high = !high;
    }
    delete curve;
}
BENCHMARK(BM_RedrawAfterOneCell)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Baseline_BareChart(benchmark::State& state)
{
    const bench::Season season = bench::FullSeason();
    QList<QPointF> points;
    for (std::size_t i = 0; i < season.levels.size(); ++i)
        points.append({double(i), std::stod(season.levels[i])});
    auto* chart = new QChart;
    auto* line = new QLineSeries;
    chart->addSeries(line);
    chart->createDefaultAxes();
    QChartView view(chart);
    view.resize(640, 400);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        qFatal("The baseline chart was not shown");
    bool high = false;
    for (auto _ : state) {
        points.back().setY(high ? 100.0 : 99.9);
        QElapsedTimer timer;
        timer.start();
        line->replace(points);
        paint(&view);
        state.SetIterationTime(seconds(timer));
        high = !high;
    }
}
BENCHMARK(BM_Baseline_BareChart)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return quarven::bench::RunWithMainWindow(argc, argv, g_main, [] {
        quarven::RegisterCurveFactory(&quarven::MakeCurveWindow);
        quarven::bench::FillSeason(quarven::test::MainWindowControls(g_main->window()));
    });
}
