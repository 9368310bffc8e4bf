#!/usr/bin/env bash
# Sets everything up, then starts Quarven.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
exec build/app/quarven
