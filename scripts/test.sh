#!/usr/bin/env bash
# Sets up, builds and runs every test. Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
# A compiler cache outside the clone: a second run on the same machine, or a
# fresh clone of the same sources, compiles only what changed. BASEDIR makes
# the cache entries independent of where the clone lies.
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-5G}
fi
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
./scripts/test-package.sh "$build"
./scripts/test-sanitizers.sh  # the same suite under AddressSanitizer and UndefinedBehaviorSanitizer
./scripts/cross-build.sh      # the Windows builds (i686, x86_64), the x86_64 tests under wine64
./scripts/windows-packages.sh # their ZIPs and installers, the 64-bit one installed under wine64
