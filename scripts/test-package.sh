#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The installed program, as a user gets it: packages an already built tree
# (scripts/build-deb.sh makes one as Debian would), checks the package with
# lintian, unpacks it into a scratch root, checks its file list and
# dependencies, that no path of the build machine is in the programs, runs
# the installed tavrolith-cli from an empty folder, renders the manual
# pages, validates the desktop entry and the AppStream metadata, drives the
# bash completion and compares the package with a plain
# `cmake --install --prefix`.
#
# Usage: scripts/test-package.sh [BUILD_DIR]     (default: build-deb)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-deb}" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The installed programs look for settings in the user's folders: scratch
# ones here, never the real home.
export HOME=$work/home XDG_CONFIG_HOME=$work/config
mkdir "$HOME"
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
[ "$prefix" = /usr ] || fail "the package installs into $prefix, not /usr (scripts/build-deb.sh builds it right)"

dpkg-deb -x "$deb" "$work/root"
pkgroot=$work/root/$rel
(cd "$work/root" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$work/files"

man=$rel/share/man
doc=$rel/share/doc/tavrolith
expected=(
  "$rel/bin/tavrolith-cli"
  "$rel/share/tavrolith/8789LIST.CSV"
  "$man/man1/tavrolith-cli.1.gz" "$man/de/man1/tavrolith-cli.1.gz"
  "$man/man5/QUENVALD.INI.5.gz" "$man/de/man5/QUENVALD.INI.5.gz"
  "$man/man5/8789LIST.CSV.5.gz" "$man/de/man5/8789LIST.CSV.5.gz"
  "$rel/share/bash-completion/completions/tavrolith-cli"
  "$doc/README.md"
  "$doc/real-board.md"
  "$doc/changelog.gz"
  "$doc/copyright"
  "$doc/examples/blink.a51"
  "$doc/examples/blink.hex"
)
if [ "$window" = ON ]; then
  expected+=(
    "$rel/bin/tavrolith"
    "$man/man1/tavrolith.1.gz" "$man/de/man1/tavrolith.1.gz"
    "$rel/share/applications/tavrolith.desktop"
    "$rel/share/icons/hicolor/32x32/apps/tavrolith.png"
    "$rel/share/icons/hicolor/48x48/apps/tavrolith.png"
    "$rel/share/icons/hicolor/scalable/apps/tavrolith.svg"
    "$rel/share/metainfo/invalid.tavrolith.Tavrolith.metainfo.xml"
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

# Debian's own checks: no error, and no warning but the maintainer address,
# a placeholder until the project has a public home.
if command -v lintian >/dev/null; then
  lintian --pedantic --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
  if grep -E '^[EW]: ' "$work/lintian.txt" | grep -v -E ' maintainer-address-' >"$work/lintian-bad.txt"; then
    cat "$work/lintian.txt" >&2
    fail "lintian reports $(wc -l <"$work/lintian-bad.txt") error(s) or warning(s)"
  fi
else
  fail "lintian is missing (scripts/bootstrap.sh installs it)"
fi

# Reproducible programs: neither the source tree nor the build folder is
# named in an installed binary. Short texts may be built from immediates
# that strings cannot see, so the program is also asked: moved away from
# its installed library, it must not find the source tree's.
for program in "$pkgroot"/bin/*; do
  for path in "$root" "$build"; do
    if strings -a "$program" | grep -qF "$path"; then
      fail "$(basename "$program") holds the build path $path"
    fi
  done
done
mkdir -p "$work/lone/bin" "$work/lone/run"
cp "$pkgroot/bin/tavrolith-cli" "$work/lone/bin/"
library=$(cd "$work/lone/run" && { "$work/lone/bin/tavrolith-cli" -v --simulate detect 2>&1 || true; } |
  sed -n 's/^Bibliothek: //p')
case $library in
  "$root"* | "$build"*) fail "tavrolith-cli away from its installation finds $library" ;;
esac

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

# --- the manual pages ---------------------------------------------------------
render() { MANWIDTH=80 LC_ALL=C.UTF-8 man "$@"; }
for page in $(cd "$pkgroot/share/man" && find . -name '*.gz' | sort); do
  warnings=$(render --warnings -l "$pkgroot/share/man/$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the manual page $page renders with warnings: $warnings"
done
render -l "$pkgroot/share/man/man1/tavrolith-cli.1.gz" 2>/dev/null >"$work/man.txt"
render -l "$pkgroot/share/man/de/man1/tavrolith-cli.1.gz" 2>/dev/null >"$work/man-de.txt"
for section in SYNOPSIS COMMANDS OPTIONS 'EXIT STATUS' FILES EXAMPLES 'REAL BOARD SET-UP'; do
  grep -q "^$section\$" "$work/man.txt" || fail "the manual page has no section $section"
done
# Every command and long option that --help names is in both manual pages.
for word in $(grep -oE '(^|[ ,])--[a-z][a-z-]+' "$work/help.txt" | tr -d ' ,' | sort -u) \
  $(sed -n '/^Subcommands:/,$p' "$work/help.txt" | awk 'NR > 1 && /^  [a-z]/ { print $1 }'); do
  grep -q -- "$word" "$work/man.txt" || fail "the manual page does not mention $word"
  grep -q -- "$word" "$work/man-de.txt" || fail "the German manual page does not mention $word"
done
# Every key the program stores is described in QUENVALD.INI(5), in both languages.
for lang in "" de/; do
  render -l "$pkgroot/share/man/${lang}man5/QUENVALD.INI.5.gz" 2>/dev/null >"$work/ini.txt"
  for key in $(cd "$work/empty" && "$cli" config | sed -n 's/=.*//p'); do
    grep -q -- "$key" "$work/ini.txt" || fail "${lang}QUENVALD.INI(5) does not describe $key"
  done
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
# Device names and settings keys come from the installed program itself.
[ "$(complete_line tavrolith-cli --device AT89C20)" = AT89C2051 ] || fail "completion of '--device AT89C20' is not AT89C2051"
[ "$(complete_line tavrolith-cli --manufacturer At)" = Atmel ] || fail "completion of '--manufacturer At' is not Atmel"
[ "$(complete_line tavrolith-cli config set TimeB)" = TimeBaseKorr ] || fail "completion of 'config set TimeB' is not TimeBaseKorr"
[ "$(complete_line tavrolith-cli config set Device AT89C40)" = AT89C4051 ] ||
  fail "completion of 'config set Device AT89C40' is not AT89C4051"

# --- the window's desktop entry, icons and AppStream metadata ------------------
if [ "$window" = ON ]; then
  desktop=$pkgroot/share/applications/tavrolith.desktop
  for key in 'Type=Application' 'Name=Tavrolith' 'Exec=tavrolith' 'Icon=tavrolith'; do
    grep -qx "$key" "$desktop" || fail "tavrolith.desktop lacks $key"
  done
  for key in Comment GenericName Keywords; do  # in English, and in German for the German desktop
    grep -q "^$key=" "$desktop" && grep -q "^$key\[de\]=" "$desktop" || fail "tavrolith.desktop lacks $key or $key[de]"
  done
  desktop-file-validate "$desktop" || fail "desktop-file-validate refuses tavrolith.desktop"
  metainfo=$pkgroot/share/metainfo/invalid.tavrolith.Tavrolith.metainfo.xml
  appstreamcli validate --no-net "$metainfo" >"$work/appstream.txt" 2>&1 || {
    cat "$work/appstream.txt" >&2
    fail "appstreamcli refuses the metainfo"
  }
  # PNG signature, then the IHDR width and height as 32-bit big-endian numbers.
  for size in 32 48; do
    icon=$pkgroot/share/icons/hicolor/${size}x${size}/apps/tavrolith.png
    ihdr=$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')
    [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the $size px icon is no PNG"
    [ "$ihdr" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "the icon is not $size x $size (IHDR $ihdr)"
  done
  grep -q '<svg' "$pkgroot/share/icons/hicolor/scalable/apps/tavrolith.svg" || fail "the scalable icon is no SVG"
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
