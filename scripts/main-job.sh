#!/bin/sh
# The main job: builds the library and its tools, makes a simulated host from
# the default machine description, generates firmware images for it and runs
# the whole road the way a host's update framework does: discovery, the
# adapter information (count, then fill), flash with file, the results read
# back from the discovery file, a reboot of the adapters, a second discovery
# and adapter information that show the new active versions, a property and a
# small subtree of the management hierarchy reached by their paths, and the
# whole tree of one converged adapter.
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
case "$SYSROOT" in
/*) ;;
*) SYSROOT="$PWD/$SYSROOT" ;;
esac
$BIN/hlvdsim create "$SYSROOT"
$BIN/hlvdsim show "$SYSROOT"

# Images for the default machine's converged adapters: a newer AW2 image, the
# AW3 version already running, a newer Trelmont image. No image file fits
# the FC HBAs; they are listed with their versions and left as they are.
echo
echo "== images"
$BIN/hlvdsim make-ufi --generation 2 --version 4.2.433.700 -o "$WORK/images/aw2-4.2.433.700.ufi"
$BIN/hlvdsim make-ufi --generation 3 --version 10.2.370.15 -o "$WORK/images/aw3-10.2.370.15.ufi"
$BIN/hlvdsim make-ufi --generation 4 --version 11.1.183.30 -o "$WORK/images/trelmont-11.1.183.30.ufi"
ls "$WORK/images"

export HLVD_SYSROOT="$SYSROOT"
XML="$WORK/discovery.xml"
status=0

echo
echo "== discovery"
$BIN/hlvdhost --log "$WORK/debug.log" discover "$XML" "$WORK/images" || status=$?

# The records a host gets from the adapter information call: one per
# converged or Varrow FC adapter, one per function of the other FC HBAs.
echo
echo "== adapter information"
if [ "$status" -eq 0 ]; then
    $BIN/hlvdhost --log "$WORK/debug.log" info "$WORK/images" || status=$?
fi

# The host takes the proposals as they stand: upgrades are flashed, the
# rewrite of the running AW3 version too; the results come back in the file.
echo
echo "== flash with file"
if [ "$status" -eq 0 ]; then
    $BIN/hlvdhost --log "$WORK/debug.log" flash "$XML" "$WORK/images" || status=$?
fi

echo
echo "== reboot"
$BIN/hlvdsim reboot "$SYSROOT"
$BIN/hlvdsim show "$SYSROOT"

echo
echo "== second discovery"
if [ "$status" -eq 0 ]; then
    $BIN/hlvdhost --log "$WORK/debug.log" discover "$WORK/discovery-after-reboot.xml" "$WORK/images" || status=$?
fi

echo
echo "== adapter information after the reboot"
if [ "$status" -eq 0 ]; then
    $BIN/hlvdhost --log "$WORK/debug.log" info "$WORK/images" || status=$?
fi

# The first adapter's firmware version and its first port's name, and one
# function's PCI group, by path.
echo
echo "== management nodes by path"
if [ "$status" -eq 0 ]; then
    $BIN/hlvdhost get /Arcwright0/ActiveFirmwareVersion || status=$?
    $BIN/hlvdhost get /Arcwright0/PortDiscoveryAndConfiguration0/PortName || status=$?
    $BIN/hlvdhost tree /Arcwright0/NICPhysicalHBA0/PCI || status=$?
fi

# Last, the whole management tree of the Trelmont adapter: its NIC and iSCSI
# functions with the initiator's target, session and LUN, ports with DCBX and
# LLDP, profiles and channels.
echo
echo "== the management tree of one converged adapter"
if [ "$status" -eq 0 ]; then
    $BIN/hlvdhost tree /Arcwright1 || status=$?
fi

echo
echo "discovery file:       $XML"
echo "after the reboot:     $WORK/discovery-after-reboot.xml"
echo "debug log:            $WORK/debug.log ($(wc -l <"$WORK/debug.log" 2>/dev/null || echo 0) lines)"
exit $status
