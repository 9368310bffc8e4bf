#!/usr/bin/env bash
# Runs the widget tests under valgrind memcheck: any memory error or any
# definitely lost block fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tests
bash scripts/install-missing.sh valgrind

# The file dialog's name filters are regular expressions, whose compiled
# machine code valgrind cannot follow: it reports its reads as uninitialised.
export QT_QPA_PLATFORM=offscreen QTEST_DISABLE_STACK_DUMP=1 QT_ENABLE_REGEXP_JIT=0
status=0
for test in tst_main_window tst_table_entry tst_tuberization_period tst_about_window \
    tst_qt_dialogs tst_hostile_input tst_trial_vs_window tst_data_actions tst_trial_window \
    tst_trial_models; do
    echo "== $test under memcheck"
    if ! valgrind --quiet --error-exitcode=9 --leak-check=full --errors-for-leak-kinds=definite \
        --show-leak-kinds=definite --num-callers=30 "build/tests/$test" -silent; then
        status=1
    fi
done
exit $status
