#!/bin/sh
# The benchmark's browser: the prefix's http handler runs this Linux script
# (Wine starts a non-Windows program with fork and exec), which appends the
# URL to $BENCH_URL_LOG. A Windows logger would cost a Wine process start,
# a tenth of a second or more, per search, and 1,000 searches per run would
# take minutes; the program under measurement sees no difference.
printf '%s\n' "$1" >>"$BENCH_URL_LOG"
