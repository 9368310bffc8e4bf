#!/usr/bin/env bash
# Builds the core's libFuzzer targets in build-fuzz/ with clang and runs each
# for SECONDS (default 600) on its seed corpus plus fuzz/regressions/<target>/.
# Exits non-zero when any target finds a failing input; the input is kept in
# build-fuzz/runs/<target>/findings/.
#
#   bash scripts/fuzz.sh [--fresh] [SECONDS] [TARGET...]
#
# By hand the working corpus in build-fuzz/runs/<target>/corpus/ grows from
# run to run; --fresh starts it again from the seeds, as CI does.
set -euo pipefail

cd "$(dirname "$0")/.."

fresh=0
if [ "${1:-}" = "--fresh" ]; then
    fresh=1
    shift
fi
seconds=${1:-600}
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
    targets=(fuzz_read_number fuzz_dates fuzz_format_pattern fuzz_calculation fuzz_trial_reader
        fuzz_workbook)
fi

bash scripts/install-missing.sh cmake make clang libclang-rt-14-dev libcsv-dev libzip-dev \
    libexpat1-dev libxlsxwriter-dev

if [ ! -f build-fuzz/CMakeCache.txt ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQUARVEN_FUZZ=ON
fi
cmake --build build-fuzz -j2

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# One target: replay its regressions, then fuzz. Output goes to its log.
fuzz_one() {
    local target=$1
    local binary=build-fuzz/fuzz/$target
    local work=build-fuzz/runs/$target
    local regressions=fuzz/regressions/$target
    if [ "$fresh" -eq 1 ]; then
        rm -rf "$work"
    fi
    mkdir -p "$work/corpus" "$work/findings"
    cp -f fuzz/corpus/"$target"/* "$work/corpus/"
    local inputs=("$work/corpus")
    if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
        "$binary" "$regressions"/* >"$work/regressions.log" 2>&1 || return 1
        inputs+=("$regressions")
    fi
    # New inputs go only into the first directory, so the regressions stay as they are.
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/findings/" "${inputs[@]}" >"$work/log" 2>&1
}

summary() {
    local target=$1 status=$2
    local work=build-fuzz/runs/$target
    local runs corpus
    runs=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$work/log" 2>/dev/null | tail -1 || true)
    corpus=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$work/log" 2>/dev/null | tail -1 || true)
    if [ "$status" -eq 0 ]; then
        printf '%-22s ok       %s, %s\n' "$target" "${runs:-no runs}" "${corpus:-}"
    else
        printf '%-22s FAILED   (status %s) see %s/\n' "$target" "$status" "$work"
        grep -m1 -A2 -E 'property violated|runtime error|ERROR: (AddressSanitizer|libFuzzer)' \
            "$work/regressions.log" "$work/log" 2>/dev/null | sed 's/^/    /' || true
        for finding in "$work"/findings/*; do
            [ -e "$finding" ] && echo "    input kept: $finding (copy it to fuzz/regressions/$target/)"
        done
    fi
}

# As many targets at once as there are cores.
jobs=$(nproc)
declare -A pids=()
failed=0
results=()
for target in "${targets[@]}"; do
    if [ ! -x "build-fuzz/fuzz/$target" ]; then
        echo "No such fuzz target: $target" >&2
        exit 2
    fi
    while [ "${#pids[@]}" -ge "$jobs" ]; do
        for running in "${!pids[@]}"; do
            if ! kill -0 "${pids[$running]}" 2>/dev/null; then
                status=0
                wait "${pids[$running]}" || status=$?
                results+=("$running $status")
                unset "pids[$running]"
            fi
        done
        sleep 1
    done
    echo "Fuzzing $target for ${seconds}s"
    fuzz_one "$target" &
    pids[$target]=$!
done
for running in "${!pids[@]}"; do
    status=0
    wait "${pids[$running]}" || status=$?
    results+=("$running $status")
done

echo
for result in "${results[@]}"; do
    read -r target status <<<"$result"
    summary "$target" "$status"
    [ "$status" -eq 0 ] || failed=1
done
exit "$failed"
