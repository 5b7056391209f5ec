#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The real `tavrolith` on a desktop, used as a user uses it: an X server of
# its own (Xvfb, display number chosen by the server), a window manager
# (openbox), mouse and keys from xdotool. On the simulator: choose the
# AT89C2051, choose examples/blink.hex, "Brennen", "Auslesen" as Intel HEX
# to a new name, close. Then the file read back holds the image, and the
# busy picture was above the main window while it was busy.
#
# Usage: desktop_run.sh TAVROLITH TAVROLITH_CLI SOURCE_DIR OUTPUT_DIR
# A screenshot taken while busy and one at the end go to OUTPUT_DIR.
set -euo pipefail

program=$1 cli=$2 source_dir=$3 output_dir=$4
for tool in Xvfb openbox xdotool xprop xwd xwdtopnm pnmtopng; do
  command -v "$tool" >/dev/null || { echo "desktop_run: $tool fehlt (scripts/bootstrap.sh)" >&2; exit 1; }
done
mkdir -p "$output_dir"
scratch=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM  # so that the servers go also when the test is stopped

fail() { echo "desktop_run: $*" >&2; shot "$output_dir/desktop_run_failed.png"; exit 1; }
# The screen, or one window (a dump of the screen shows the windows opened
# after the main one black under Xvfb, a dump of the window itself does not).
shot() { xwd "${2:--root}" ${2:+"$3"} -silent | xwdtopnm 2>/dev/null | pnmtopng >"$1" 2>/dev/null || true; }

# The server picks a free display and tells its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || fail "Xvfb startet nicht"
export DISPLAY=":$(head -n1 "$scratch/display")"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"
openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done

work="$scratch/work"
mkdir -p "$work"
cp "$source_dir/data/8789LIST.CSV" "$work/"
cp "$source_dir/examples/blink.hex" "$work/"
# Intel HEX (8 bit) preselected in the save dialog.
printf '[Brastel INI-Section]\r\nDataFormat=2\r\nX-Koord=40\r\nY-Koord=40\r\n' >"$work/QUENVALD.INI"

(cd "$work" && exec "$program" --simulate --sim-realtime) >"$scratch/tavrolith.log" 2>&1 &
app=$!
pids+=($app)
# xdotool's --sync waits without end: every wait here has a bound, so that
# a window that never comes fails with a screenshot instead of hanging.
step() { echo "desktop_run: $*" >&2; }
find_window() { timeout 60 xdotool search --sync "$@" 2>/dev/null | head -n1 || true; }
activate() { timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true; }
step "Start"
main=$(find_window --onlyvisible --name '^Brastel ')
[ -n "$main" ] || fail "kein Hauptfenster: $(cat "$scratch/tavrolith.log")"
sleep 1

# Dialog units to pixels: the window is 266 x 149 units.
read -r width height < <(xdotool getwindowgeometry --shell "$main" | awk -F= '/WIDTH/{w=$2}/HEIGHT/{h=$2}END{print w, h}')
click() {  # x y in dialog units, inside the main window
  xdotool mousemove --window "$main" $(($1 * width / 266)) $(($2 * height / 149)) click 1
  sleep 0.5
}
# Each modal box or dialog: wait until a visible window of that title
# appears that is not the one answered before, then keys.
last=0
answer() {  # title-pattern keys...
  local pattern=$1 box=0; shift
  for _ in $(seq 600); do
    box=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | tail -n1 || true)
    [ -n "$box" ] && [ "$box" != "$last" ] && break
    sleep 0.1
  done
  [ -n "$box" ] && [ "$box" != "$last" ] || fail "kein Fenster '$pattern'"
  last=$box
  step "Fenster '$pattern': $*"
  activate "$box"
  sleep 0.3
  xdotool key --clearmodifiers "$@"
  sleep 0.5
}

# The device list: open it, type the name, take it.
step "Baustein AT89C2051"
click 187 52
xdotool type --delay 50 AT89C2051
xdotool key Return
sleep 0.5

# "Neue Datei": the open dialog takes the path typed into its name field.
click 32 94
answer 'ffnen' ctrl+a
xdotool type --delay 20 "$work/blink.hex"
xdotool key Return
sleep 0.5

# "Brennen": the socket prompt, then the busy picture must be above the window.
click 32 56
answer '^tavrolith$' Return
busy=$(find_window --name '^Quenvaldokraft$')
[ -n "$busy" ] || fail "kein Busy-Bild"
shot "$output_dir/desktop_run_busy.png"
shot "$output_dir/desktop_run_busy_picture.png" -id "$busy"
stacking=$(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g')
position() { local i=0; for w in $stacking; do [ $((w)) -eq $(($1)) ] && echo $i; i=$((i + 1)); done; }
busy_at=$(position "$busy") main_at=$(position "$main")
[ -n "$busy_at" ] && [ -n "$main_at" ] && [ "$busy_at" -gt "$main_at" ] ||
  fail "Das Busy-Bild liegt nicht über dem Hauptfenster (Stapel: $stacking; Busy $busy, Fenster $main)"
answer '^tavrolith$' Return  # "Keine Fehler beim Prüfen"

# "Auslesen": Intel HEX is preselected; a new name.
click 87 37
answer 'Speichern' ctrl+a
xdotool type --delay 20 gelesen
xdotool key Return
answer '^tavrolith$' Return  # the socket prompt
answer '^tavrolith$' Return  # the program saved
sleep 0.5
shot "$output_dir/desktop_run.png"

# Close: the window tells to take the chip out, then the program ends.
activate "$main"
xdotool key --clearmodifiers alt+F4
answer '^tavrolith$' Return  # take the chip out
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "tavrolith endet nicht"

[ -f "$work/gelesen.hex" ] || fail "gelesen.hex fehlt: $(ls "$work")"
head -c1 "$work/gelesen.hex" | grep -q ':' || fail "gelesen.hex ist kein Intel HEX"
# The whole AT89C2051: blink.hex on a blank chip.
"$cli" convert "$work/blink.hex" "$scratch/image.bin" --format bin --size 2048 >/dev/null 2>&1
"$cli" convert "$work/gelesen.hex" "$scratch/read.bin" --format bin --size 2048 >/dev/null 2>&1
cmp "$scratch/image.bin" "$scratch/read.bin" || fail "gelesen.hex enthält nicht das Abbild von blink.hex"
echo "desktop_run: gelesen.hex gleicht blink.hex; Bildschirmfotos in $output_dir"
