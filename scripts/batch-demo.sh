#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# A production run on the simulated board: ten AT89C2051 chips, each with
# examples/blink.hex and its own serial number (six ASCII digits at 0x700,
# from 1000 on), the next number kept in serial.txt and every chip logged
# in chips.csv. Chip 4 has a dead cell and fails its verification; the run
# logs it and goes on. A second run of three chips continues the numbers.
#
# Usage: scripts/batch-demo.sh BUILD_DIR
set -eu

# shellcheck source=scripts/demo-setup.sh
. "$(dirname "$0")/demo-setup.sh"

serial="--serial-at 0x700 --serial-format dec6 --serial-start 1000 --serial-file serial.txt --log chips.csv"
echo "Working directory: $work"

# The chip lines and the summary on standard output; the socket prompts and
# progress (standard error) are left out here to keep the demonstration short.
printf '\n$ tavrolith-cli --simulate --device AT89C2051 --yes --chip-fault dead-cell:3@4 batch blink.hex --count 10 %s\n' "$serial"
# shellcheck disable=SC2086
if "$cli" --simulate --device AT89C2051 --yes --chip-fault dead-cell:3@4 \
  batch blink.hex --count 10 $serial 2>/dev/null; then
  status=0
else
  status=$?
fi
echo "Exit-Status: $status (the result of the failed chip 4)"

printf '\n$ tavrolith-cli --simulate --device AT89C2051 --chip-state last.state --yes batch blink.hex --count 3 %s\n' "$serial"
# shellcheck disable=SC2086
"$cli" --simulate --device AT89C2051 --chip-state last.state --yes batch blink.hex --count 3 $serial 2>/dev/null

printf '\n--- serial.txt (the next number) ---\n'
cat serial.txt
printf '\n--- chips.csv ---\n'
cat chips.csv

# The last chip's serial, read back from the chip itself.
"$cli" --simulate --device AT89C2051 --chip-state last.state --yes --ff-save read last.bin 2>/dev/null >/dev/null
printf '\nSerial in the last chip at 0x700: '
dd if=last.bin bs=1 skip=1792 count=6 2>/dev/null
echo
