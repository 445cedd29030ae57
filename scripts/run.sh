#!/usr/bin/env bash
# Installs what is missing, builds, and starts Velvane under Wine in your X
# display, in a Wine desktop window of its own. Searches open in your Linux
# web browser (Wine hands http URLs to xdg-open).
#
# The Wine prefix is kept between runs (VELVANE_WINEPREFIX, default
# ~/.local/share/velvane-wine), and so is the program's folder in it,
# C:\Velvane, where it keeps Setup.ini.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$VELVANE_ROOT"

setup_deps
run_as_invoking_user "$0" "$@"
[[ -n ${DISPLAY:-} ]] || die "no X display: run this from a desktop session (or set DISPLAY)"
bash scripts/build.sh

velvane_wine_env
export WINEPREFIX=${VELVANE_WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/velvane-wine}
bash scripts/wine-prefix.sh

program_dir=$WINEPREFIX/drive_c/Velvane
mkdir -p "$program_dir"
# Copied and renamed: a velvane.exe that is still running keeps its old file.
cp "$VELVANE_BUILD/win/src/velvane.exe" "$program_dir/velvane.exe.new"
mv -f "$program_dir/velvane.exe.new" "$program_dir/velvane.exe"

say "starting Velvane (close it with 退出程序 in its menu, or Ctrl+C here)"
cd "$program_dir"
exec env LC_ALL=zh_CN.UTF-8 "$VELVANE_WINE" explorer /desktop=Velvane,1024x768 'C:\Velvane\velvane.exe'
