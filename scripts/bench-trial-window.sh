#!/usr/bin/env bash
# A generated trial opened in the Trial window, taken in turns with
# quarven --batch over the same file: the opening's time against the batch's
# (results file included), the memory the opening adds to the window against
# the batch's peak resident memory, the slowest column's sort, and the longest
# time the window gives no answer while filtering, copying every plot, going
# to the last plot and reading the file again after a write. By default
# 100,000 plots x 10 assessments (20 MB, long layout); with --million,
# 1,000,000 plots x 10 in the wide layout (37 MB), and a trial of one plot more,
# which the window refuses, for the memory its opening leaves behind. Builds
# build-bench/ (Release); the trials go to a temporary folder that is removed
# afterwards. Then the summary of a trial of 1,000 clones and its chart: the
# slowest column's sort, the chart redrawn, a standard typed. Prints medians.
#
#   bash scripts/bench-trial-window.sh [--quick] [--million]
#
# Targets: opening within 1 s of the batch's time, its added memory within 2x
# the batch's peak, every sort and every wait under 200 ms; the summary's
# sort under 50 ms, the chart's redrawing and a standard under 100 ms.
# Exits 3 when a target is missed, non-zero otherwise on any failure.
# Installs what is missing with apt (through sudo when not root).
set -euo pipefail

cd "$(dirname "$0")/.."

runs=11
plots=100000
layout=plot
for argument in "$@"; do
    case "$argument" in
    --quick) runs=3 ;;
    --million) plots=1000000 layout=wide-comma ;;
    *) echo "usage: bash scripts/bench-trial-window.sh [--quick] [--million]" >&2; exit 2 ;;
    esac
done
[ "$plots" = 1000000 ] && [ "$runs" = 11 ] && runs=5

# The same packages as scripts/bench.sh: build-bench/ configures all benchmarks.
packages=(cmake g++ make qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev libcsv-dev libzip-dev libexpat1-dev libxlsxwriter-dev
    fonts-liberation
    libbenchmark-dev libx11-dev libxdamage-dev time)
bash scripts/install-missing.sh "${packages[@]}"

if [ ! -f build-bench/CMakeCache.txt ]; then
    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUARVEN_BENCHMARKS=ON
fi
cmake --build build-bench -j2 --target quarven trial_generator bench_trial_window

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trial="$work/trial.csv"
build-bench/bench/trial_generator "$plots" 10 "$layout" "$trial"
refused=()
if [ "$plots" = 1000000 ]; then
    build-bench/bench/trial_generator "$((plots + 1))" 10 "$layout" "$work/refused.csv"
    refused=("$work/refused.csv")
fi
cat "$trial" >/dev/null # both start with the file in the page cache

now() { date +%s%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

fields=(openwait_ms open_ms window_kib extra_kib sort_ms filter_ms copy_ms goto_ms export_ms reread_ms)
[ "${#refused[@]}" -gt 0 ] && fields+=(told_kib refused_kib)
for _ in $(seq "$runs"); do
    rm -f "$work/results.csv"
    start=$(now)
    /usr/bin/time -f %M -o "$work/time.txt" build-bench/app/quarven --batch "$trial" \
        --output "$work/results.csv"
    end=$(now)
    echo "$(((end - start) / 1000000))" >>"$work/batch-ms.txt"
    tail -1 "$work/time.txt" >>"$work/batch-kib.txt"

    QT_QPA_PLATFORM=offscreen build-bench/bench/bench_trial_window "$trial" "${refused[@]}" \
        >"$work/window.txt"
    grep -q "^plots $plots$" "$work/window.txt" ||
        { echo "the Trial window did not list $plots plots" >&2; cat "$work/window.txt" >&2; exit 1; }
    for field in "${fields[@]}"; do
        awk -v f="$field" '$1 == f { print $2 }' "$work/window.txt" >>"$work/$field.txt"
    done
done

batch_ms=$(median <"$work/batch-ms.txt")
batch_kib=$(median <"$work/batch-kib.txt")
declare -A m
for field in "${fields[@]}"; do m[$field]=$(median <"$work/$field.txt"); done
awk -v b="$batch_ms" -v bk="$batch_kib" -v o="${m[open_ms]}" -v w="${m[window_kib]}" \
    -v e="${m[extra_kib]}" -v s="${m[sort_ms]}" -v f="${m[filter_ms]}" -v c="${m[copy_ms]}" \
    -v ow="${m[openwait_ms]}" -v g="${m[goto_ms]}" -v x="${m[export_ms]}" -v r="${m[reread_ms]}" -v t="${m[told_kib]:-0}" -v k="${m[refused_kib]:-}" \
    -v n="$runs" -v p="$plots" -v l="$layout" -v when="$(date -u '+%Y-%m-%d %H:%M UTC')" '
    function target(ms) { return ms < 200 ? "met" : "MISSED" }
    BEGIN {
        printf "%d plots x 10 assessments (%s), %d runs in turns, medians (%s)\n", p, l, n, when
        printf "batch           %.0f ms, peak RSS %.1f MiB\n", b, bk / 1024
        printf "Trial window    open %.0f ms: %.0f ms over the batch (target <= 1000: %s)\n", o, o - b,
            o - b <= 1000 ? "met" : "MISSED"
        printf "                memory added %.1f MiB: %.2fx the batch peak (target <= 2: %s), to a window of %.1f MiB\n",
            e / 1024, e / bk, e / bk <= 2 ? "met" : "MISSED", w / 1024
        printf "                slowest column sort %.1f ms (target < 200: %s)\n", s, target(s)
        printf "                longest wait: opening %.1f ms (%s), filter %.1f ms (%s), copy all %.1f ms (%s), go to the last plot %.1f ms (%s), read again %.1f ms (%s)\n",
            ow, target(ow), f, target(f), c, target(c), g, target(g), r, target(r)
        printf "                export plots (written and synced, not a target) %.1f ms\n", x
        if (k != "")
            printf "                memory added by a refused trial of one plot more: %.1f MiB while told, %.1f MiB after\n",
                t / 1024, k / 1024
    }' | tee "$work/summary.txt"

# The summary of 1,000 groups and its chart.
for _ in $(seq "$runs"); do
    QT_QPA_PLATFORM=offscreen build-bench/bench/bench_trial_window --summary 1000 >"$work/grouped.txt"
    for field in summary_sort_ms chart_ms standard_ms; do
        awk -v f="$field" '$1 == f { print $2 }' "$work/grouped.txt" >>"$work/$field.txt"
    done
done
awk -v s="$(median <"$work/summary_sort_ms.txt")" -v c="$(median <"$work/chart_ms.txt")" \
    -v t="$(median <"$work/standard_ms.txt")" 'BEGIN {
        printf "Summary of 1,000 groups: slowest column sort %.1f ms, chart included (target < 50: %s)\n",
            s, s < 50 ? "met" : "MISSED"
        printf "                chart redrawn %.1f ms, a standard typed until the chart shows it %.1f ms (target < 100: %s)\n",
            c, t, c < 100 && t < 100 ? "met" : "MISSED"
    }' | tee -a "$work/summary.txt"
! grep -q MISSED "$work/summary.txt" || exit 3
