#!/bin/sh
# Builds and tests both configurations:
#   native  x86-64 with AddressSanitizer and UndefinedBehaviorSanitizer
#   target  32-bit x86, the product as it runs on its host, tests under qemu-i386
# then runs the cost benchmark once on its smallest host (scripts/bench.sh)
# and replays and briefly runs the fuzz targets (scripts/fuzz.sh).
set -eu
cd "$(dirname "$0")/.."
JOBS=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DHLVD_SANITIZE=ON
cmake --build build/native -j"$JOBS"
(cd build/native && ctest --output-on-failure -j"$JOBS")

cmake -S . -B build/target -DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake
cmake --build build/target -j"$JOBS"
(cd build/target && ctest --output-on-failure -j"$JOBS")

# The cost benchmark once on the smallest host: it must run and every call
# must answer as expected; no time is asserted.
sh scripts/bench.sh --sizes 1 --repeat 1

scripts/fuzz.sh
