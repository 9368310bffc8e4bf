#!/usr/bin/env bash
# A generated wide trial of 100,000 plots x 10 assessments read as an .xlsx
# workbook against the same trial as CSV, both through the engine as the
# batch runs them (bench/bench_workbook), and against LibreOffice converting
# the workbook to CSV headless: medians of alternating runs, and each run's
# peak resident memory. The workbook is made from the CSV by LibreOffice
# itself; both must give the same results, byte for byte.
# Builds build-bench-books/ (Release, the engine's benchmarks only); the files
# go to a temporary folder that is removed afterwards.
#
#   bash scripts/bench-workbook.sh [RUNS]
#
# Targets: the workbook read within 10x the CSV's time and faster than
# LibreOffice's conversion; its peak RSS within 2x of the CSV run's.
# Exits 3 when a target is missed, non-zero otherwise on any failure.
# Installs what is missing with apt (through sudo when not root).
set -euo pipefail

cd "$(dirname "$0")/.."

runs=${1:-7}
plots=100000
assessments=10

packages=(cmake g++ make qt6-base-dev libqt6opengl6-dev qt6-charts-dev qt6-svg-dev libcsv-dev libzip-dev libxlsxwriter-dev
    libexpat1-dev time libreoffice-calc)
bash scripts/install-missing.sh "${packages[@]}"

if [ ! -f build-bench-books/CMakeCache.txt ]; then
    cmake -S . -B build-bench-books -DCMAKE_BUILD_TYPE=Release -DQUARVEN_BENCHMARKS=ON \
        -DQUARVEN_BENCH_ENGINE_ONLY=ON -DQUARVEN_TESTS=OFF
fi
cmake --build build-bench-books -j2 --target bench_workbook trial_generator

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# LibreOffice with a profile of its own, so that no running instance is joined.
office() { soffice "-env:UserInstallation=file://$work/profile" --headless "$@" >/dev/null 2>&1; }

now() { date +%s%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

build-bench-books/bench/trial_generator "$plots" "$assessments" wide-comma "$work/trial.csv"
start=$(now)
office --convert-to xlsx --outdir "$work" "$work/trial.csv"
made=$((($(now) - start) / 1000000))
[ -f "$work/trial.xlsx" ] || { echo "LibreOffice made no workbook" >&2; exit 1; }

bench=build-bench-books/bench/bench_workbook
"$bench" "$work/trial.csv" "$work/from-csv.txt"
"$bench" "$work/trial.xlsx" "$work/from-xlsx.txt"
if ! cmp -s "$work/from-csv.txt" "$work/from-xlsx.txt"; then
    echo "The workbook's results differ from the CSV's" >&2
    exit 1
fi

: >"$work/csv.txt"
: >"$work/xlsx.txt"
: >"$work/office.txt"
: >"$work/csv-rss.txt"
: >"$work/xlsx-rss.txt"
: >"$work/csv-cpu.txt"
: >"$work/xlsx-cpu.txt"
load=$(cut -d' ' -f1 /proc/loadavg)
mkdir -p "$work/converted"
for _ in $(seq "$runs"); do
    for kind in csv xlsx; do
        start=$(now)
        /usr/bin/time -f "%M %U %S" -o "$work/rss" "$bench" "$work/trial.$kind" "$work/results.txt"
        end=$(now)
        echo "$(((end - start) / 1000))" >>"$work/$kind.txt"
        awk '{ print $1 }' "$work/rss" >>"$work/$kind-rss.txt"
        awk '{ print ($2 + $3) * 1000000 }' "$work/rss" >>"$work/$kind-cpu.txt"
    done
    start=$(now)
    office --convert-to csv --outdir "$work/converted" "$work/trial.xlsx"
    end=$(now)
    echo "$(((end - start) / 1000))" >>"$work/office.txt"
done

csv=$(median <"$work/csv.txt")
xlsx=$(median <"$work/xlsx.txt")
office=$(median <"$work/office.txt")
csvRss=$(median <"$work/csv-rss.txt")
xlsxRss=$(median <"$work/xlsx-rss.txt")
csvCpu=$(median <"$work/csv-cpu.txt")
xlsxCpu=$(median <"$work/xlsx-cpu.txt")
echo "CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores (shared with other" \
    "builds: load average $load before the runs, $(cut -d' ' -f1 /proc/loadavg) after)"
echo "Trial: $plots plots x $assessments assessments, wide; CSV $(stat -c %s "$work/trial.csv") bytes," \
    "xlsx $(stat -c %s "$work/trial.xlsx") bytes (LibreOffice made it in $made ms)"
echo "Medians of $runs alternating runs:"
awk -v c="$csv" -v x="$xlsx" -v o="$office" -v cr="$csvRss" -v xr="$xlsxRss" -v cc="$csvCpu" \
    -v xc="$xlsxCpu" 'BEGIN {
    printf "  CSV through the engine:        %8.1f ms (CPU %6.1f ms), peak RSS %6.1f MiB\n", c / 1000, cc / 1000, cr / 1024
    printf "  xlsx through the engine:       %8.1f ms (CPU %6.1f ms), peak RSS %6.1f MiB\n", x / 1000, xc / 1000, xr / 1024
    printf "  LibreOffice xlsx to CSV:       %8.1f ms\n", o / 1000
    printf "  xlsx / CSV time %.1fx (target 10x), xlsx / LibreOffice %.3fx (target < 1), RSS %.2fx (target 2x)\n", x / c, x / o, xr / cr
}'
missed=$(awk -v c="$csv" -v x="$xlsx" -v o="$office" -v cr="$csvRss" -v xr="$xlsxRss" \
    'BEGIN { print (x > 10 * c || x >= o || xr > 2 * cr) ? 1 : 0 }')
[ "$missed" -eq 0 ] || exit 3
