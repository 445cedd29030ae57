#!/usr/bin/env bash
# Makes the release package: builds velvane.exe for x86 and x64 (build/win32,
# build/win) if needed, then writes dist/velvane-<version>-win32.zip and
# dist/velvane-<version>-win64.zip (velvane.exe, 使用说明.txt, LICENSE.txt and
# SHA256SUMS each) and dist/SHA256SUMS, and checks them. The version is the
# project version in CMakeLists.txt. VELVANE_BUILD moves the build trees,
# VELVANE_DIST the output (default: dist/ in the repository).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$VELVANE_ROOT"
dist=${VELVANE_DIST:-$VELVANE_ROOT/dist}
jobs=$(nproc 2>/dev/null || echo 2)

# Only velvane.exe itself: a tree that build.sh made already is up to date.
build_exe() {
    local tree=$1 arch=$2
    shift 2
    velvane_configure_windows . "$tree" "$arch" "$@"
    cmake --build "$tree" -j "$jobs" --target velvane >/dev/null
}
say "building velvane.exe for x64 ($VELVANE_BUILD/win) and x86 ($VELVANE_BUILD/win32)"
build_exe "$VELVANE_BUILD/win" x86_64
build_exe "$VELVANE_BUILD/win32" i686 -DVELVANE_E2E=OFF

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$VELVANE_BUILD/win/CMakeCache.txt")
version32=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$VELVANE_BUILD/win32/CMakeCache.txt")
[[ -n $version && $version == "$version32" ]] || die "the two builds disagree on the version ('$version', '$version32')"

say "packaging Velvane $version in $dist"
python3 scripts/package.py make "$version" "$dist" "$VELVANE_BUILD/win32/src/velvane.exe" \
    "$VELVANE_BUILD/win/src/velvane.exe"
python3 scripts/package.py verify "$version" "$dist"
