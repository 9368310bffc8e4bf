#!/usr/bin/env bash
# The batch on a generated trial of 1,000,000 plots x 10 assessments in the
# long layout (about 200 MB), once sorted by plot and once by date: its time
# end to end (reading, computing, writing the results file) against `wc -l` on
# the same file, taken in turns in the same run, and its peak resident memory.
# Then the same plots in the wide layout with whole levels, separated by
# semicolons and by commas: a wide file streams, so its peak memory is the
# target there (its time is shown beside wc -l's for information).
# Builds build-bench/ (Release); the trials go to a temporary folder that is
# removed afterwards. Prints medians and ratios.
#
#   bash scripts/bench-trials.sh [--quick]
#
# Targets: time within 12x of wc -l in both long orders, peak RSS under
# 128 MiB in all four files.
# Exits 3 when a target is missed, non-zero otherwise on any failure.
# Installs what is missing with apt (through sudo when not root).
set -euo pipefail

cd "$(dirname "$0")/.."

runs=15
plots=1000000
if [ "${1:-}" = "--quick" ]; then
    runs=3
    plots=100000
fi
assessments=10

# The same packages as scripts/bench.sh: build-bench/ configures all benchmarks.
packages=(cmake g++ make qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev libcsv-dev libzip-dev libexpat1-dev libxlsxwriter-dev
    fonts-liberation libbenchmark-dev libx11-dev
    libxdamage-dev time)
bash scripts/install-missing.sh "${packages[@]}"

if [ ! -f build-bench/CMakeCache.txt ]; then
    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUARVEN_BENCHMARKS=ON
fi
cmake --build build-bench -j2 --target quarven trial_generator

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

missed=0
summary=()
for order in plot date wide-semicolon wide-comma; do
    trial="$work/trial-by-$order.csv"
    build-bench/bench/trial_generator "$plots" "$assessments" "$order" "$trial"
    size=$(stat -c %s "$trial")
    cat "$trial" >/dev/null # both commands start with the file in the page cache
    : >"$work/wc.txt"
    : >"$work/batch.txt"
    : >"$work/rss.txt"
    for _ in $(seq "$runs"); do
        start=$(now)
        wc -l "$trial" >/dev/null
        end=$(now)
        echo "$(((end - start) / 1000))" >>"$work/wc.txt"

        rm -f "$work/results.csv"
        start=$(now)
        status=0
        /usr/bin/time -f %M -o "$work/time.txt" build-bench/app/quarven --batch "$trial" \
            --output "$work/results.csv" --year 2026 || status=$?
        end=$(now)
        if [ "$status" -ne 0 ]; then
            echo "quarven --batch exited with $status on $trial" >&2
            exit 1
        fi
        echo "$(((end - start) / 1000))" >>"$work/batch.txt"
        tail -1 "$work/time.txt" >>"$work/rss.txt"
    done
    rows=$(wc -l <"$work/results.csv")
    [ "$rows" -eq $((plots + 1)) ] || { echo "results hold $rows lines, not $((plots + 1))" >&2; exit 1; }
    wc_us=$(median <"$work/wc.txt")
    batch_us=$(median <"$work/batch.txt")
    batch_range=$(sort -g "$work/batch.txt" | awk 'NR == 1 { low = $1 } { high = $1 } END { printf "%.3f-%.3f s", low / 1e6, high / 1e6 }')
    rss_kib=$(sort -n "$work/rss.txt" | tail -1)
    line=$(awk -v o="$order" -v w="$wc_us" -v b="$batch_us" -v r="$rss_kib" -v s="$size" -v n="$runs" \
        -v range="$batch_range" '
        BEGIN {
            ratio = b / w
            long = o == "plot" || o == "date"
            printf "%-19s  %.0f MB  wc -l %.3f s  batch %.3f s (%s)  ratio %.1f (target <= 12: %s)  peak RSS %.1f MiB (target < 128: %s)  [%d runs, medians]",
                long ? "sorted by " o : o, s / 1e6, w / 1e6, b / 1e6, range, ratio,
                !long ? "none" : ratio <= 12 ? "met" : "MISSED",
                r / 1024, r / 1024 < 128 ? "met" : "MISSED", n
        }')
    summary+=("$line")
    echo "$line"
    [[ "$line" != *MISSED* ]] || missed=1
    rm -f "$trial"
done

echo
echo "== Summary ($plots plots x $assessments assessments; machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(date -u '+%Y-%m-%d %H:%M UTC'))"
printf '%s\n' "${summary[@]}"
[ "$missed" -eq 0 ] || exit 3
