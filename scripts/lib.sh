# Shared by the scripts in this folder: source it, do not run it.
# shellcheck shell=bash

VELVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELVANE_BUILD=${VELVANE_BUILD:-$VELVANE_ROOT/build}

say() { printf '==> %s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# Wine settings every wine command of ours runs with. LC_ALL gives Wine the
# Chinese ANSI code page (936) and lets it store Chinese file names; it is set
# for Wine only, not for the shell that runs these scripts.
velvane_wine_env() {
    export WINEARCH=win64
    export WINEDEBUG=${WINEDEBUG:--all}
    # No Mono or Gecko install prompts: the program needs neither.
    export WINEDLLOVERRIDES="mscoree,mshtml="
}
vwine() { LC_ALL=zh_CN.UTF-8 wine "$@"; }
vwineserver() { LC_ALL=zh_CN.UTF-8 wineserver "$@"; }

# Starts a private Xvfb on a free display number and exports DISPLAY.
# Sets VELVANE_XVFB_PID; stop it with stop_xvfb.
start_xvfb() {
    local size=${1:-1280x1024x24} fifo
    fifo=$(mktemp -u /tmp/velvane-xvfb.XXXXXX)
    mkfifo "$fifo"
    # -displayfd: Xvfb picks a free display itself and writes its number
    # once it accepts connections, so parallel runs never collide.
    Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    VELVANE_XVFB_PID=$!
    local number=""
    read -r -t 30 number <"$fifo" || true
    rm -f "$fifo"
    [[ -n $number ]] || die "Xvfb did not start"
    export DISPLAY=":$number"
    local deadline=$((SECONDS + 30))
    until xdpyinfo >/dev/null 2>&1; do
        ((SECONDS < deadline)) || die "Xvfb on $DISPLAY does not answer"
        sleep 0.1
    done
    say "Xvfb on $DISPLAY (pid $VELVANE_XVFB_PID)"
}

stop_xvfb() {
    if [[ -n ${VELVANE_XVFB_PID:-} ]]; then
        kill "$VELVANE_XVFB_PID" 2>/dev/null || true
        wait "$VELVANE_XVFB_PID" 2>/dev/null || true
        VELVANE_XVFB_PID=""
    fi
}

# Ends every process of the prefix in $WINEPREFIX, and only of that prefix.
stop_wineserver() {
    if [[ -n ${WINEPREFIX:-} && -d $WINEPREFIX ]]; then
        timeout 30 env LC_ALL=zh_CN.UTF-8 wineserver -k >/dev/null 2>&1 || true
        timeout 30 env LC_ALL=zh_CN.UTF-8 wineserver -w >/dev/null 2>&1 || true
    fi
}

# Under `sudo bash scripts/x.sh`, everything after the package installation
# runs as the user who called sudo: the build tree and the Wine prefix then
# belong to them, and the program runs in their X session. Re-runs the given
# script that way (skipping setup-deps) and does not return; does nothing
# when not under sudo.
run_as_invoking_user() {
    if ((EUID == 0)) && [[ -n ${SUDO_USER:-} && $SUDO_USER != root ]]; then
        say "continuing as $SUDO_USER"
        exec sudo -u "$SUDO_USER" -H --preserve-env=DISPLAY,XAUTHORITY,VELVANE_BUILD \
            env VELVANE_DEPS_DONE=1 bash "$@"
    fi
}

setup_deps() {
    [[ -n ${VELVANE_DEPS_DONE:-} ]] || bash "$VELVANE_ROOT/scripts/setup-deps.sh"
}
