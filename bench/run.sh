#!/usr/bin/env bash
# Builds what the benchmarks need and prints the table: Velvane beside the
# two floors (bench/floor.cpp, same toolchain and flags): the fair floor,
# Velvane's window, tabs and pages done plainly, and the empty floor, the
# smallest program of its kind; median of each, and the ratios, from runs
# interleaved A B C A B C in this one invocation, with the machine's load
# before and after. Then the core's URL building per search and its reading
# of Engines.ini (Google Benchmark, natively).
#
#   bash bench/run.sh
#
#   BENCH_ROUNDS      A B pairs (default 5)
#   BENCH_SEARCHES    searches per run before the second memory reading (default 1000)
#   BENCH_TOGGLES     hotkey hide/show pairs per run (default 20)
#   BENCH_SWITCHES    page switches (Ctrl+Tab) per run, made up to whole rounds of the pages (default 20)
#   BENCH_KEYSTROKES  letters typed per run for the keystroke echo (Velvane, the fair floor) and for
#                     the keyword list's figure (Velvane with suggestions from the driver's own
#                     server on 127.0.0.1, in a run of its own; default 20)
#   BENCH_IDLE        seconds Velvane and the fair floor are left hidden and alone per run, for the
#                     idle figure (default 60, the figure's; shorter for a quick look, 0 for none)
#   BENCH_BUILD       build and run folder (default $VELVANE_BUILD/bench, i.e. build/bench)
#   BENCH_WINEPREFIX  the Wine prefix (default <build>/wineprefix; made on first use)
#
# Runs in a private Xvfb display and Wine desktop; everything it starts under
# Wine is ended at the end.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
cd "$VELVANE_ROOT"
setup_deps

rounds=${BENCH_ROUNDS:-5}
searches=${BENCH_SEARCHES:-1000}
toggles=${BENCH_TOGGLES:-20}
switches=${BENCH_SWITCHES:-20}
idle=${BENCH_IDLE:-60}
keystrokes=${BENCH_KEYSTROKES:-20}
build=${BENCH_BUILD:-$VELVANE_BUILD/bench}
mkdir -p "$build"
build=$(cd "$build" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

say "building velvane.exe (the project's own Windows build) in $build/velvane"
velvane_configure_windows . "$build/velvane" x86_64 -DVELVANE_E2E=OFF
cmake --build "$build/velvane" -j "$jobs" --target velvane >/dev/null
say "building the floors and the driver in $build/win"
velvane_configure_windows bench "$build/win" x86_64
cmake --build "$build/win" -j "$jobs" >/dev/null
# The 32-bit build is not measured (the figures are the 64-bit one's); only
# its size is shown.
say "building the 32-bit velvane.exe in $build/velvane32"
velvane32=none
if velvane_configure_windows . "$build/velvane32" i686 -DVELVANE_E2E=OFF && cmake --build "$build/velvane32" -j "$jobs" --target velvane >/dev/null; then
    velvane32=$build/velvane32/src/velvane.exe
else
    say "the 32-bit velvane.exe was not built (scripts/setup-deps.sh installs g++-mingw-w64-i686-posix)"
fi
say "building the core benchmark in $build/native"
cmake -S bench -B "$build/native" >/dev/null
cmake --build "$build/native" -j "$jobs" >/dev/null

# Each program in a folder of its own, with nothing beside it (no Setup.ini:
# Velvane takes Alt+W, as the floor does).
run=$build/run
rm -rf "$run"
mkdir -p "$run/velvane" "$run/velvane_list" "$run/floor" "$run/fair_floor" "$build/results"
cp "$build/velvane/src/velvane.exe" "$run/velvane/"
# Velvane again for the keyword list's figure, in a folder of its own: the
# driver writes an Engines.ini (a page whose suggestions come from its own
# server on 127.0.0.1) and a Setup.ini (suggestions on) there, which the
# other figures must not see.
cp "$build/velvane/src/velvane.exe" "$run/velvane_list/"
cp "$build/win/floor.exe" "$run/floor/"
cp "$build/win/fair_floor.exe" "$run/fair_floor/"
rm -f "$build"/results/*

export WINEPREFIX=${BENCH_WINEPREFIX:-$build/wineprefix}
velvane_wine_env
cleanup() { stop_wineserver; stop_xvfb; }
trap cleanup EXIT
start_xvfb 1024x768x24
bash scripts/wine-prefix.sh --desktop 1024x768 --urllog bench/urllog.sh
stop_wineserver  # a clean start for the measured programs

winpath() { local p; p=$(readlink -f "$1"); printf 'Z:%s' "${p//\//\\}"; }
measure() {  # program window-class round searches page-switches idle-seconds [driver options]
    local program=$1 class=$2 round=$3 count=$4 page_switches=$5 idle_seconds=$6 out exe
    out=$build/results/$program-$round.txt
    exe=$(find "$run/$program" -maxdepth 1 -name '*.exe' -print -quit)
    export BENCH_URL_LOG=$run/$program/urls.log
    if ! timeout 600 env LC_ALL=zh_CN.UTF-8 "$VELVANE_WINE" "$build/win/bench_driver.exe" \
            --exe "$(winpath "$exe")" --class "$class" \
            --log "$(winpath "$run/$program")\\urls.log" --browser "$(winpath "$build/win/ddelog.exe")" \
            --searches "$count" --toggles "$toggles" --switches "$page_switches" \
            --idle-ms "$((idle_seconds * 1000))" "${@:7}" >"$out" 2>"$out.stderr"; then
        cat "$out" "$out.stderr" >&2
        die "the $program run $round failed"
    fi
}

say "warming up (not counted)"
measure velvane VelvaneMainWindow warmup 0 0 0
measure floor VelvaneBenchFloor warmup 0 0 0
measure fair_floor VelvaneBenchFairFloor warmup 0 0 0
measure velvane_list VelvaneMainWindow warmup 0 0 0 --toggles 0 --suggestions 2
rm -f "$build"/results/*-warmup.txt*

# The empty floor has one page (nothing to switch to) and is only the floor
# for memory: it is not left idle.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for ((r = 1; r <= rounds; r++)); do
    say "round $r of $rounds: Velvane, the empty floor, the fair floor (load average $(cut -d' ' -f1-3 /proc/loadavg))"
    measure velvane VelvaneMainWindow "$r" "$searches" "$switches" "$idle" --echoes "$keystrokes"
    measure velvane_list VelvaneMainWindow "$r" 0 0 0 --toggles 0 --suggestions "$keystrokes"
    measure floor VelvaneBenchFloor "$r" "$searches" 0 0
    measure fair_floor VelvaneBenchFairFloor "$r" "$searches" "$switches" "$idle" --echoes "$keystrokes"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

machine="$(uname -m), $(nproc) CPU ($(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)), $(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo), $("$VELVANE_WINE" --version 2>/dev/null || echo wine)"
status=0
python3 bench/summary.py --results "$build/results" --rounds "$rounds" --searches "$searches" \
    --velvane-exe "$run/velvane/velvane.exe" --floor-exe "$run/floor/floor.exe" \
    --fair-floor-exe "$run/fair_floor/fair_floor.exe" --velvane32-exe "$velvane32" --machine "$machine" \
    --load "load average (1, 5, 15 min) before the rounds $load_before, after them $load_after" || status=$?

echo
echo "The core's URL building per search and its reading of Engines.ini (native, Google Benchmark; no target):"
if [[ -x $build/native/core_bench ]]; then
    "$build/native/core_bench" --benchmark_min_time=0.2
else
    echo "  not built: Google Benchmark is missing (apt-get install libbenchmark-dev)"
fi
exit "$status"
