#!/usr/bin/env bash
# Configures and builds both trees:
#   build/native  the portable core and its unit tests (Linux, ASan + UBSan)
#   build/win     velvane.exe and the end-to-end tests (mingw-w64)
# VELVANE_BUILD moves both (default: build/ in the repository).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$VELVANE_ROOT"

jobs=$(nproc 2>/dev/null || echo 2)

say "native build in $VELVANE_BUILD/native"
cmake -S . -B "$VELVANE_BUILD/native" >/dev/null
cmake --build "$VELVANE_BUILD/native" -j "$jobs"

say "Windows build in $VELVANE_BUILD/win"
cmake -S . -B "$VELVANE_BUILD/win" \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$VELVANE_BUILD/win" -j "$jobs"
