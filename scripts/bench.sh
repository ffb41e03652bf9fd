#!/bin/sh
# Builds the benchmarks in Release mode and runs them on a generated
# catalogue of a million events: load, peak memory and playback steps, then
# one drawn frame in a window under a private virtual X server, then
# sismap-import on a generated million-event data-centre CSV against the
# obvious pandas script, a 200,000-event QuakeML file against an lxml
# iterparse script (and its peak memory), a 200,000-feature GeoJSON feed
# against a json.load script (and its peak memory against the file), its
# fetch mode from a local event service against one uncapped download and a
# conversion, then sismap-record recording generated multi-year catalogues
# to GIF and to a web page played in headless Chromium, then sismap-stats on a million-event catalogue against the obvious
# numpy/pandas script.
# Each figure is printed with its baseline or its target.
#   sh scripts/bench.sh [repetitions]     (default 5; times are the median)
set -eu
cd "$(dirname "$0")/.."
repetitions=${1:-5}
build=build-perf

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DSISMAP_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target bench_sismap bench_frame bench_record sismap-import sismap-record sismap-stats -j2 >/dev/null

echo "Load, memory and steps"
"$build/bench/bench_sismap" --benchmark_repetitions="$repetitions"

. scripts/xvfb-lib.sh
trap stop_xvfb EXIT
start_xvfb
echo
echo "Frame (DISPLAY=$DISPLAY)"
"$build/bench/bench_frame" --benchmark_repetitions="$repetitions"
stop_xvfb

echo
echo "Import (sismap-import against pandas, lxml and json.load scripts, and its peak memory)"
/usr/bin/python3 bench/bench_import.py "$build/import/sismap-import" "$repetitions"

echo
echo "Fetch (sismap-import fetch under a 20,000-event cap against curl of one uncapped answer + catalogue)"
/usr/bin/python3 bench/bench_fetch.py "$build/import/sismap-import" "$repetitions"

echo
echo "Recording (sismap-record starts its own X server)"
"$build/bench/bench_record" "$build/record/sismap-record" "$repetitions"

echo
echo "Playback page (sismap-record NAME.html in headless Chromium, against the MP4)"
/usr/bin/python3 bench/bench_html.py "$build/record/sismap-record" "$repetitions"

echo
echo "Statistics (sismap-stats --json with a given Mc against numpy/pandas)"
/usr/bin/python3 bench/bench_stats.py "$build/stats/sismap-stats" "$repetitions"

echo
echo "Statistics commands (decluster against numpy, map against scipy's cKDTree)"
/usr/bin/python3 bench/bench_stats_commands.py "$build/stats/sismap-stats" "$repetitions"
