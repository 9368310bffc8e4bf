#!/usr/bin/env bash
# The batch over two sites: two generated trials of PLOTS plots x 10
# assessments each (1,000,000 by default, about 200 MB a file), sorted by
# plot and by date, each file a site, read one after the other into one
# results file with a site column. Its time end to end against `wc -l` over
# both files, taken in turns, and its peak resident memory.
#
#   bash scripts/bench-sites.sh [--quick]
#
# QUARVEN and GENERATOR name other binaries than build-bench's (Release),
# which is then not built. Targets: within 12x of wc -l, peak RSS under
# 128 MiB. Exits 3 when a target is missed, non-zero on any other failure.
set -euo pipefail

cd "$(dirname "$0")/.."

runs=7
plots=1000000
if [ "${1:-}" = "--quick" ]; then
    runs=3
    plots=100000
fi
assessments=10
quarven=${QUARVEN:-build-bench/app/quarven}
generator=${GENERATOR:-build-bench/bench/trial_generator}
if [ -z "${QUARVEN:-}${GENERATOR:-}" ]; then
    if [ ! -f build-bench/CMakeCache.txt ]; then
        cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUARVEN_BENCHMARKS=ON
    fi
    cmake --build build-bench -j2 --target quarven trial_generator
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$generator" "$plots" "$assessments" plot "$work/north.csv"
"$generator" "$plots" "$assessments" date "$work/south.csv"
cat "$work/north.csv" "$work/south.csv" >/dev/null # both start from the page cache

now() { date +%s%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

for _ in $(seq "$runs"); do
    start=$(now)
    wc -l "$work/north.csv" "$work/south.csv" >/dev/null
    end=$(now)
    echo "$(((end - start) / 1000))" >>"$work/wc.txt"

    rm -f "$work/results.csv"
    start=$(now)
    status=0
    /usr/bin/time -f %M -o "$work/time.txt" "$quarven" --batch "$work/north.csv" \
        "$work/south.csv" --output "$work/results.csv" --year 2026 || status=$?
    end=$(now)
    [ "$status" -eq 0 ] || { echo "quarven --batch exited with $status" >&2; exit 1; }
    echo "$(((end - start) / 1000))" >>"$work/batch.txt"
    tail -1 "$work/time.txt" >>"$work/rss.txt"
done
rows=$(wc -l <"$work/results.csv")
[ "$rows" -eq $((2 * plots + 1)) ] || { echo "results hold $rows lines, not $((2 * plots + 1))" >&2; exit 1; }
[ "$(head -c 10 "$work/results.csv")" = "site,plot," ] || { echo "no site column" >&2; exit 1; }

wc_us=$(median <"$work/wc.txt")
batch_us=$(median <"$work/batch.txt")
rss_kib=$(sort -n "$work/rss.txt" | tail -1)
line=$(awk -v w="$wc_us" -v b="$batch_us" -v r="$rss_kib" -v n="$runs" -v p="$plots" 'BEGIN {
    ratio = b / w
    printf "two sites of %d plots: wc -l %.3f s  batch %.3f s  ratio %.1f (target <= 12: %s)  peak RSS %.1f MiB (target < 128: %s)  [%d runs, medians]",
        p, w / 1e6, b / 1e6, ratio, ratio <= 12 ? "met" : "MISSED", r / 1024, r / 1024 < 128 ? "met" : "MISSED", n
}')
echo "$line"
echo "batch runs (s): $(sort -g "$work/batch.txt" | awk '{ printf "%.3f ", $1 / 1e6 }')"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(date -u '+%Y-%m-%d %H:%M UTC')"
[[ "$line" != *MISSED* ]] || exit 3
