# Sourced by the other scripts: starts a private Xvfb when there is no X
# display, and stops it again on exit.
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
