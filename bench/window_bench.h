// What the benchmarks of the windows share: one main window on the offscreen
// platform with scripted dialogs (any dialog stops the run), and a full
// season typed into its table.
#pragma once

#include "season.h"
#include "support/main_window_fixture.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>

#include <functional>
#include <memory>

namespace quarven::bench {

// The count set to 365 and the season's dates and levels in the lists.
inline void FillSeason(const test::MainWindowControls& ui)
{
    const Season season = FullSeason();
    ui.sNx->setText(QString::number(season.dates.size()));
    QStringList dates;
    QStringList levels;
    for (std::size_t i = 0; i < season.dates.size(); ++i) {
        dates.append(QString::fromStdString(season.dates[i]));
        levels.append(QString::fromStdString(season.levels[i]));
    }
    test::setItems(ui.sTx, dates);
    test::setItems(ui.sX, levels);
}

// Opens the main window into main, calls ready, runs the benchmarks.
inline int RunWithMainWindow(int argc, char** argv, std::unique_ptr<test::MainWindowFixture>& main,
                             const std::function<void()>& ready = {})
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    main = std::make_unique<test::MainWindowFixture>();
    main->open(kSeasonYear);
    if (ready)
        ready();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    main.reset();
    return 0;
}

} // namespace quarven::bench
