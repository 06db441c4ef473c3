# Sourced by the other scripts: the environment Wine runs in, fresh
# prefixes, and a private Xvfb.

# Wine in the given prefix, with the Japanese code page and no Mono/Gecko
# installer dialogs. Wine's menu builder, which turns the Start-menu shortcuts
# into entries of the Linux application menu, stays off unless the second
# argument is "menus": only the user's own prefix belongs in that menu.
use_wine_prefix() {
    export WINEPREFIX="$1"
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    [ "${2:-}" = menus ] || WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
    export LC_ALL=ja_JP.UTF-8
}

# Replaces $WINEPREFIX with a newly created one.
fresh_wine_prefix() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    unlink_home_folders
}

# A new prefix's Desktop, Documents, Downloads, Music, Pictures and Videos
# are symbolic links to the Linux home folder: a test that removed files
# below one would remove the host's. Plain folders take their place.
unlink_home_folders() {
    local folder
    for folder in "$WINEPREFIX"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos}; do
        if [ -L "$folder" ]; then
            rm "$folder" && mkdir "$folder"
        fi
    done
}

start_xvfb() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    COBWELD_XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    if [ ! -s "$fdfile" ]; then
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

stop_xvfb() {
    if [ -n "${COBWELD_XVFB_PID:-}" ]; then
        kill "$COBWELD_XVFB_PID" 2>/dev/null || true
        wait "$COBWELD_XVFB_PID" 2>/dev/null || true
        COBWELD_XVFB_PID=
    fi
}
