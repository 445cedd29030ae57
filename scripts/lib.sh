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
    velvane_pick_wine
}
vwine() { LC_ALL=zh_CN.UTF-8 "$VELVANE_WINE" "$@"; }
vwineserver() { LC_ALL=zh_CN.UTF-8 wineserver "$@"; }

# Whether this machine's kernel runs 32-bit (i386) programs. Many VMs and
# containers run a kernel without them; there Wine's 32-bit loader fails with
# "Exec format error". Found out once and kept in VELVANE_RUN_32BIT (1 or 0,
# exported to the scripts and programs this one starts); set it beforehand to
# take either path on any machine.
velvane_runs_32bit() {
    case ${VELVANE_RUN_32BIT:-} in
        1) return 0 ;;
        0) return 1 ;;
        "") ;;
        *) die "VELVANE_RUN_32BIT is '$VELVANE_RUN_32BIT': set it to 1 (run 32-bit programs) or 0 (do not), or leave it unset" ;;
    esac
    VELVANE_RUN_32BIT=0
    if kernel_runs_i386; then
        VELVANE_RUN_32BIT=1
    fi
    export VELVANE_RUN_32BIT
    [[ $VELVANE_RUN_32BIT == 1 ]]
}

# Runs the smallest static i386 program (exit(42) by system call, 96 bytes,
# written here so no package is needed). A folder that forbids running
# programs (a noexec /tmp) fails it as well; then Wine's own 32-bit loader,
# where installed, has the last word.
kernel_runs_i386() {
    local dir status=0
    dir=$(mktemp -d "${TMPDIR:-/tmp}/velvane-i386.XXXXXX") || return 1
    # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054,
    # one program header (LOAD, offset 0 at 0x08048000, 96 bytes, r-x).
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$dir/exit42"
    printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$dir/exit42"
    printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$dir/exit42"
    printf '\x00\x00\x00\x00' >>"$dir/exit42"
    printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >>"$dir/exit42"
    printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >>"$dir/exit42"
    # mov eax, 1 (exit); mov ebx, 42; int 0x80
    printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >>"$dir/exit42"
    chmod +x "$dir/exit42"
    "$dir/exit42" 2>/dev/null || status=$?
    rm -rf "$dir"
    ((status == 42)) && return 0
    [[ -x /usr/lib/wine/wine ]] && timeout 30 /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Picks how Wine programs are started, once: VELVANE_WINE is the command that
# runs a Windows program (used by vwine, passed to CMake as the test
# programs' emulator). Where 32-bit programs run it is Debian's `wine`
# wrapper. Where they do not, that wrapper (and wineboot, winecfg … through
# it) still picks the 32-bit loader whenever wine32 is installed and fails;
# the 64-bit loader runs every 64-bit program there, with WINELOADER naming
# it for the processes Wine starts itself.
VELVANE_WINE64_LOADER=/usr/lib/wine/wine64
velvane_pick_wine() {
    if velvane_runs_32bit; then
        export VELVANE_WINE=wine
    else
        export VELVANE_WINE=$VELVANE_WINE64_LOADER
        export WINELOADER=$VELVANE_WINE64_LOADER
    fi
}

# Configures a Windows build tree of SOURCE (the repository or bench/) with
# the one toolchain file, cmake/mingw-w64.cmake, for ARCH (x86_64 or i686),
# and with the Wine that runs its test programs; further arguments go to
# cmake. A tree made with another toolchain file (the two of earlier
# versions) or for the other target is configured afresh.
velvane_configure_windows() {
    local source=$1 tree=$2 arch=$3 toolchain=$VELVANE_ROOT/cmake/mingw-w64.cmake fresh=()
    shift 3
    velvane_pick_wine
    if [[ -f $tree/CMakeCache.txt ]]; then
        local old_toolchain old_arch
        old_toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$tree/CMakeCache.txt")
        old_arch=$(sed -n 's/^VELVANE_ARCH:[A-Z]*=//p' "$tree/CMakeCache.txt")
        if [[ $old_toolchain != "$toolchain" || $old_arch != "$arch" ]]; then
            say "configuring $tree afresh (it was made with ${old_toolchain:-another toolchain}${old_arch:+ for $old_arch})"
            fresh=(--fresh)
        fi
    fi
    cmake "${fresh[@]}" -S "$source" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVELVANE_ARCH="$arch" \
        -DVELVANE_WINE="$VELVANE_WINE" "$@" >/dev/null
}

# The line said wherever a 32-bit program would run and cannot.
VELVANE_NO_32BIT="this machine's kernel cannot run 32-bit programs: the 32-bit smoke run is skipped"

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
        exec sudo -u "$SUDO_USER" -H --preserve-env=DISPLAY,XAUTHORITY,VELVANE_BUILD,VELVANE_RUN_32BIT \
            env VELVANE_DEPS_DONE=1 bash "$@"
    fi
}

setup_deps() {
    [[ -n ${VELVANE_DEPS_DONE:-} ]] || bash "$VELVANE_ROOT/scripts/setup-deps.sh"
}
