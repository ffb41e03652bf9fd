# Shell helpers to run sismap under a private virtual X server. Sourced by the
# run and test scripts.

# Starts Xvfb on a display number it picks itself and exports DISPLAY.
# Sets XVFB_PID. The screen is exactly the viewer's 650 x 650 window.
# -noreset: the server would otherwise reset whenever its last client leaves
# (a viewer that ends, an xdotool call) and refuse a client that connects
# during the reset. The viewer's own display probe stays connected while GLUT
# connects, so only the gaps between clients need this.
start_xvfb() {
    fd_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 650x650x24 -nolisten tcp -noreset 3>"$fd_file" 2>/dev/null &
    XVFB_PID=$!
    i=0
    while [ ! -s "$fd_file" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    if [ ! -s "$fd_file" ]; then
        echo "Xvfb did not start" >&2
        kill "$XVFB_PID" 2>/dev/null || true
        rm -f "$fd_file"
        return 1
    fi
    DISPLAY=":$(head -n1 "$fd_file")"
    export DISPLAY
    rm -f "$fd_file"
}

stop_xvfb() {
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
}

# Waits, at most 20 seconds, for the viewer's window to be mapped; prints its id.
wait_for_window() {
    timeout 20 xdotool search --sync --onlyvisible --name '^Zorvane$' 2>/dev/null | head -n1
}
