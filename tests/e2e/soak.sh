#!/usr/bin/env bash
# The full soak, on demand: 10,000 searches through the real window with a
# resident URL logger as the browser (reached through the shell's DDE, so no
# search starts a process), 1,000 hotkey toggles, and searches while the
# browser is slow to answer (tests/e2e/soak_test.cpp). CI runs the same tests
# with a few hundred searches and toggles as part of the end-to-end tests.
#
#   bash tests/e2e/soak.sh
#
#   VELVANE_SOAK_SEARCHES  (default 10000)
#   VELVANE_SOAK_TOGGLES   (default 1000)
#
# Builds build/win (VELVANE_BUILD moves it) and runs in a private Xvfb and a
# fresh Wine prefix, both removed afterwards. Exits non-zero when a check fails.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
cd "$VELVANE_ROOT"

export VELVANE_SOAK_SEARCHES=${VELVANE_SOAK_SEARCHES:-10000}
export VELVANE_SOAK_TOGGLES=${VELVANE_SOAK_TOGGLES:-1000}

say "building the Windows tree in $VELVANE_BUILD/win"
velvane_configure_windows . "$VELVANE_BUILD/win" x86_64
cmake --build "$VELVANE_BUILD/win" -j "$(nproc 2>/dev/null || echo 2)" --target velvane_soak_tests >/dev/null

work=$(mktemp -d /tmp/velvane-soak.XXXXXX)
cleanup() {
    stop_wineserver
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb 1280x1024x24
velvane_wine_env
export WINEPREFIX=$work/prefix
bash scripts/wine-prefix.sh --desktop 1024x768 --urllog "$VELVANE_BUILD/win/tests/e2e/urllog.exe"

say "soak: $VELVANE_SOAK_SEARCHES searches, $VELVANE_SOAK_TOGGLES toggles"
start=$SECONDS
status=0
timeout 5400 env LC_ALL=zh_CN.UTF-8 "$VELVANE_WINE" "$VELVANE_BUILD/win/tests/e2e/velvane_soak_tests.exe" || status=$?
say "soak finished in $((SECONDS - start)) s with exit status $status"
exit "$status"
