#!/bin/sh
# The cost benchmark: builds the Release configuration (as the main job does)
# and runs hlvdbench, which times the library's exported calls on simulated
# hosts of 1, 4, 8 and 16 converged adapters and prints one table. The
# arguments go to hlvdbench, e.g. --sizes 1,4 --calls discovery,flash --repeat 1.
set -eu
cd "$(dirname "$0")/.."
JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DHLVD_TESTS=OFF >/dev/null
cmake --build build/release -j"$JOBS" --target hlvdbench >/dev/null
exec build/release/bin/hlvdbench "$@"
