#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# tavrolith.exe as a user meets it: under Wine on a private Xvfb display,
# driven by xdotool. The window must come up titled "Brastel V1.39" at a
# size made of whole dialog units; a blank check must leave the same
# register trace as tavrolith-cli.exe; "Neue Datei" through the real open
# dialog, "Brennen" and "Prüfen" of examples/blink.hex must leave a chip
# that tavrolith-cli.exe verifies; the busy window must exist while the
# socket prompt waits. A screenshot of that moment is kept in OUT.
#
#   win32_end_to_end.sh WINE TAVROLITH_EXE TAVROLITH_CLI_EXE SOURCE_DIR OUT
set -euo pipefail
wine=$1 exe=$2 cli=$3 source=$4 out=$5
wineserver="$(dirname "$wine")/wineserver"
[ -x "$wineserver" ] || wineserver=wineserver

mkdir -p "$out"
work=$(mktemp -d "$out/e2e-work.XXXXXX")
xvfb=""
cleanup() {
  WINEPREFIX="$out/e2e-wineprefix" "$wineserver" -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# A failure keeps a picture of the screen beside the busy picture.
fail() {
  echo "win32_end_to_end: $*" >&2
  [ -z "${DISPLAY:-}" ] || xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/tavrolith-win32-failure.png"
  exit 1
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb startet nicht"
export DISPLAY=":$(head -n1 "$work/display")" WINEPREFIX="$out/e2e-wineprefix" WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || "$wine" wineboot --init >/dev/null 2>&1

cp "$source/data/8789LIST.CSV" "$source/examples/blink.hex" "$work/"
# The file dialogs open in the working folder (Wine's drive Z: is /).
printf '[Hardware]\r\nMessageBeap=0\r\n[Brastel INI-Section]\r\nX-Koord=40\r\nY-Koord=40\r\nDataPath=Z:%s\\\r\n' \
  "${work//\//\\}" >"$work/QUENVALD.INI"
cd "$work"

# Waits for the next message box (captioned with the program's name, and
# not the one confirmed last), runs $1 while it is up, and confirms it with
# Enter (again, should the first key arrive before the box has the keyboard).
last_box=""
confirm_box() {
  local box="" id
  for _ in $(seq 600); do
    for id in $(xdotool search --onlyvisible --name '^tavrolith$' 2>/dev/null); do [ "$id" != "$last_box" ] && box=$id; done
    [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || fail "kein Meldungsfenster"
  last_box=$box
  sleep 0.3
  [ -z "${1:-}" ] || "$1"
  # A key sent after the box went would reach the main window, whose
  # default button is "Brennen": Enter again only while this box is up.
  for _ in $(seq 5); do
    xdotool search --onlyvisible --name '^tavrolith$' 2>/dev/null | grep -qx "$box" || return 0
    xdotool windowfocus "$box" 2>/dev/null || true
    xdotool key --window "$box" Return 2>/dev/null || true
    for _ in $(seq 50); do
      xdotool search --onlyvisible --name '^tavrolith$' 2>/dev/null | grep -qx "$box" || return 0
      sleep 0.1
    done
  done
  fail "Meldungsfenster bleibt offen"
}

# Starts the window; sets `window`, the base units `bx`, `by` and `app`.
start_window() {
  "$wine" "$exe" --simulate "$@" >/dev/null 2>&1 &
  app=$!
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Brastel V1\.39$' | head -n1) || fail "kein Fenster 'Brastel V1.39'"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # 266 x 149 dialog units: the size must be whole base units apart.
  bx=""; by=""
  for b in $(seq 4 16); do [ $(( (266 * b + 2) / 4 )) -eq "$WIDTH" ] && bx=$b; done
  for b in $(seq 8 32); do [ $(( (149 * b + 4) / 8 )) -eq "$HEIGHT" ] && by=$b; done
  [ -n "$bx" ] && [ -n "$by" ] || fail "Fenstergröße ${WIDTH}x${HEIGHT} ist nicht 266 x 149 Dialogeinheiten"
}

# A click at a point given in dialog units.
click() { xdotool mousemove --window "$window" $(( ($1 * bx + 2) / 4 )) $(( ($2 * by + 4) / 8 )) click 1; }

close_window() {
  xdotool windowfocus "$window" 2>/dev/null || true
  xdotool key --window "$window" Escape
  confirm_box
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "das Fenster bleibt nach dem Schließen offen"
  wait "$app" || fail "tavrolith.exe endet mit $?"
}

busy_seen=""
look_at_busy() {
  local busy
  busy=$(xdotool search --onlyvisible --name '^Quenvaldokraft$' 2>/dev/null | head -n1) || true
  [ -n "$busy" ] || return 0
  busy_seen=yes
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/tavrolith-win32-busy.png"
  # The busy window alone as well: without a window manager the picture of
  # the whole screen shows it unpainted, though the window holds its picture.
  xwd -id "$busy" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/tavrolith-win32-busy-window.png"
}

# 1. A blank check, traced like the command line's.
start_window --trace window.trace
echo "Fenster: ${WIDTH}x${HEIGHT} Pixel, Basiseinheiten ${bx}x${by}"
click 32 37            # "Leertest"
confirm_box look_at_busy  # the socket prompt, with the busy window up
confirm_box            # its result
close_window
[ -n "$busy_seen" ] || fail "kein Fenster 'Quenvaldokraft' während des Leertests"
"$wine" "$cli" --simulate --trace cli.trace -y blank-check >/dev/null 2>&1 || fail "tavrolith-cli blank-check: $?"
cmp window.trace cli.trace || fail "Protokolle des Leertests unterscheiden sich"

# 2. Choose blink.hex in the real open dialog, program and verify it.
start_window --chip-state chip.state
click 32 94            # "Neue Datei"
dialog=$(timeout 60 xdotool search --sync --onlyvisible --name '^(Open|Öffnen)$' | head -n1) || fail "kein Öffnen-Dialog"
sleep 0.5
xdotool type --window "$dialog" "blink.hex"
xdotool key --window "$dialog" Return
for _ in $(seq 100); do xdotool search --onlyvisible --name '^(Open|Öffnen)$' >/dev/null 2>&1 || break; sleep 0.1; done
click 32 56            # "Brennen"
confirm_box            # socket prompt
confirm_box            # "Keine Fehler beim Prüfen"
click 87 56            # "Prüfen"
confirm_box
confirm_box
close_window
"$wine" "$cli" --simulate --chip-state chip.state -y verify blink.hex >/dev/null 2>&1 \
  || fail "der gebrannte Baustein stimmt nicht mit blink.hex überein ($?)"
grep -qi '^LastFile=blink.hex' QUENVALD.INI || fail "QUENVALD.INI nennt blink.hex nicht"
echo "win32_end_to_end: Fenster, Leertest-Protokoll, Brennen und Prüfen in Ordnung; Bild: $out/tavrolith-win32-busy.png"
