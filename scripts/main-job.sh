#!/bin/sh
# The main job: builds the library and its tools, makes a simulated host from
# the default machine description and runs discovery on it the way a host's
# update framework does.
set -eu
cd "$(dirname "$0")/.."
JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DHLVD_TESTS=OFF >/dev/null
cmake --build build/release -j"$JOBS" >/dev/null

WORK=${HLVD_WORK:-build/mainjob}
rm -rf "$WORK"
mkdir -p "$WORK/images"
SYSROOT="$WORK/host"
build/release/bin/hlvdsim create "$SYSROOT"
build/release/bin/hlvdsim show "$SYSROOT"

export HLVD_SYSROOT="$PWD/$SYSROOT"
echo
echo "== discovery"
status=0
build/release/bin/hlvdhost --log "$WORK/debug.log" discover "$WORK/discovery.xml" "$WORK/images" || status=$?
if [ -f "$WORK/discovery.xml" ]; then cat "$WORK/discovery.xml"; fi
echo
echo "== debug log ($WORK/debug.log)"
cat "$WORK/debug.log" 2>/dev/null || true
exit $status
