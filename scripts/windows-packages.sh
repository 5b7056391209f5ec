#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Windows packages, from the builds of scripts/cross-build.sh: per
# architecture a ZIP and an NSIS installer with the same files (the programs,
# the device library, README, licence, the note on port drivers), written to
# build-mingw-ARCH/packages/. Then checks them: the programs import system
# DLLs only and carry the version record; the 64-bit installer is installed
# silently under wine64 into a scratch Wine prefix, the files it leaves are
# compared with the ZIP's, the program is run from the Start-menu working
# folder, and it is uninstalled again; the 32-bit installer, which no Wine
# here can run, has the file list makensis packed compared with the ZIP's.
#
#   scripts/windows-packages.sh            both architectures
#   scripts/windows-packages.sh x86_64     one (i686 or x86_64)
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/windows-common.sh"
windows_arches windows-packages "$@"
for tool in makensis zip unzip; do
  command -v "$tool" >/dev/null || { echo "windows-packages: $tool fehlt (scripts/bootstrap.sh)" >&2; exit 1; }
done
version=$(sed -n 's/^project(Tavrolith VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
# System DLLs every Windows has; anything else (libstdc++-6.dll,
# libwinpthread-1.dll, ...) would have to be shipped and is refused.
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|ole32|oleaut32|version|msvcrt|ws2_32|uxtheme|shlwapi|winmm|imm32|api-ms-win-.*)\.dll$'

status=0
fail() { echo "windows-packages: $arch: $*" >&2; status=1; }
crlf() { sed 's/\r\?$/\r/' "$1" >"$2"; }

for arch in "${arches[@]}"; do
  build="$root/build-mingw-$arch"
  if [ "$arch" = x86_64 ]; then target=amd64-unicode nsarch=amd64 suffix=win64 objdump=x86_64-w64-mingw32-objdump
  else target=x86-unicode nsarch=x86 suffix=win32 objdump=i686-w64-mingw32-objdump; fi
  programs=("$build/app/cli/tavrolith-cli.exe")
  [ -f "${programs[0]}" ] || { fail "${programs[0]} fehlt (erst scripts/cross-build.sh $arch)"; continue; }
  # The window, once it is built for Windows (the one in tests/ is a probe).
  window=$(find "$build/app" -name tavrolith.exe -print -quit)
  [ -n "$window" ] && programs+=("$window")

  out="$build/packages"
  rm -rf "$out"
  stage="$out/Tavrolith-$version"
  mkdir -p "$stage"
  for program in "${programs[@]}"; do
    dlls=$("$objdump" -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | grep -Ev "$system_dlls")
    [ -z "$dlls" ] || fail "$(basename "$program") braucht DLLs, die Windows nicht hat: $dlls"
    strings -el "$program" | grep -qx "${version//./, }, 0" || fail "$(basename "$program") ohne Versionsangabe"
    cp "$program" "$stage/"
  done
  cp "$root/data/8789LIST.CSV" "$stage/"
  crlf "$root/README.md" "$stage/README.txt"
  crlf /usr/share/common-licenses/GPL-2 "$stage/COPYING.txt"
  crlf "$root/packaging/windows/Portzugriff.txt" "$stage/Portzugriff.txt"
  files=$(cd "$stage" && ls | sort)

  zip_file="$out/tavrolith-$version-$suffix.zip"
  (cd "$out" && zip -qrX "$zip_file" "Tavrolith-$version") || fail "ZIP nicht erstellt"
  zipped=$(unzip -Z1 "$zip_file" | grep -v '/$' | sed "s|^Tavrolith-$version/||" | sort)

  for f in $files; do echo "File \"$stage/$f\""; done >"$out/files.nsh"
  for f in $files; do echo "Delete \"\$INSTDIR\\$f\""; done >"$out/removes.nsh"
  installer="$out/tavrolith-$version-$suffix-setup.exe"
  defines=(-DVERSION="$version" -DARCH="$nsarch" -DSTAGE="$stage" -DOUTFILE="$installer"
           -DFILES="$out/files.nsh" -DREMOVES="$out/removes.nsh")
  [ -n "$window" ] && defines+=(-DWINDOW)
  if ! makensis -V4 -X"Target $target" "${defines[@]}" "$root/packaging/windows/tavrolith.nsi" >"$out/makensis.log" 2>&1; then
    grep -iE "error|warning" "$out/makensis.log" | head -20
    fail "makensis fehlgeschlagen (Protokoll: $out/makensis.log)"
    continue
  fi
  packed=$(sed -n 's|^File: "\([^"]*\)" .*|\1|p' "$out/makensis.log" | sort)
  [ "$packed" = "$zipped" ] || fail "Installer und ZIP unterscheiden sich: $(diff <(echo "$packed") <(echo "$zipped") | tr '\n' ' ')"
  [ "$zipped" = "$files" ] || fail "ZIP unvollständig"
  echo "== $arch: $(basename "$zip_file"), $(basename "$installer"): $(echo "$files" | wc -l) Dateien"

  [ "$arch" = x86_64 ] || { echo "== $arch: Installer gebaut und seine Dateiliste geprüft, nicht ausgeführt (kein 32-Bit-Wine)"; continue; }
  [ -n "$wine64" ] || { echo "== $arch: kein wine64: Installer nicht ausgeführt"; continue; }
  # A scratch prefix and home: Wine links the user's folders into $HOME.
  scratch=$(mktemp -d)
  (
    export WINEPREFIX="$scratch/prefix" HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
    export XDG_DATA_HOME="$scratch/home/.local/share" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
    mkdir -p "$HOME"
    "$wine64" wineboot --init >/dev/null 2>&1
    "$wine64" "$installer" /S '/D=C:\Tavrolith' >/dev/null 2>&1
    "$wineserver_bin" -w
    dir="$WINEPREFIX/drive_c/Tavrolith"
    installed=$(cd "$dir" 2>/dev/null && find . -type f | sed 's|^\./||' | grep -vx Uninstall.exe | sort)
    bad=0
    [ "$installed" = "$zipped" ] || { echo "installiert: $(echo $installed) / ZIP: $(echo $zipped)"; bad=1; }
    for f in $installed; do cmp -s "$dir/$f" "$stage/$f" || { echo "$f weicht ab"; bad=1; }; done
    work=$(find -L "$WINEPREFIX/drive_c/users" -path '*/Tavrolith/8789LIST.CSV' -printf '%h\n' | head -1)
    [ -n "$work" ] || { echo "kein Arbeitsordner mit 8789LIST.CSV"; bad=1; }
    link=$(find -L "$WINEPREFIX/drive_c/users" -name 'Tavrolith Kommandozeile.lnk' | head -1)
    [ -n "$link" ] || { echo "keine Verknüpfung im Startmenü"; bad=1; }
    # The shortcut starts in the working folder, not in Program Files.
    [ -n "$link" ] && ! strings -el "$link" | grep -q 'Documents\\Tavrolith$' && { echo "Verknüpfung startet nicht im Arbeitsordner"; bad=1; }
    # The installed program as a user starts it: in the working folder.
    [ -n "$work" ] && (cd "$work" && "$wine64" 'C:\Tavrolith\tavrolith-cli.exe' devices 2>&1 | grep -q AT89C2051) \
      || { echo "tavrolith-cli devices im Arbeitsordner ohne AT89C2051"; bad=1; }
    "$wine64" 'C:\Tavrolith\Uninstall.exe' /S '_?=C:\Tavrolith' >/dev/null 2>&1
    "$wineserver_bin" -w
    left=$(cd "$dir" 2>/dev/null && find . -type f | sed 's|^\./||' | grep -vx Uninstall.exe)
    [ -z "$left" ] || { echo "nach der Deinstallation übrig: $left"; bad=1; }
    [ -z "$(find -L "$WINEPREFIX/drive_c/users" -name '*.lnk' -path '*Tavrolith*')" ] || { echo "Verknüpfungen übrig"; bad=1; }
    [ -f "$work/8789LIST.CSV" ] || { echo "Arbeitsordner beim Deinstallieren gelöscht"; bad=1; }
    "$wineserver_bin" -k 2>/dev/null
    exit $bad
  ) >"$out/install-test.log" 2>&1 || { cat "$out/install-test.log"; fail "Installationsprobe unter wine64 fehlgeschlagen"; }
  rm -rf "$scratch"
  [ $status -eq 0 ] && echo "== $arch: Installer unter wine64 still installiert, mit dem ZIP verglichen, deinstalliert"
done
exit $status
