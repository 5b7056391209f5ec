# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced by the Windows scripts (cross-build.sh, windows-packages.sh).

# Sets `arches` from the arguments: i686, x86_64, or both when none is given.
# $1 is the calling script's name for the refusal of anything else.
windows_arches() {
  local name=$1 arg
  shift
  arches=()
  for arg in "$@"; do
    case "$arg" in
      i686|x86_64) arches+=("$arg") ;;
      *) echo "$name: unbekanntes Argument '$arg'" >&2; exit 2 ;;
    esac
  done
  [ ${#arches[@]} -eq 0 ] && arches=(i686 x86_64)
}

# Debian's wine64 runs 64-bit programs only; the 32-bit loader comes with
# the package wine32 (an i386 foreign architecture), which is not installed.
# Sets `wine64` (empty when missing) and `wineserver_bin` beside it.
wine64=""
for candidate in wine64 /usr/lib/wine/wine64; do
  if command -v "$candidate" >/dev/null; then wine64=$(command -v "$candidate"); break; fi
done
wineserver_bin="$(dirname "${wine64:-/usr/lib/wine/wine64}")/wineserver"
[ -x "$wineserver_bin" ] || wineserver_bin=wineserver
