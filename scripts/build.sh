#!/usr/bin/env bash
# Configures and builds both trees:
#   build/native  the portable core and its unit tests (Linux, ASan + UBSan)
#   build/win     the 64-bit velvane.exe and the end-to-end tests (mingw-w64, x86_64)
#   build/win32   the 32-bit velvane.exe and its stand-in skin library (mingw-w64, i686)
# VELVANE_BUILD moves all three (default: build/ in the repository).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$VELVANE_ROOT"

jobs=$(nproc 2>/dev/null || echo 2)

say "native build in $VELVANE_BUILD/native"
cmake -S . -B "$VELVANE_BUILD/native" >/dev/null
cmake --build "$VELVANE_BUILD/native" -j "$jobs"

say "Windows build in $VELVANE_BUILD/win"
velvane_configure_windows . "$VELVANE_BUILD/win" x86_64
cmake --build "$VELVANE_BUILD/win" -j "$jobs"

say "32-bit Windows build in $VELVANE_BUILD/win32"
velvane_configure_windows . "$VELVANE_BUILD/win32" i686 -DVELVANE_E2E=OFF
cmake --build "$VELVANE_BUILD/win32" -j "$jobs"
