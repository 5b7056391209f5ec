#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer in its own build folder (SAN_BUILD_DIR, default
# build-san) and runs it. Every finding ends the test program that made it,
# so any finding fails the run. No benchmarks and no fuzz targets here:
# they have their own builds (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SAN_BUILD_DIR:-build-san}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVROLITH_SANITIZE=ON \
  -DTAVROLITH_BENCH=OFF -DTAVROLITH_FUZZ=OFF -DTAVROLITH_WERROR=ON >/dev/null
cmake --build "$build" -j2

# Leaks are reported for our code as for everything else; the suppression
# file names the few leaks inside system libraries, each with its reason.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/sanitizer-leaks.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j2
