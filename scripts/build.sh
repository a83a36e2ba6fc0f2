#!/usr/bin/env bash
# Configures and builds Quorbel into build/ (Release with debug info, warnings as errors).
# With arguments, builds only those targets (for example `quorbel`, the program).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORBEL_WERROR=ON >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build --parallel "${targets[@]}"
