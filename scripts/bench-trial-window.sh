#!/usr/bin/env bash
# A generated trial of 100,000 plots x 10 assessments (20 MB, long layout)
# opened in the Trial window, taken in turns with quarven --batch over the
# same file: the opening's time against the batch's (results file included),
# the memory the opening adds to the window against the batch's peak resident
# memory, and the slowest column's sort. Builds build-bench/ (Release); the
# trial goes to a temporary folder that is removed afterwards. Prints medians.
#
#   bash scripts/bench-trial-window.sh [--quick]
#
# Targets: opening within 1 s of the batch's time, its added memory within 2x
# the batch's peak, every sort under 200 ms.
# Exits 3 when a target is missed, non-zero otherwise on any failure.
# Installs what is missing with apt (through sudo when not root).
set -euo pipefail

cd "$(dirname "$0")/.."

runs=11
[ "${1:-}" = "--quick" ] && runs=3
plots=100000

# The same packages as scripts/bench.sh: build-bench/ configures all benchmarks.
packages=(cmake g++ make qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev libcsv-dev libzip-dev libexpat1-dev
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
build-bench/bench/trial_generator "$plots" 10 plot "$trial"
cat "$trial" >/dev/null # both start with the file in the page cache

now() { date +%s%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

for _ in $(seq "$runs"); do
    rm -f "$work/results.csv"
    start=$(now)
    /usr/bin/time -f %M -o "$work/time.txt" build-bench/app/quarven --batch "$trial" \
        --output "$work/results.csv"
    end=$(now)
    echo "$(((end - start) / 1000000))" >>"$work/batch-ms.txt"
    tail -1 "$work/time.txt" >>"$work/batch-kib.txt"

    QT_QPA_PLATFORM=offscreen build-bench/bench/bench_trial_window "$trial" >"$work/window.txt"
    grep -q "^plots $plots$" "$work/window.txt" ||
        { echo "the Trial window did not list $plots plots" >&2; cat "$work/window.txt" >&2; exit 1; }
    for field in open_ms window_kib extra_kib sort_ms; do
        awk -v f="$field" '$1 == f { print $2 }' "$work/window.txt" >>"$work/$field.txt"
    done
done

batch_ms=$(median <"$work/batch-ms.txt")
batch_kib=$(median <"$work/batch-kib.txt")
open_ms=$(median <"$work/open_ms.txt")
window_kib=$(median <"$work/window_kib.txt")
extra_kib=$(median <"$work/extra_kib.txt")
sort_ms=$(median <"$work/sort_ms.txt")
awk -v b="$batch_ms" -v bk="$batch_kib" -v o="$open_ms" -v w="$window_kib" -v e="$extra_kib" -v s="$sort_ms" \
    -v n="$runs" -v p="$plots" -v when="$(date -u '+%Y-%m-%d %H:%M UTC')" '
    BEGIN {
        printf "%d plots x 10 assessments, %d runs in turns, medians (%s)\n", p, n, when
        printf "batch           %.0f ms, peak RSS %.1f MiB\n", b, bk / 1024
        printf "Trial window    open %.0f ms: %.0f ms over the batch (target <= 1000: %s)\n", o, o - b,
            o - b <= 1000 ? "met" : "MISSED"
        printf "                memory added %.1f MiB: %.2fx the batch peak (target <= 2: %s), to a window of %.1f MiB\n",
            e / 1024, e / bk, e / bk <= 2 ? "met" : "MISSED", w / 1024
        printf "                slowest column sort %.1f ms (target < 200: %s)\n", s,
            s < 200 ? "met" : "MISSED"
    }' | tee "$work/summary.txt"
! grep -q MISSED "$work/summary.txt" || exit 3
