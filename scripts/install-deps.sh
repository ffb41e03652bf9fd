#!/bin/sh
# Installs the Debian 12 packages sismap needs to build, run and test, but
# only those that are missing. Uses sudo when not run as root.
set -eu

packages="g++ clang cmake make pkg-config libgtest-dev libgmock-dev googletest libbenchmark-dev
freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev xvfb xauth xdotool imagemagick
libclang-rt-14-dev valgrind python3
libxml2-dev libsimdjson-dev libcli11-dev libhowardhinnant-date-dev python3-pandas"
# sismap-import's outline mode reads shapefiles with shapelib.
packages="$packages libshp-dev"

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
