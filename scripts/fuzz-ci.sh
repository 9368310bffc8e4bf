#!/usr/bin/env bash
# CI's fuzzing pass: every target for about 30 seconds from its seeds and its
# kept regressions; non-zero on any finding. Installs clang when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
exec bash scripts/fuzz.sh --fresh 30
