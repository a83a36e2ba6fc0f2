#!/usr/bin/env bash
# Installs what is missing, builds the program alone (no tests or benchmarks) and starts it.
# Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh quorbel
exec build/src/app/quorbel "$@"
