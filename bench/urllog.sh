#!/bin/sh
# The prefix's http handler during the benchmark, for a URL the resident
# browser (the DDE logger the driver starts) was not there to take: Wine
# starts this Linux script with fork and exec, and it appends the URL to
# $BENCH_URL_LOG. Not the browser of the searches themselves: under load,
# Wine's start of it hung now and then and stalled a run.
printf '%s\n' "$1" >>"$BENCH_URL_LOG"
