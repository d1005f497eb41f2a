#!/usr/bin/env bash
# Installs, builds and runs every test through CTest. Window tests use Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
