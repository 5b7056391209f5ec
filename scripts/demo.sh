#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# A whole session on the simulated board: program the example program
# examples/blink.hex into a simulated AT89C2051, verify it, read the chip
# back as Motorola S19 and compare the read-back with the original.
#
# Usage: scripts/demo.sh BUILD_DIR
# The chip lives in a state file between the commands, exactly as a real
# chip stays in the socket. Everything happens in a temporary directory with
# its own QUENVALD.INI and a copy of the device library.
set -eu

# shellcheck source=scripts/demo-setup.sh
. "$(dirname "$0")/demo-setup.sh"

# Show each command before running it; stop at the first failure. Messages
# and progress go to standard error; merged here so that they stay in order
# (on a terminal the progress is still drawn as a bar).
run() {
  printf '\n$ tavrolith-cli %s\n' "$*"
  "$cli" "$@" 2>&1
}

sim="--simulate --device AT89C2051 --chip-state chip.state --yes"

echo "Working directory: $work"
echo "Program: blink.hex, toggles P1.0 every 250 ms (source: examples/blink.a51)"

run info blink.hex
# shellcheck disable=SC2086
run $sim blank-check
# shellcheck disable=SC2086
run $sim program blink.hex
# shellcheck disable=SC2086
run $sim verify blink.hex
# shellcheck disable=SC2086
run $sim read readback.s19 --format 5
echo
echo "--- readback.s19 ---"
cat readback.s19
echo "--------------------"
run info readback.s19

# The comparison, through the program's own readers and writers: both files
# as a 2 KB binary image (blank cells 0xFF), byte for byte.
run --ff-save convert blink.hex original.bin --format bin --size 2048
run --ff-save convert readback.s19 readback.bin --format bin --size 2048
printf '\n$ cmp original.bin readback.bin\n'
cmp original.bin readback.bin
if command -v srec_cmp >/dev/null 2>&1; then
  printf '$ srec_cmp blink.hex -intel -fill 0xFF 0 0x800 readback.s19 -motorola -fill 0xFF 0 0x800\n'
  srec_cmp blink.hex -intel -fill 0xFF 0 0x800 readback.s19 -motorola -fill 0xFF 0 0x800
fi
echo
echo "The chip holds exactly blink.hex: programmed, verified, read back and compared."
