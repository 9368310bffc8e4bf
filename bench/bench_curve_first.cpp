// The first Ctrl+G of a session: the curve module is loaded, and Qt Charts
// and Qt SVG with it, then the window is made and painted on a full season.
// A process loads the module once, so scripts/bench.sh runs this in fresh
// processes and takes the median. This program does not link the curve
// window, so nothing of Qt Charts is loaded before the timer starts.
#include "season.h"
#include "support/main_window_fixture.h"
#include "ui/curve_loader.h"

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
    const bench::Season season = bench::FullSeason();
    ui.sNx->setText(QStringLiteral("365"));
    QStringList dates;
    QStringList levels;
    for (std::size_t i = 0; i < season.dates.size(); ++i) {
        dates.append(QString::fromStdString(season.dates[i]));
        levels.append(QString::fromStdString(season.levels[i]));
    }
    test::setItems(ui.sTx, dates);
    test::setItems(ui.sX, levels);
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
        std::unique_ptr<QWidget> curve(
            entry()({ui.sTx, ui.sX, ui.sNx, ui.sQ, [] { return bench::kSeasonYear; }},
                    g_main->dialogs, &g_main->window()));
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    g_main = std::make_unique<test::MainWindowFixture>();
    g_main->open(bench::kSeasonYear);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_main.reset();
    return 0;
}
