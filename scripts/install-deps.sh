#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, test and benchmark.
# Idempotent: when everything is already there it prints nothing and changes nothing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  clang-14 libclang-rt-14-dev
  qt6-base-dev libgl-dev
  # Qt's own dialogs in Italian: the window loads their translations at start.
  qt6-translations-l10n
  libsqlite3-dev sqlite3
  libxlsxwriter-dev
  mdbtools-dev mdbtools
  libgtest-dev
  libzip-dev libpugixml-dev
  xvfb xauth
  # The reliability tests stop or fail a run at a chosen system call.
  strace
  fonts-dejavu-core fonts-liberation fonts-crosextra-carlito
  # The end-to-end tests print the workbooks as a user's spreadsheet application would.
  libreoffice-calc-nogui poppler-utils
  # The Debian package: shlibdeps, manual pages from --help, lintian, the menu entry's check.
  dpkg-dev file fakeroot help2man man-db lintian desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
echo "Installazione pacchetti: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
