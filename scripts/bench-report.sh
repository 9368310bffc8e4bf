#!/usr/bin/env bash
# What a printed report adds to `quarven --batch --by`: a generated trial of
# 100,000 plots x 10 assessments in 1,000 clones, run and then reported in
# process by bench/bench_report (the evaluation, the trial read again for the
# curves and refused plots, the A4 PDF painted and written whole). Prints
# the medians of each phase, with the processor and the load.
# Builds build-bench-report/ (Release, the engine's and report's benchmarks
# only).
#
#   bash scripts/bench-report.sh [RUNS]
#
# Target: the report adds under 1 s. Exits 3 when it is missed.
set -euo pipefail

cd "$(dirname "$0")/.."

runs=${1:-11}
if [ ! -f build-bench-report/CMakeCache.txt ]; then
    cmake -S . -B build-bench-report -DCMAKE_BUILD_TYPE=Release -DQUARVEN_BENCHMARKS=ON \
        -DQUARVEN_BENCH_ENGINE_ONLY=ON -DQUARVEN_TESTS=OFF
fi
cmake --build build-bench-report -j2 --target bench_report

echo "$(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"
build-bench-report/bench/bench_report 100000 "$runs"
