#!/bin/bash
# Builds, then shows the launcher with a few entries in a throwaway Wine
# prefix on a private Xvfb, and saves a picture of its main window as
# docs/main-window.png, the one the README shows. Prints the picture's path.
# Usage: scripts/screenshot.sh
# Xvfb has no window manager, so the picture shows the client area without
# the caption bar.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${COBWELD_BUILD_DIR:-$root/build}

"$root/scripts/build.sh" "$build" >/dev/null

. "$root/scripts/wine-session.sh"
use_wine_prefix "$build/screenshot-prefix"

cleanup() {
    wineserver -k 2>/dev/null || true
    stop_xvfb
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

start_xvfb
fresh_wine_prefix

store='HKLM\Software\Varnolite\Cobweld\Info'
entry() { # index title program icon-file icon-index
    local key="$store\\$1"
    wine reg add "$key" /v Title /t REG_SZ /d "$2" /f >/dev/null
    wine reg add "$key" /v CommandLine /t REG_SZ /d "$3" /f >/dev/null
    wine reg add "$key" /v Directory /t REG_SZ /d 'C:\windows' /f >/dev/null
    wine reg add "$key" /v Icon /t REG_DWORD /d 0 /f >/dev/null
    wine reg add "$key" /v Registry /t REG_SZ /d 'Wine\Notepad' /f >/dev/null
    wine reg add "$key" /v iSave /t REG_DWORD /d $(($1 + 1)) /f >/dev/null
    wine reg add "$key" /v IconPath /t REG_SZ /d "$4" /f >/dev/null
    wine reg add "$key" /v IconIndex /t REG_DWORD /d "$5" /f >/dev/null
    wine reg add "$key" /v RetrieveAgain /t REG_DWORD /d 0 /f >/dev/null
}
entry 0 'メモ帳' 'C:\windows\notepad.exe' 'C:\windows\notepad.exe' 0
entry 1 'メモ帳 (設定2)' 'C:\windows\notepad.exe' 'C:\windows\notepad.exe' 0
entry 2 'ﾚｼﾞｽﾄﾘ エディタ' 'C:\windows\regedit.exe' 'C:\windows\regedit.exe' 0
entry 3 'フォルダ' 'C:\windows\explorer.exe' 'C:\windows\system32\shell32.dll' 3
wine reg add 'HKCU\Software\Varnolite\COBWELD\Cobweld' /v Installed /t REG_DWORD /d 1 /f >/dev/null
wine reg add 'HKCU\Software\Varnolite\COBWELD\Cobweld' /v Current /t REG_DWORD /d 1 /f >/dev/null

wine "$build/bin/COBWELD.EXE" >/dev/null 2>&1 &
launcher=$!
geometry=
for _ in $(seq 100); do
    if id=$(xwininfo -root -tree 2>/dev/null | awk '/"Cobweld"/ {print $1; exit}') && [ -n "$id" ]; then
        geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
            /Width:/ {w=$2} /Height:/ {h=$2} END {printf "%dx%d+%d+%d", w, h, x, y}')
        break
    fi
    sleep 0.1
done
sleep 2 # let the rows and their icons paint

mkdir -p "$root/docs"
shot="$root/docs/main-window.png"
if [ -n "$geometry" ]; then
    import -window root -crop "$geometry" +repage "$shot"
else
    echo "screenshot.sh: the main window did not show; saving the whole screen" >&2
    import -window root "$shot"
fi
kill "$launcher" 2>/dev/null || true
echo "$shot"
