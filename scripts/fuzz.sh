#!/usr/bin/env bash
# Builds every libFuzzer target fuzz/<name>_fuzz.cpp with clang and runs
# each for a bounded time on its seed corpus fuzz/corpus/<name>/.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
# Fails when a target crashes or leaks; the reproducer is left in the
# build directory (BUILD_DIR, default build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${BUILD_DIR:-build-fuzz}

CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVROLITH_FUZZ=ON -DTAVROLITH_TESTS=OFF -DTAVROLITH_BENCH=OFF >/dev/null

targets=()
for src in fuzz/*_fuzz.cpp; do
  [ -e "$src" ] || continue
  targets+=("$(basename "$src" .cpp)")
done
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
  echo "fuzz: $target for ${seconds}s (seeds: $seeds)"
  corpora=("$work")
  [ -d "$seeds" ] && corpora+=("$seeds")
  "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$name/" "${corpora[@]}"
done
