#!/usr/bin/env bash
# Installs what is missing, builds Quorbel with its tests and benchmarks, and runs every test.
# Widget tests draw offscreen; automation tests get a private session bus of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
cd build
exec dbus-run-session -- ctest --output-on-failure --parallel "$(nproc)" --timeout 300
