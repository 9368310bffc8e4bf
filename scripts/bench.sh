#!/usr/bin/env bash
# Builds Quarven and its benchmarks in build-bench/ (Release) and runs them:
# Calculate on a full season (core and window), typing a large count and
# scrolling the table it builds, pasting the largest table (offscreen), and
# start-up against a baseline window under a private Xvfb. Prints medians and
# ratios against baselines measured in the same run; raw results go to
# build-bench/results/.
#
#   bash scripts/bench.sh [--quick]
#
# Exits 3 when a target is missed, non-zero otherwise on any failure.
# Installs what is missing with apt (through sudo when not root).
set -euo pipefail

cd "$(dirname "$0")/.."

core_reps=21
window_reps=15
startup_runs=41
if [ "${1:-}" = "--quick" ]; then
    core_reps=5
    window_reps=3
    startup_runs=5
fi

packages=(cmake g++ make qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev libcsv-dev libzip-dev libexpat1-dev libxlsxwriter-dev
    fonts-liberation libbenchmark-dev xvfb libx11-dev
    libxdamage-dev jq)
bash scripts/install-missing.sh "${packages[@]}"

if [ ! -f build-bench/CMakeCache.txt ]; then
    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUARVEN_BENCHMARKS=ON
fi
cmake --build build-bench -j2 --target quarven bench_core bench_window bench_curve bench_curve_first \
    baseline_startup startup_probe

results=build-bench/results
mkdir -p "$results"
runtime=$(mktemp -d)
chmod 700 "$runtime"
xvfb=""
cleanup() {
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$runtime"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$runtime

# Repetitions of different benchmarks are shuffled together, so that the
# machine's drift falls on each and on its baseline alike.
common=(--benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
    --benchmark_out_format=json)

echo "== Calculate on a full season, core ($core_reps repetitions)"
build-bench/bench/bench_core --benchmark_repetitions="$core_reps" "${common[@]}" \
    --benchmark_out="$results/core.json"

echo "== Main window offscreen ($window_reps repetitions)"
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_window \
    --benchmark_repetitions="$window_reps" "${common[@]}" --benchmark_out="$results/window.json"

echo "== Disease progress curve offscreen ($window_reps repetitions)"
QT_QPA_PLATFORM=offscreen build-bench/bench/bench_curve \
    --benchmark_repetitions="$window_reps" "${common[@]}" --benchmark_out="$results/curve.json"
# Loading the module happens once a process: one fresh process a sample.
: >"$results/first-opening.txt"
for _ in $(seq "$window_reps"); do
    QT_QPA_PLATFORM=offscreen build-bench/bench/bench_curve_first --benchmark_format=json \
        2>/dev/null |
        jq -r '.benchmarks[0].real_time' >>"$results/first-opening.txt"
done

echo "== Start-up under Xvfb ($startup_runs runs each)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$results/xvfb.display" \
    >"$results/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$results/xvfb.display" ] && break
    sleep 0.1
done
[ -s "$results/xvfb.display" ] || { echo "Xvfb did not start" >&2; exit 1; }
startup_status=0
DISPLAY=":$(cat "$results/xvfb.display")" build-bench/bench/startup_probe \
    --runs "$startup_runs" --settle 300 --target-shown 1.0 --target-cpu 1.10 \
    --target-peak 1.05 --csv "$results/startup.csv" \
    baseline "Quarven start-up baseline" build-bench/bench/baseline_startup \
    quarven "Calculation of Quarven " build-bench/app/quarven |
    tee "$results/startup.txt" || startup_status=$?
if [ "$startup_status" -ne 0 ] && [ "$startup_status" -ne 3 ]; then
    echo "The start-up probe failed" >&2
    exit 1
fi

# The median of one benchmark in milliseconds; a field other than real_time
# (a counter) is taken as it is.
median() {
    jq -r --arg name "$2" --arg field "${3:-real_time}" '
        .benchmarks[] | select(.aggregate_name == "median" and .run_name == $name)
        | if $field == "real_time" then
              .real_time * ({"ns": 1e-6, "us": 1e-3, "ms": 1, "s": 1e3}[.time_unit])
          else .[$field] end' "$1"
}
verdict() { awk -v ok="$1" 'BEGIN { print (ok ? "met" : "MISSED") }'; }
missed=$([ "$startup_status" -eq 3 ] && echo 1 || echo 0)

calculate=$(median "$results/core.json" BM_CalculateSeason)
plain=$(median "$results/core.json" BM_Baseline_PlainLoop)
through=$(median "$results/window.json" BM_CalculateThroughWindow/manual_time)
typing=$(median "$results/window.json" BM_TypeLargeCount/manual_time)
uniform=$(median "$results/window.json" BM_Baseline_AddItems/uniform_rows/manual_time)
default=$(median "$results/window.json" BM_Baseline_AddItems/default_rows/manual_time)
scroll=$(median "$results/window.json" BM_ScrollLargeTable/manual_time)
paste=$(median "$results/window.json" BM_PasteLargestTable/manual_time)
refuse=$(median "$results/window.json" BM_RefusePasteOf50MB/manual_time)
scroll_base=$(median "$results/window.json" BM_Baseline_Scroll/manual_time)
slowest=$(median "$results/window.json" BM_ScrollLargeTable/manual_time slowest_frame_ms)
slowest_base=$(median "$results/window.json" BM_Baseline_Scroll/manual_time slowest_frame_ms)

open_curve=$(median "$results/curve.json" BM_OpenCurve/manual_time)
redraw=$(median "$results/curve.json" BM_RedrawAfterOneCell/manual_time)
bare_chart=$(median "$results/curve.json" BM_Baseline_BareChart/manual_time)
first_opening=$(sort -g "$results/first-opening.txt" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')

calculate_ok=$(awk -v t="$calculate" 'BEGIN { print (t < 5) }')
typing_ratio=$(awk -v t="$typing" -v b="$uniform" 'BEGIN { printf "%.2f", t / b }')
typing_ok=$(awk -v t="$typing" -v r="$typing_ratio" 'BEGIN { print (r <= 1.5 && t < 500) }')
redraw_ok=$(awk -v t="$redraw" 'BEGIN { print (t < 16) }')
paste_ok=$(awk -v t="$paste" 'BEGIN { print (t < 2000) }')
[ "$calculate_ok" -eq 1 ] && [ "$typing_ok" -eq 1 ] && [ "$redraw_ok" -eq 1 ] &&
    [ "$paste_ok" -eq 1 ] || missed=1

echo
echo "== Summary (medians; machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo |
    cut -d: -f2 | sed 's/^ *//'), $(date -u '+%Y-%m-%d %H:%M UTC'))"
awk -v c="$calculate" -v p="$plain" -v w="$through" -v ok="$(verdict "$calculate_ok")" 'BEGIN {
    printf "Calculate, 365 days, core:      %.3f ms (target < 5 ms: %s)\n", c, ok
    printf "  baseline sscanf/strtod loop:  %.3f ms, ratio %.2f\n", p, c / p
    printf "  through the window (Command1): %.3f ms\n", w }'
awk -v t="$typing" -v u="$uniform" -v d="$default" -v r="$typing_ratio" \
    -v ok="$(verdict "$typing_ok")" 'BEGIN {
    printf "Typing 32767 into the count box: %.1f ms (5 rebuilds, 36405 rows per list)\n", t
    printf "  baseline addItems, 3 lists x 36405 rows, uniform rows: %.1f ms, ratio %s\n", u, r
    printf "  target: ratio <= 1.5 and < 500 ms: %s\n", ok
    printf "  (same baseline, default non-uniform rows: %.1f ms)\n", d }'
awk -v s="$scroll" -v b="$scroll_base" -v m="$slowest" -v mb="$slowest_base" 'BEGIN {
    printf "Scrolling 3 lists of 32767 rows to the end and back, painted: %.2f ms (%.2f ms a frame, slowest %.2f ms)\n", s, s / 6, m
    printf "  baseline lists: %.2f ms (%.2f ms a frame, slowest %.2f ms), ratio %.2f\n", b, b / 6, mb, s / b }'
awk -v p="$paste" -v r="$refuse" -v ok="$(verdict "$paste_ok")" 'BEGIN {
    printf "Pasting 32767 rows into a table of 3: %.1f ms (target < 2000 ms: %s)\n", p, ok
    printf "  a clipboard of 50 MB refused: %.1f ms\n", r }'
awk -v o="$open_curve" -v r="$redraw" -v b="$bare_chart" -v ok="$(verdict "$redraw_ok")" 'BEGIN {
    printf "Curve of 365 assessments: opened and painted %.2f ms; redrawn and painted after one cell %.2f ms (target < 16 ms: %s)\n", o, r, ok
    printf "  baseline bare chart, 365 points replaced and painted: %.2f ms, ratio %.2f\n", b, r / b }'
awk -v f="$first_opening" 'BEGIN {
    printf "  first opening of a session, loading the curve module and Qt Charts: %.2f ms\n", f }'
sed -n '/^start-up/,$p' "$results/startup.txt"
[ "$missed" -eq 0 ] || exit 3
