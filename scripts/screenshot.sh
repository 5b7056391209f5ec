#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Starts the window on the simulated board on a virtual X display and saves a
# picture of it. It runs in a scratch directory holding the sample library,
# so that the lists are filled and no settings file of yours is touched.
# Usage: scripts/screenshot.sh [OUTPUT.png] [--busy | --settings]
#   --busy      also shows the busy indicator over the logo;
#   --settings  also shows the settings dialog below the window.
# Builds `tavrolith` into ${BUILD_DIR:-build} first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${1:-tavrolith.png}
shift || true
case $out in /*) ;; *) out=$root/$out ;; esac
build=${BUILD_DIR:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
if [ ! -x "$build/app/window/tavrolith" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target tavrolith
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp data/8789LIST.CSV "$work/"
export XDG_CONFIG_HOME="$work/config"  # the window's settings stay out of ~/.config
(cd "$work" && QT_QPA_PLATFORM=xcb xvfb-run --auto-servernum --server-args="-screen 0 800x600x24" \
  "$build/app/window/tavrolith" --simulate --screenshot "$out" "$@")
echo "screenshot: $out"
