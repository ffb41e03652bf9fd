#!/bin/sh
# Installs what is missing, builds sismap and shows it on the bundled
# California sample. With a display it opens the window; without one it plays
# the sample under a virtual X server for a few seconds, saves a screenshot
# and says where it is.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target sismap -j"$(nproc)"

land=samples/california.txt
quakes=samples/california_quakes.txt
if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    exec build/app/sismap "$land" "$quakes"
fi

. scripts/xvfb-lib.sh
start_xvfb
trap stop_xvfb EXIT
trap 'exit 1' INT TERM HUP
echo "No display found: running on the virtual display $DISPLAY"
build/app/sismap "$land" "$quakes" &
viewer=$!
window=$(wait_for_window)
if [ -z "$window" ]; then
    echo "The viewer's window did not appear." >&2
    kill "$viewer" 2>/dev/null || true
    exit 1
fi
xdotool key --window "$window" p 2>/dev/null
sleep 4
shot="$(pwd)/build/sample-screenshot.png"
import -window root "$shot"
xdotool key --window "$window" Escape 2>/dev/null || true
# Escape ends the viewer at once; give it five seconds at most.
i=0
while kill -0 "$viewer" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
if kill -0 "$viewer" 2>/dev/null; then
    echo "The viewer did not end on Escape; stopping it." >&2
    kill "$viewer" 2>/dev/null || true
fi
wait "$viewer" || true
echo "Screenshot after 4 seconds of play: $shot"
