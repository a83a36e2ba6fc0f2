#!/usr/bin/env bash
# Configures and builds Quorbel into build/ (Release with debug info, warnings as errors).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORBEL_WERROR=ON >/dev/null
cmake --build build --parallel
