#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Sets up, builds and runs the main job on the simulated board: programs the
# example program into a simulated AT89C2051, verifies it, reads it back as
# Motorola S19 and compares. No hardware needed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target tavrolith-cli
./scripts/demo.sh "$build"
