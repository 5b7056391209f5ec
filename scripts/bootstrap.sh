#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs every build and test dependency from Debian 12 packages.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
  cmake g++ make pkg-config ccache
  qt6-base-dev
  librsvg2-bin fonts-dejavu-core
  libsimpleini-dev
  libcli11-dev
  libgtest-dev libgmock-dev
  libbenchmark-dev
  srecord
  # The example's assembler; the package test (scripts/test-package.sh):
  # dpkg-shlibdeps for the package's dependencies, man for the manual page.
  as31 dpkg-dev man-db
  # Debian's checks of the package, its desktop entry and AppStream metadata.
  lintian desktop-file-utils appstream
  xvfb xauth
  # The window tests on a desktop (tests/window/desktop_run.sh, and under
  # Wine tests/win32_end_to_end.sh) and the toolkit's German texts.
  openbox xdotool x11-utils x11-apps netpbm qt6-translations-l10n
  clang
  # Cross builds for Windows and their tests (scripts/cross-build.sh);
  # googletest brings the GoogleTest sources the cross build compiles.
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 googletest
  # The Windows packages (scripts/windows-packages.sh): installer and ZIP.
  nsis zip unzip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
