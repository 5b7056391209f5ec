#!/usr/bin/env bash
# Starts the window on a virtual X display and saves a picture of it.
# Usage: scripts/screenshot.sh [OUTPUT.png] [--busy | --settings]
#   --busy      also shows the busy indicator over the logo;
#   --settings  also shows the settings dialog below the window.
# Builds `tavrolith` into ${BUILD_DIR:-build} first.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-tavrolith.png}
shift || true
build=${BUILD_DIR:-build}
if [ ! -x "$build/app/window/tavrolith" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target tavrolith
fi
QT_QPA_PLATFORM=xcb xvfb-run --auto-servernum --server-args="-screen 0 800x600x24" \
  "$build/app/window/tavrolith" --screenshot "$out" "$@"
echo "screenshot: $out"
