#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The installed program, as a user gets it: builds the Debian package from
# an already built tree, unpacks it into a scratch root, checks its file list
# and dependencies, runs the installed tavrolith-cli from an empty folder,
# renders the manual page, drives the bash completion and compares the
# package with a plain `cmake --install --prefix`.
#
# Usage: scripts/test-package.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "test-package: $*" >&2
  failures=$((failures + 1))
}

# --- the package -----------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  echo "test-package: cpack failed" >&2
  exit 1
}
deb=$(ls "$work"/cpack/tavrolith_*.deb)
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
window=$(sed -n 's/^TAVROLITH_WINDOW:BOOL=//p' "$build/CMakeCache.txt")
rel=${prefix#/}

dpkg-deb -x "$deb" "$work/root"
pkgroot=$work/root/$rel
(cd "$work/root" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$work/files"

expected=(
  "$rel/bin/tavrolith-cli"
  "$rel/share/tavrolith/8789LIST.CSV"
  "$rel/share/man/man1/tavrolith-cli.1"
  "$rel/share/bash-completion/completions/tavrolith-cli"
  "$rel/share/doc/tavrolith/README.md"
  "$rel/share/doc/tavrolith/real-board.md"
  "$rel/share/doc/tavrolith/examples/blink.a51"
  "$rel/share/doc/tavrolith/examples/blink.hex"
)
if [ "$window" = ON ]; then
  expected+=(
    "$rel/bin/tavrolith"
    "$rel/share/applications/tavrolith.desktop"
    "$rel/share/icons/hicolor/32x32/apps/tavrolith.png"
  )
fi
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
if ! diff -u "$work/expected" "$work/files" >"$work/files.diff"; then
  cat "$work/files.diff" >&2
  fail "the package's file list differs from the expected one (- expected, + packaged)"
fi
cmp -s "$root/data/8789LIST.CSV" "$pkgroot/share/tavrolith/8789LIST.CSV" ||
  fail "the packaged library differs from data/8789LIST.CSV"

# Dependencies: the C++ runtime always, Qt when the window is in the package.
depends=$(dpkg-deb -f "$deb" Depends)
needed=(libc6 libstdc++6)
[ "$window" = ON ] && needed+=(libqt6widgets6 libqt6gui6 libqt6core6)
for lib in "${needed[@]}"; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: '$depends'"
done

# --- the installed program, from an empty folder ---------------------------
cli=$pkgroot/bin/tavrolith-cli
mkdir "$work/empty"
cd "$work/empty"
"$cli" --help >"$work/help.txt" 2>&1 || fail "tavrolith-cli --help ended with $?"
grep -q 'blank-check' "$work/help.txt" || fail "--help lists no commands"
# The library lookup (working folder, then the installed sample) comes with
# --config-dir; a program without it needs the library in the folder, so that
# case runs with a copy of the installed one.
if grep -q -- '--config-dir' "$work/help.txt"; then
  devices_dir=$work/empty
else
  echo "test-package: tavrolith-cli has no installed-library lookup yet; devices runs beside a copy" >&2
  devices_dir=$work/copy
  mkdir "$devices_dir"
  cp "$pkgroot/share/tavrolith/8789LIST.CSV" "$devices_dir/"
fi
(cd "$devices_dir" && "$cli" devices >"$work/devices.txt" 2>&1) || {
  cat "$work/devices.txt" >&2
  fail "installed tavrolith-cli devices ended with non-zero status"
}
grep -q 'AT89C2051' "$work/devices.txt" || fail "devices does not list the AT89C2051"
[ -z "$(ls -A "$work/empty")" ] || fail "devices left files in the empty folder: $(ls -A "$work/empty")"
cd "$root"

# --- the manual page --------------------------------------------------------
man_page=$pkgroot/share/man/man1/tavrolith-cli.1
warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$man_page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$man_page" 2>/dev/null >"$work/man.txt"
for section in SYNOPSIS COMMANDS OPTIONS 'EXIT STATUS' FILES EXAMPLES 'REAL BOARD SET-UP'; do
  grep -q "^$section\$" "$work/man.txt" || fail "the manual page has no section $section"
done
# Every command and long option that --help names is in the manual page.
for word in $(grep -oE '(^|[ ,])--[a-z][a-z-]+' "$work/help.txt" | tr -d ' ,' | sort -u) \
  $(sed -n '/^Subcommands:/,$p' "$work/help.txt" | awk 'NR > 1 && /^  [a-z]/ { print $1 }'); do
  grep -q -- "$word" "$work/man.txt" || fail "the manual page does not mention $word"
done

# --- bash completion ----------------------------------------------------------
# Completes a command line in a bash without bash-completion loaded; prints
# the candidates, one per line.
complete_line() {
  PATH="$pkgroot/bin:$PATH" bash -c '
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _tavrolith_cli; printf "%s\n" "${COMPREPLY[@]}"' \
    complete "$pkgroot/share/bash-completion/completions/tavrolith-cli" "$@"
}
[ "$(complete_line tavrolith-cli bl)" = blank-check ] || fail "completion of 'bl' is not blank-check"
complete_line tavrolith-cli --dev | grep -qx -- --device || fail "completion of '--dev' lacks --device"
complete_line tavrolith-cli read x.hex --fo | grep -qx -- --format ||
  fail "completion of 'read x.hex --fo' lacks --format"
complete_line tavrolith-cli read x.hex --format s | sort | tr '\n' ' ' | grep -qx 's1 s2 s3 ' ||
  fail "completion of '--format s' is not s1 s2 s3"
complete_line tavrolith-cli --on-error r | grep -qx retry || fail "completion of '--on-error r' lacks retry"

# --- the window's desktop entry and icon --------------------------------------
if [ "$window" = ON ]; then
  desktop=$pkgroot/share/applications/tavrolith.desktop
  for key in 'Type=Application' 'Name=Tavrolith' 'Exec=tavrolith' 'Icon=tavrolith'; do
    grep -qx "$key" "$desktop" || fail "tavrolith.desktop lacks $key"
  done
  grep -q '^Comment=.*[a-zäöü]' "$desktop" || fail "tavrolith.desktop has no Comment"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate refuses tavrolith.desktop"
  fi
  icon=$pkgroot/share/icons/hicolor/32x32/apps/tavrolith.png
  # PNG signature, then the IHDR width and height as 32-bit big-endian numbers.
  size=$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')
  [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the icon is no PNG"
  [ "$size" = 0000002000000020 ] || fail "the icon is not 32 x 32 (IHDR $size)"
fi

# --- a plain install into another prefix holds the same files -----------------
cmake --install "$build" --prefix "$work/prefix" >/dev/null
(cd "$work/prefix" && find . -type f -o -type l | sed "s|^\./|$rel/|" | sort) >"$work/prefix-files"
diff -u "$work/files" "$work/prefix-files" >&2 || fail "cmake --install --prefix installs other files than the package"

if [ "$failures" -ne 0 ]; then
  echo "test-package: $failures failure(s)" >&2
  exit 1
fi
echo "test-package: $(basename "$deb") ($(wc -l <"$work/files") files) installs and runs"
