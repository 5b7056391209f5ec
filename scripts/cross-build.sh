#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Cross builds for Windows with Debian's mingw-w64: i686 (the program's own
# target, 32-bit Windows) and x86_64. Builds the whole core, tavrolith-cli and
# the unit tests (no window, benchmarks or fuzz targets: Debian has no Qt for
# Windows, see the README) optimised and stripped, as they ship
# (scripts/windows-packages.sh packs them), and runs the tests against them
# under wine64 in a scratch Wine prefix; the i686 tests run only where a
# 32-bit Wine is installed.
#
#   scripts/cross-build.sh              both architectures, tests under Wine
#   scripts/cross-build.sh i686         one architecture (i686 or x86_64)
#
# Build folders: build-mingw-i686, build-mingw-x86_64 (beside build/).
# Fails on any build error or failed test.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/windows-common.sh"
windows_arches cross-build "$@"

for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix i686-w64-mingw32-windres; do
  command -v "$tool" >/dev/null || { echo "cross-build: $tool fehlt (scripts/bootstrap.sh)" >&2; exit 1; }
done
[ -f /usr/src/googletest/CMakeLists.txt ] || { echo "cross-build: /usr/src/googletest fehlt (Paket googletest)" >&2; exit 1; }

wine32=""
[ -x /usr/lib/wine/wine ] && wine32=/usr/lib/wine/wine

status=0
for arch in "${arches[@]}"; do
  build="$root/build-mingw-$arch"
  start=$SECONDS
  echo "== $arch: $build"
  if [ "$arch" = x86_64 ]; then runner=$wine64; else runner=$wine32; fi
  mkdir -p "$build"
  # The programs that ship, optimised and stripped (the toolchain file links
  # them statically); the tests run against this same build. Warnings are
  # errors here whatever the project's default: the i686 programs are never
  # run, so the compiler is their only judge.
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DTAVROLITH_BENCH=OFF -DTAVROLITH_FUZZ=OFF -DTAVROLITH_WINDOW=OFF \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$runner" >"$build/configure.log" 2>&1 \
    || { cat "$build/configure.log"; status=1; continue; }
  if ! cmake --build "$build" -j2 >"$build/build.log" 2>&1; then
    grep -E "error|Error" "$build/build.log" | sed "s|$root/||" | head -40
    echo "cross-build: $arch: Übersetzung fehlgeschlagen (Protokoll: $build/build.log)" >&2
    status=1
    continue
  fi
  echo "== $arch: gebaut in $((SECONDS - start)) s"
  if [ -z "$runner" ]; then
    echo "== $arch: Tests gebaut, aber nicht ausgeführt: kein 32-Bit-Wine (Paket wine32) auf diesem Rechner"
    continue
  fi
  # A private Wine prefix in the build folder: no display, no messages
  # from Wine itself, no dialog asking for Mono or Gecko.
  export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
  [ -d "$WINEPREFIX" ] || "$runner" wineboot --init >/dev/null 2>&1
  # The window tests create real windows without a display: Wine's null
  # graphics driver, taken up by a freshly started wineserver.
  "$runner" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$(dirname "$runner")/wineserver" -k 2>/dev/null || true
  echo "== $arch: Tests unter $(basename "$runner")"
  # Verbose into the log: each program's own lines name its skipped cases.
  if ! ctest --test-dir "$build" -j2 -V >"$build/test.log" 2>&1; then
    status=1
    echo "cross-build: $arch: Tests fehlgeschlagen (Protokoll: $build/test.log)" >&2
  fi
  grep -E "tests passed|\*\*\*(Failed|Timeout|Exception)|\[  SKIPPED \] [A-Za-z]|Skipped$|POSIX only" "$build/test.log" \
    | sed -E "s|^[0-9]+: ||" | sort -u
  WINEPREFIX="$build/wineprefix" "$wineserver_bin" -k 2>/dev/null || true
done
exit $status
