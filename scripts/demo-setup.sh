# shellcheck shell=sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced by the demonstration scripts: checks the BUILD_DIR argument, sets
# $cli to the built tavrolith-cli and $work to a temporary working
# directory (removed at exit) holding the device library and
# examples/blink.hex, and changes into it.
if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$build/app/cli/tavrolith-cli"
if [ ! -x "$cli" ]; then
  echo "$cli not found: build the target tavrolith-cli first" >&2
  exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/data/8789LIST.CSV" "$root/examples/blink.hex" "$work/"
# The settings of a folder without QUENVALD.INI would go to ~/.config.
XDG_CONFIG_HOME="$work/config"
export XDG_CONFIG_HOME
cd "$work" || exit 2
