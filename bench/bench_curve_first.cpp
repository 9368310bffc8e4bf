// The first Ctrl+G of a session: the curve module is loaded, and Qt Charts
// and Qt SVG with it, then the window is made and painted on a full season.
// A process loads the module once, so scripts/bench.sh runs this in fresh
// processes and takes the median. This program does not link the curve
// window, so nothing of Qt Charts is loaded before the timer starts.
#include "ui/curve_loader.h"
#include "window_bench.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QLineEdit>

#include <memory>

namespace {

using namespace quarven;

std::unique_ptr<test::MainWindowFixture> g_main;

void BM_FirstOpeningWithTheModule(benchmark::State& state)
{
    const test::MainWindowControls ui(g_main->window());
    bench::FillSeason(ui);
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QLibrary module(QStringLiteral(QUARVEN_CURVE_MODULE));
        using Entry = CurveFactory (*)();
        const auto entry = reinterpret_cast<Entry>(module.resolve(kCurveFactorySymbol));
        if (!entry) {
            state.SkipWithError("the curve module did not load");
            break;
        }
        CurveView* made =
            entry()({ui.sTx, ui.sX, ui.sNx, ui.sQ, [] { return bench::kSeasonYear; }, {}},
                    g_main->dialogs, &g_main->window());
        std::unique_ptr<QWidget> curve(made->widget());
        curve->show();
        for (QWidget* widget : curve->findChildren<QWidget*>())
            if (widget->isVisible())
                widget->repaint();
        curve->repaint();
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_FirstOpeningWithTheModule)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return quarven::bench::RunWithMainWindow(argc, argv, g_main);
}
