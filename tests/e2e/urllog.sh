#!/bin/sh
# The soak's browser: what urllog.exe does, as a Linux program, which Wine
# starts by fork and exec instead of starting a Wine process. About one Wine
# process start in ten thousand fails here ("failed to map the shared user
# data"), which would lose a URL through no fault of the program; the soak
# starts thousands.
#
# Appends its arguments (tab-separated, as urllog.exe does) and a newline to
# the file named by VELVANE_URL_LOG, a Windows path, after waiting
# VELVANE_URLLOG_DELAY_MS milliseconds if that is set.
if [ -n "${VELVANE_URLLOG_DELAY_MS:-}" ]; then
    sleep "$(awk -v ms="$VELVANE_URLLOG_DELAY_MS" 'BEGIN { print ms / 1000 }')"
fi
# C:\dir\file -> $WINEPREFIX/dosdevices/c:/dir/file
log=$(printf '%s' "$VELVANE_URL_LOG" | sed -e 's|\\|/|g' -e 's|^\([A-Za-z]\):|\L\1:|')
log="${WINEPREFIX:-$HOME/.wine}/dosdevices/$log"
IFS="$(printf '\t')"
# One write per line (O_APPEND): lines of loggers running at once do not mix.
printf '%s\n' "$*" >>"$log"
