#!/usr/bin/env bash
# Installs with apt what building and testing Velvane needs, and generates the
# zh_CN.UTF-8 locale that Wine runs under. Does nothing (and needs no root)
# when everything is already there. Safe to run again.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# The packages, and why.
required=(
    cmake make g++                  # native build of the portable core
    googletest libgtest-dev         # unit tests; googletest's sources also build for mingw
    g++-mingw-w64-x86-64-posix      # the 64-bit velvane.exe and the Windows test programs
    g++-mingw-w64-i686-posix        # the 32-bit velvane.exe and its skin stand-in
    wine wine64                     # runs them (wine provides the wine command)
    wine32:i386                     # Wine's 32-bit half, for the 32-bit build (needs the i386 architecture)
    python3                         # the import and include-layer checks, the release package (scripts/*.py)
    clang-format                    # every C++ source checked against .clang-format (scripts/test.sh)
    xvfb x11-utils                  # a headless X display for the tests; xdpyinfo
    xdotool imagemagick             # looking at windows and taking screenshots
    fonts-wqy-microhei              # Chinese text in the Wine desktop
    locales                         # zh_CN.UTF-8, below
)
# Fuzzing builds; not every release ships these names, so they are skipped
# where apt does not know them.
optional=(clang libclang-rt-14-dev)
# Wine's 32-bit half is of no use where the kernel cannot run 32-bit programs
# (velvane_runs_32bit in lib.sh), and there it would even stop Debian's `wine`
# wrapper from running 64-bit ones: not installed on such a machine.
if ! velvane_runs_32bit; then
    required=("${required[@]/wine32:i386/}")
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Wine takes its ANSI code page from LC_ALL=zh_CN.UTF-8 even without the
# locale, but it can only create files with Chinese names when glibc has it.
have_locale() { locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; }

missing=()
for p in "${required[@]}" "${optional[@]}"; do
    [[ -n $p ]] || continue
    installed "$p" || missing+=("$p")
done

if ((${#missing[@]} == 0)) && have_locale; then
    exit 0
fi

if ((EUID == 0)); then
    as_root() { "$@"; }
elif command -v sudo >/dev/null 2>&1; then
    as_root() { sudo "$@"; }
else
    echo "error: missing ${missing[*]:-the zh_CN.UTF-8 locale}; run this as root or install sudo" >&2
    exit 1
fi

# Waits for the dpkg lock instead of failing when another install holds it.
apt_get() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }

if ((${#missing[@]} > 0)); then
    echo "==> installing: ${missing[*]}" >&2
    # Packages of another architecture (wine32:i386) need it enabled before
    # the package lists are fetched.
    for p in "${missing[@]}"; do
        [[ $p == *:* ]] || continue
        arch=${p##*:}
        if [[ $arch != "$(dpkg --print-architecture)" ]] && ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
            echo "==> enabling the $arch architecture" >&2
            as_root dpkg --add-architecture "$arch"
        fi
    done
    apt_get update
    to_install=()
    for p in "${missing[@]}"; do
        if [[ " ${optional[*]} " == *" $p "* ]] && ! apt-cache show "$p" >/dev/null 2>&1; then
            echo "==> skipping $p: not available here" >&2
            continue
        fi
        to_install+=("$p")
    done
    if ((${#to_install[@]} > 0)); then
        apt_get install -y "${to_install[@]}"
    fi
fi

if ! have_locale; then
    echo "==> generating the zh_CN.UTF-8 locale" >&2
    if [[ -f /etc/locale.gen ]] && grep -q 'zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
        as_root sed -i 's/^# *\(zh_CN\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        as_root locale-gen
    else
        as_root localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
    fi
    have_locale || { echo "error: could not generate zh_CN.UTF-8" >&2; exit 1; }
fi
