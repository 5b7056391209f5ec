#!/usr/bin/env bash
# Cross builds for Windows with Debian's mingw-w64: i686 (the program's own
# target, 32-bit Windows) and x86_64. Builds what has been ported (the port
# link with its Windows code, the version record and their tests) and runs
# the x86_64 tests under wine64 in a scratch Wine prefix.
#
#   scripts/cross-build.sh              both architectures, tests under Wine
#   scripts/cross-build.sh i686         one architecture (i686 or x86_64)
#   scripts/cross-build.sh --all        also try every other target, keep going
#                                       past errors, and list them
#
# Build folders: build-mingw-i686, build-mingw-x86_64 (beside build/).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
arches=()
try_all=0
for arg in "$@"; do
  case "$arg" in
    i686|x86_64) arches+=("$arg") ;;
    --all) try_all=1 ;;
    *) echo "cross-build: unbekanntes Argument '$arg'" >&2; exit 2 ;;
  esac
done
[ ${#arches[@]} -eq 0 ] && arches=(i686 x86_64)

# What builds for Windows today; the rest follows as it is ported.
ported_targets=(tv_link tv_version windows_access_test version_test win32_port_test tavrolith_version_probe)
ported_tests=(windows_access_test version_test win32_port_test)

for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix i686-w64-mingw32-windres; do
  command -v "$tool" >/dev/null || { echo "cross-build: $tool fehlt (scripts/bootstrap.sh)" >&2; exit 1; }
done
[ -f /usr/src/googletest/CMakeLists.txt ] || { echo "cross-build: /usr/src/googletest fehlt (Paket googletest)" >&2; exit 1; }

wine64=""
for candidate in wine64 /usr/lib/wine/wine64; do
  if command -v "$candidate" >/dev/null; then wine64=$(command -v "$candidate"); break; fi
done

status=0
for arch in "${arches[@]}"; do
  build="$root/build-mingw-$arch"
  echo "== $arch: $build"
  mkdir -p "$build"
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVROLITH_BENCH=OFF -DTAVROLITH_FUZZ=OFF >"$build/configure.log" 2>&1 \
    || { cat "$build/configure.log"; status=1; continue; }
  if ! cmake --build "$build" -j2 --target "${ported_targets[@]}"; then
    status=1
    continue
  fi
  if [ $try_all -eq 1 ]; then
    echo "== $arch: every other target (errors listed in $build/all.log)"
    cmake --build "$build" -j2 -- -k >"$build/all.log" 2>&1 || true
    grep -E "error:|Error [0-9]" "$build/all.log" | sed "s|$root/||" | sort -u || true
  fi
  if [ "$arch" = x86_64 ]; then
    if [ -z "$wine64" ]; then
      echo "cross-build: wine64 fehlt, Tests nicht ausgeführt" >&2
      status=1
      continue
    fi
    # A private Wine prefix in the build folder: no display, no messages
    # from Wine itself, no dialog asking for Mono or Gecko.
    export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
    [ -d "$WINEPREFIX" ] || "$wine64" wineboot --init >/dev/null 2>&1
    for test in "${ported_tests[@]}"; do
      echo "== $arch: $test (wine64)"
      (cd "$build/tests" && "$wine64" "./$test.exe" --gtest_brief=1) || status=1
    done
    "$(dirname "$wine64")/wineserver" -k 2>/dev/null || wineserver -k 2>/dev/null || true
  fi
done
exit $status
