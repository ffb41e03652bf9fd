#!/bin/sh
# Installs the Debian 12 packages sismap needs, but only those that are
# missing. Uses sudo when not run as root.
#   scripts/install-deps.sh run     what building and running the programs need
#   scripts/install-deps.sh [test]  that, plus what the tests, fuzzing,
#                                   benchmarks and the package test need
set -eu

# Build and run: compiler, CMake, the libraries the programs link, the
# software GL driver and the virtual X server the sample run and
# sismap-record use without a display, xdotool and ImageMagick to drive it
# and take its screenshot; libxml2, simdjson, CLI11, the date library,
# shapelib, GEOS (joining islands), and libcurl with the CA certificates for
# sismap-import; giflib, libpng, FFmpeg's libraries and nlohmann-json (the
# web page's data) for sismap-record; PLplot with its cairo driver and
# nanoflann (the b-value map's nearest events) for sismap-stats.
run_packages="g++ cmake make pkg-config freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev
xvfb xauth xdotool imagemagick libxml2-dev libsimdjson-dev libcli11-dev libhowardhinnant-date-dev
libshp-dev libgeos-dev libcurl4-openssl-dev ca-certificates libgif-dev libpng-dev libavcodec-dev
libavformat-dev libavutil-dev libplplot-dev plplot-driver-cairo nlohmann-json3-dev libnanoflann-dev"

# Tests: googletest, google-benchmark, clang with its fuzzer and sanitizer
# runtimes, valgrind, Python for the end-to-end tests; and for the package
# test dpkg-shlibdeps (dpkg-dev) and file, which CPack uses to compute the
# dependencies, lintian and man; pandas, lxml and GNU time for the import
# benchmark, numpy and scipy (cKDTree) for the statistics benchmarks; ffmpeg
# (ffprobe) to check recorded videos; Chromium, driven headless through its
# DevTools protocol with python3-websocket, to play the recorder's web pages,
# and Node.js for the tests of the pages' own logic.
test_packages="clang libclang-rt-14-dev libgtest-dev libgmock-dev googletest libbenchmark-dev valgrind
python3 dpkg-dev file lintian man-db python3-pandas python3-lxml python3-numpy python3-scipy time ffmpeg
chromium python3-websocket nodejs"

case "${1:-test}" in
    run) packages=$run_packages ;;
    test) packages="$run_packages $test_packages" ;;
    *) echo "usage: scripts/install-deps.sh [run|test]" >&2; exit 2 ;;
esac

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
