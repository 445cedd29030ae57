#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless:
#   1. the unit tests of the portable core (native, ASan + UBSan);
#   2. the fuzz targets of the portable core, for a bounded time each;
#   3. the static imports of both velvane.exe builds against Windows 7 SP1, and
#      what else Windows checks before the program starts (scripts/check-exe.py:
#      the manifest's architecture and XML, the version block, the subsystem
#      version);
#   4. the release package: both zips made, listed, their sums checked, and
#      the velvane.exe in each checked as in 3;
#   5. the end-to-end tests of the 64-bit velvane.exe under Wine (with a short
#      soak), and a smoke run of the 32-bit one, in a private Xvfb and a fresh
#      Wine prefix that are removed afterwards. Where the kernel cannot run
#      32-bit programs (scripts/lib.sh finds out; VELVANE_RUN_32BIT=0 or 1
#      decides instead), Wine runs through its 64-bit loader and the 32-bit
#      smoke run is skipped, saying so.
# Exits non-zero when anything fails.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$VELVANE_ROOT"

setup_deps
run_as_invoking_user "$0" "$@"
bash scripts/build.sh

work=$(mktemp -d /tmp/velvane-test.XXXXXX)
cleanup() {
    stop_wineserver
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

summary=()
failed=0
# Runs a ctest command, shows its output, and keeps its closing line for the
# summary.
run_ctest() {
    local name=$1 status=0
    shift
    timeout 900 "$@" --output-on-failure --no-tests=error 2>&1 | tee "$work/$name.log" || status=$?
    summary+=("$name: $(grep -E 'tests passed|No tests were found' "$work/$name.log" | tail -1)")
    if ((status != 0)); then
        summary+=("$name: FAILED (ctest exit $status)")
        failed=1
    fi
}

# ---- Layout: every C++ source as .clang-format writes it.
say "formatting (clang-format --dry-run -Werror)"
format_tool=$(command -v clang-format-14 || command -v clang-format || true)
if [[ -z $format_tool ]]; then
    summary+=("format: FAILED (no clang-format; scripts/setup-deps.sh installs it)")
    failed=1
elif find src tests fuzz bench -name '*.cpp' -o -name '*.h' | sort |
    xargs "$format_tool" --dry-run -Werror 2>"$work/format.log"; then
    summary+=("format: every C++ source formatted")
else
    cat "$work/format.log" >&2
    summary+=("format: FAILED (run: $format_tool -i on the files above)")
    failed=1
fi
# ---- end of the layout check

say "unit tests"
run_ctest unit ctest --test-dir "$VELVANE_BUILD/native" -j "$(nproc 2>/dev/null || echo 2)" --timeout 120

# ---- Fuzzing (fuzz/run.sh): each libFuzzer target of the portable core for
# FUZZ_SECONDS (default 30) under ASan and UBSan; any finding fails the run.
say "fuzzing the portable core"
if ! command -v clang++-14 >/dev/null 2>&1 && ! command -v clang++ >/dev/null 2>&1; then
    summary+=("fuzz: SKIPPED (no clang++; scripts/setup-deps.sh installs clang and libclang-rt-14-dev)")
elif timeout 900 bash fuzz/run.sh; then
    summary+=("fuzz: no findings")
else
    summary+=("fuzz: FAILED (see fuzz/run.sh output above)")
    failed=1
fi
# ---- end of fuzzing

# ---- Both builds may import only what Windows 7 SP1 has: a missing import
# stops the program before it starts.
say "imports of both builds against Windows 7 SP1"
if python3 scripts/check-imports.py "$VELVANE_BUILD/win/src/velvane.exe" "$VELVANE_BUILD/win32/src/velvane.exe"; then
    summary+=("imports: both builds start on Windows 7 SP1")
else
    summary+=("imports: FAILED (see the list above)")
    failed=1
fi

# ---- What Windows checks before a program's first line and Wine does not:
# the manifest's architecture against the PE header's machine, the manifest
# as XML, the version block against the project version, the subsystem
# version against Windows 7.
say "manifests, version blocks and subsystem versions of both builds"
if python3 scripts/check-exe.py "$VELVANE_BUILD/win/src/velvane.exe" "$VELVANE_BUILD/win32/src/velvane.exe"; then
    summary+=("executables: each manifest names its build's architecture; version blocks and subsystem versions fit")
else
    summary+=("executables: FAILED (see scripts/check-exe.py output above)")
    failed=1
fi

# ---- The release package, in a folder of this run: both zips listed and checked.
say "release package"
if VELVANE_DIST=$work/dist bash scripts/package.sh; then
    summary+=("package: $(cd "$work/dist" && echo *.zip), sums checked")
else
    summary+=("package: FAILED (see scripts/package.sh output above)")
    failed=1
fi

say "end-to-end tests under Wine"
# Always a private display: the tests move the mouse and type, which must
# neither disturb a person at their desktop nor be disturbed by them.
start_xvfb 1280x1024x24
velvane_wine_env
export WINEPREFIX=$work/prefix
bash scripts/wine-prefix.sh --desktop 1024x768 --urllog "$VELVANE_BUILD/win/tests/e2e/urllog.exe"
run_ctest e2e env LC_ALL=zh_CN.UTF-8 ctest --test-dir "$VELVANE_BUILD/win" --timeout 120

# ---- The page layout and the icons once more at 144 DPI: the same prefix
# with LogPixels=144, which Wine reads when its server starts; the tests check
# that they got that DPI. The prefix goes back to 96 DPI afterwards.
set_prefix_dpi() {
    timeout 60 env LC_ALL=zh_CN.UTF-8 "$VELVANE_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d "$1" /f >/dev/null 2>&1 || die "could not set the prefix to $1 DPI"
    # The server saves the registry when it goes down; the next one starts at the new DPI.
    timeout 60 env LC_ALL=zh_CN.UTF-8 wineserver -w || stop_wineserver
}
say "end-to-end layout and icons at 144 DPI"
set_prefix_dpi 144
run_ctest e2e-144dpi env LC_ALL=zh_CN.UTF-8 VELVANE_EXPECT_DPI=144 \
    ctest --test-dir "$VELVANE_BUILD/win" --timeout 120 -R '^LookAndFeel\.(EveryPageLiesInside|CaptionAndTray)'
set_prefix_dpi 96
# ---- end of the 144 DPI run

# ---- The 32-bit build: the 64-bit test drivers run a few tests against it
# (start, a search, the hotkey, the 32-bit skin stand-in, the version block,
# exit); a 64-bit prefix runs 32-bit programs too.
# Where the kernel cannot run 32-bit programs, the 32-bit build is still
# built and its imports checked (above); only this run is left out.
say "end-to-end smoke run of the 32-bit build"
if velvane_runs_32bit; then
    smoke32='^(VelvaneTest\.StartsAndSearchesBaiduByEnter|Resident\.(AltWFromAnotherWindow|SkinLibrary|CloseBoxEnds)'
    smoke32+='|LookAndFeel\.ExecutableHasTheNineSizeIconAndTheVersionBlock)'
    # The browser here is urllog.exe started per URL: the 32-bit program
    # talking DDE to the 64-bit resident logger has not been tried on a
    # kernel that runs both.
    run_ctest e2e-32bit env LC_ALL=zh_CN.UTF-8 VELVANE_EXE="$VELVANE_BUILD/win32/src/velvane.exe" \
        VELVANE_E2E_BROWSER=per-url VELVANE_FAKE_SKIN="$VELVANE_BUILD/win32/tests/e2e/fake_skin/SkinH_EL.dll" \
        ctest --test-dir "$VELVANE_BUILD/win" --timeout 120 -R "$smoke32"
else
    echo "$VELVANE_NO_32BIT"
    summary+=("$VELVANE_NO_32BIT")
fi
# ---- end of the 32-bit smoke run

echo
say "summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
