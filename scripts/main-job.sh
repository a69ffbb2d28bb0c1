#!/bin/sh
# The main job: builds the library and its tools, makes a simulated host from
# the default machine description, generates firmware images for it and runs
# discovery on it the way a host's update framework does.
set -eu
cd "$(dirname "$0")/.."
JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DHLVD_TESTS=OFF >/dev/null
cmake --build build/release -j"$JOBS" >/dev/null

BIN=build/release/bin
WORK=${HLVD_WORK:-build/mainjob}
rm -rf "$WORK"
mkdir -p "$WORK/images"
SYSROOT="$WORK/host"
$BIN/hlvdsim create "$SYSROOT"
$BIN/hlvdsim show "$SYSROOT"

# Images for the default machine's converged adapters: a newer AW2 image, the
# AW3 version already running, an older Trelmont image.
echo
echo "== images"
$BIN/hlvdsim make-ufi --generation 2 --version 4.2.433.700 -o "$WORK/images/aw2-4.2.433.700.ufi"
$BIN/hlvdsim make-ufi --generation 3 --version 10.2.370.15 -o "$WORK/images/aw3-10.2.370.15.ufi"
$BIN/hlvdsim make-ufi --generation 4 --version 11.1.183.20 -o "$WORK/images/trelmont-11.1.183.20.ufi"
ls "$WORK/images"

export HLVD_SYSROOT="$PWD/$SYSROOT"
echo
echo "== discovery"
status=0
$BIN/hlvdhost --log "$WORK/debug.log" discover "$WORK/discovery.xml" "$WORK/images" || status=$?
echo
echo "discovery file: $WORK/discovery.xml"
echo "debug log:      $WORK/debug.log ($(wc -l <"$WORK/debug.log" 2>/dev/null || echo 0) lines)"
exit $status
