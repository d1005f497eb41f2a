#!/usr/bin/env bash
# Builds the Debian package build/vendrix_<version>_amd64.deb: installs what is missing, builds
# the three commands with their manual pages, has CPack put the package together and lintian
# check it (the script fails when lintian reports an error).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target vendrix_pacchetto
versione=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/CPackConfig.cmake)
pacchetto="$PWD/build/vendrix_${versione}_amd64.deb"
rm -f "$pacchetto"
(cd build && cpack -G DEB --config CPackConfig.cmake -B "$PWD" >/dev/null)
lintian --info "$pacchetto"
echo "Pacchetto: $pacchetto"
echo "Per installarlo: sudo apt install $pacchetto"
