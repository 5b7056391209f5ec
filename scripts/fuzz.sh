#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds every libFuzzer target fuzz/<name>_fuzz.cpp with clang, with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each for a
# bounded time on its seed corpus fuzz/corpus/<name>/, one after another.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target names...]
# Fails when a target crashes, leaks, breaks its property or trips a
# sanitizer; the reproducer is left in the build directory (BUILD_DIR,
# default build-fuzz) under artifacts/<name>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${BUILD_DIR:-build-fuzz}

CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVROLITH_FUZZ=ON -DTAVROLITH_TESTS=OFF -DTAVROLITH_BENCH=OFF -DTAVROLITH_WINDOW=OFF >/dev/null

targets=()
if [ $# -gt 0 ]; then
  for name in "$@"; do targets+=("${name%_fuzz}_fuzz"); done
else
  for src in fuzz/*_fuzz.cpp; do
    [ -e "$src" ] || continue
    targets+=("$(basename "$src" .cpp)")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no targets" >&2
  exit 1
fi
cmake --build "$build" -j2 --target "${targets[@]}"

for target in "${targets[@]}"; do
  name=${target%_fuzz}
  seeds=fuzz/corpus/$name
  # New inputs go to a scratch corpus, so the seed corpus in the
  # repository stays as it is.
  work=$build/corpus/$name
  mkdir -p "$work" "$build/artifacts/$name"
  # Program files up to 70000 bytes reach the refusal of a binary file
  # larger than any device.
  extra=()
  [ "$name" = files ] && extra+=(-max_len=70000)
  echo "fuzz: $target for ${seconds}s (seeds: $seeds)"
  corpora=("$work")
  [ -d "$seeds" ] && corpora+=("$seeds")
  "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=25 "${extra[@]}" \
    -artifact_prefix="$build/artifacts/$name/" "${corpora[@]}"
done
