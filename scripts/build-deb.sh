#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package as Debian builds its own: prefix /usr, the
# compiler and linker flags of dpkg-buildflags with every hardening option,
# no optimisation level of CMake's own on top (build type None), and
# without the tests and benchmarks. Warnings fail the build.
#
# Usage: scripts/build-deb.sh [BUILD_DIR [CMAKE_OPTION...]]   (default: build-deb)
# The package is left in BUILD_DIR as tavrolith_<version>_<arch>.deb. Further
# options reach CMake last: the test command adds -DTAVROLITH_TESTS=ON, so
# that the tests run against exactly the programs that are packaged.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-deb}
shift $(($# > 0 ? 1 : 0))
cd "$root"  # dpkg-buildflags maps the folder it runs in to "." in the debugging data

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DTAVROLITH_TESTS=OFF -DTAVROLITH_BENCH=OFF -DTAVROLITH_WERROR=ON \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" "$@" >/dev/null
cmake --build "$build" -j2 --target package
