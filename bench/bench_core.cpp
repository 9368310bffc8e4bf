// Calculate on a full season in the core, against the same season read with
// sscanf and strtod and summed in a plain loop.
#include "core/loss_calculation.h"
#include "season.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

using quarven::bench::FullSeason;
using quarven::bench::kSeasonYear;

quarven::CalculationInput seasonInput()
{
    const quarven::bench::Season season = FullSeason();
    quarven::CalculationInput input;
    input.dates = season.dates;
    input.levels = season.levels;
    input.countText = std::to_string(season.dates.size());
    input.periodText = "52";
    input.currentYear = kSeasonYear;
    return input;
}

void BM_CalculateSeason(benchmark::State& state)
{
    const quarven::CalculationInput input = seasonInput();
    // A message or silence would time the wrong path.
    const quarven::CalculationOutcome check = quarven::Calculate(input);
    if (check.kind != quarven::CalculationOutcome::Kind::Results || check.audpc.empty()) {
        state.SkipWithError("the season does not reach the results");
        return;
    }
    state.SetLabel("audpc " + check.audpc + ", losses " + check.losses);
    for (auto _ : state) {
        quarven::CalculationOutcome outcome = quarven::Calculate(input);
        benchmark::DoNotOptimize(outcome);
    }
}
BENCHMARK(BM_CalculateSeason)->Unit(benchmark::kMicrosecond);

// The least any calculator would do with the same texts: read them with the
// C library (this process never leaves the C locale) and sum the trapezoids.
void BM_Baseline_PlainLoop(benchmark::State& state)
{
    const quarven::CalculationInput input = seasonInput();
    static constexpr int cumulative[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    double check = 0.0;
    for (auto _ : state) {
        double audpc = 0.0;
        int previousDay = 0;
        double previousLevel = 0.0;
        for (std::size_t i = 0; i < input.dates.size(); ++i) {
            int day = 0;
            int month = 0;
            if (std::sscanf(input.dates[i].c_str(), "%d/%d", &day, &month) != 2)
                std::abort();
            const int serial = cumulative[month - 1] + day;
            const double level = std::strtod(input.levels[i].c_str(), nullptr);
            if (i > 0)
                audpc += (previousLevel + level) * (serial - previousDay) / 2;
            previousDay = serial;
            previousLevel = level;
        }
        check = audpc;
        benchmark::DoNotOptimize(audpc);
    }
    state.SetLabel("audpc " + std::to_string(static_cast<long>(check + 0.5)));
}
BENCHMARK(BM_Baseline_PlainLoop)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
