#!/usr/bin/env bash
# Builds the libFuzzer targets of the portable core (clang 14, AddressSanitizer
# and UBSan) and runs each for a bounded time, starting from the seed corpus
# in fuzz/corpus/<target>/. Exits non-zero on the first finding: a crash, a
# sanitizer report or a failed property; the input is kept under
# <build>/findings/<target>/ and the way to replay it is printed.
#
#   bash fuzz/run.sh [target ...]      targets: settings keyword_urls encoder user_pages suggestions
#                                      history
#
#   FUZZ_SECONDS  time per target (default 30)
#   FUZZ_BUILD    build folder (default $VELVANE_BUILD/fuzz, i.e. build/fuzz)
#   FUZZ_CXX      the clang to build with (default clang++-14, else clang++)
#
# Inputs the fuzzer finds interesting go to <build>/corpus/<target>/, not into
# the repository: the seed corpus stays small.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
cd "$VELVANE_ROOT"

seconds=${FUZZ_SECONDS:-30}
build=${FUZZ_BUILD:-$VELVANE_BUILD/fuzz}
cxx=${FUZZ_CXX:-$(command -v clang++-14 || command -v clang++ || true)}
[[ -n $cxx ]] || die "no clang++ found (install clang-14 and libclang-rt-14-dev)"

targets=("$@")
((${#targets[@]})) || targets=(settings keyword_urls encoder user_pages suggestions history)

say "building the fuzz targets with $cxx in $build"
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

# Longest input per target: Setup.ini files are small, keywords are lines,
# an engines file holds a few pages; a suggestion answer is a few hundred
# bytes (the reader's 64 KB bound is a unit test), a history file a few KB.
declare -A max_len=([settings]=4096 [keyword_urls]=1024 [encoder]=1024 [user_pages]=8192 [suggestions]=4096
                    [history]=8192)

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for target in "${targets[@]}"; do
    exe=$build/${target}_fuzzer
    [[ -x $exe ]] || die "no fuzz target '$target'"
    corpus=$build/corpus/$target findings=$build/findings/$target log=$build/$target.log
    mkdir -p "$corpus" "$findings"
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="${max_len[$target]:-4096}"
          -print_final_stats=1 -artifact_prefix="$findings/")
    [[ -f fuzz/$target.dict ]] && args+=(-dict="fuzz/$target.dict")

    say "fuzzing $target for ${seconds}s"
    if "$exe" "${args[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
        # libFuzzer's summary: runs, speed, coverage.
        grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|#[0-9]+ +DONE)' "$log" \
            | sed "s/^/    $target: /" >&2 || true
    else
        failed=1
        tail -n 60 "$log" >&2
        say "FINDING in $target; full log: $log"
        for input in "$findings"/*; do
            [[ -e $input ]] && say "replay: $exe $input"
        done
    fi
done

if ((failed)); then
    die "fuzzing found a problem (see above)"
fi
say "fuzzing: no findings in ${targets[*]}"
