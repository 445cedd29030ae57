#!/usr/bin/env bash
# Prepares the Wine prefix in $WINEPREFIX for Velvane (creating it if needed):
#   - no Mono/Gecko prompts, no crash dialog (it would block a headless run);
#   - the Chinese fonts the program asks for mapped to WenQuanYi Micro Hei;
#   - with --desktop WxH: every program of the prefix runs in one virtual
#     desktop of that size, so a test driver, velvane.exe and the tray share it;
#   - with --urllog FILE: http and https URLs go to that program instead of a
#     browser (the tests' URL logger).
# Needs DISPLAY only when the prefix is new.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

desktop="" urllog=""
while (($#)); do
    case $1 in
        --desktop) desktop=$2; shift 2 ;;
        --urllog) urllog=$2; shift 2 ;;
        *) die "usage: wine-prefix.sh [--desktop WxH] [--urllog /path/to/urllog.exe]" ;;
    esac
done
[[ -n ${WINEPREFIX:-} ]] || die "set WINEPREFIX"
velvane_wine_env

if [[ ! -f $WINEPREFIX/system.reg ]]; then
    say "creating Wine prefix $WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    timeout 180 env LC_ALL=zh_CN.UTF-8 "$VELVANE_WINE" wineboot -i >/dev/null 2>&1 || die "wineboot failed"
fi
# Title-bar buttons are drawn with Marlett's symbols; without the font they
# show as letters.
for marlett in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
    if [[ -f $marlett ]]; then
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp -f "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/" || true
        break
    fi
done

# A .reg string: backslashes and double quotes escaped.
reg_string() { local s=${1//\\/\\\\}; printf '"%s"' "${s//\"/\\\"}"; }
# Unix path to the Windows path Wine sees it under (Z: is the root).
windows_path() { local p; p=$(readlink -f "$1"); printf 'Z:%s' "${p//\//\\}"; }

reg=$(mktemp /tmp/velvane-prefix.XXXXXX.reg)
trap 'rm -f "$reg"' EXIT
{
    echo 'Windows Registry Editor Version 5.00'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\WineDbg]'
    echo '"ShowCrashDialog"=dword:00000000'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\DllOverrides]'
    echo '"mscoree"=""'
    echo '"mshtml"=""'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]'
    for font in SimSun 宋体 NSimSun 新宋体 "MS Shell Dlg" "MS Shell Dlg 2" Tahoma "Microsoft YaHei" 微软雅黑; do
        echo "$(reg_string "$font")=\"WenQuanYi Micro Hei\""
    done
    if [[ -n $desktop ]]; then
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\Explorer]'
        echo '"Desktop"="Default"'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]'
        echo "\"Default\"=\"$desktop\""
    fi
    if [[ -n $urllog ]]; then
        [[ -f $urllog ]] || die "no URL logger at $urllog"
        command=$(reg_string "\"$(windows_path "$urllog")\" \"%1\"")
        for scheme in http https; do
            echo
            echo "[HKEY_LOCAL_MACHINE\\Software\\Classes\\$scheme\\shell\\open\\command]"
            echo "@=$command"
        done
    fi
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"

timeout 60 env LC_ALL=zh_CN.UTF-8 "$VELVANE_WINE" reg import "$(windows_path "$reg")" >/dev/null 2>&1 \
    || die "could not write the prefix's registry settings"

# The desktop that wineboot opened was made before these settings: a program
# started while it is still up would join it instead of the virtual desktop
# (no taskbar, no tray). Let the prefix go down, saving its registry, so the
# next program starts everything anew with them.
timeout 60 env LC_ALL=zh_CN.UTF-8 wineserver -w \
    || { timeout 30 env LC_ALL=zh_CN.UTF-8 wineserver -k; timeout 30 env LC_ALL=zh_CN.UTF-8 wineserver -w; } || true
