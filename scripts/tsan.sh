#!/usr/bin/env bash
# Builds the trial engine's tests and the program with ThreadSanitizer in
# build-tsan/ and runs them with the two-thread results and their worker in
# use; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tests

if [ ! -f build-tsan/CMakeCache.txt ]; then
    cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEN_WERROR=ON \
        -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" \
        -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=thread"
fi
tests=(tst_trial_values tst_trial_tokenizer tst_trial_rows tst_trial_batch tst_worker tst_command_line)
cmake --build build-tsan -j2 --target "${tests[@]}" quarven

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/sanitizers/tsan.supp"
pattern="$(IFS='|'; echo "^(${tests[*]})(_comma_locale)?\$")"
ctest --test-dir build-tsan --output-on-failure -R "$pattern"
