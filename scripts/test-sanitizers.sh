#!/usr/bin/env bash
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs every test there. Benchmarks are left out: they add
# build time and test nothing. Warnings are the main build's business; GCC's
# flow analysis under the sanitizers reports variants and Qt strings as
# maybe uninitialized where the main build proves them set, so that one
# warning is off here.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORBEL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -Wno-maybe-uninitialized" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan --parallel
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# Allocations record their stacks with the fast unwinder: the slow one, which
# sees through Qt's frames, costs ten times the run. The one test that needs
# it to name Qt's leaks for the suppressions asks for it (tests/CMakeLists.txt).
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cd build-asan
exec dbus-run-session -- ctest --output-on-failure --parallel "$(nproc)" --timeout 600
