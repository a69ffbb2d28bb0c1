#!/bin/sh
# Builds the libFuzzer targets of fuzz/ with clang (build/fuzz), then for
# each target, in parallel up to the number of processors:
#   1. replays its seed corpus and its regression inputs (each must pass),
#   2. fuzzes for HLVD_FUZZ_SECONDS (default 20; 0 replays only) in a
#      temporary copy of its corpus, so the repository is not written.
# One line per target: the inputs replayed, the executions and the coverage
# of the fuzz run. Exits non-zero when any replay or fuzz run fails; the
# input that failed is kept in build/fuzz/artifacts/<target>/.
#
#   scripts/fuzz.sh [TARGET...]     (default: every target)
set -eu
SELF=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$(dirname "$0")/.."
BUILD=build/fuzz
SECONDS_EACH=${HLVD_FUZZ_SECONDS:-20}
JOBS=$(nproc 2>/dev/null || echo 2)

# One target: run by the script itself in parallel, see the end.
if [ "${1:-}" = "--one" ]; then
  name=$2
  work=$3
  bin=$BUILD/bin/fuzz_$name
  dir=$work/$name
  mkdir -p "$dir/corpus" "$dir/tmp"
  # Scratch files of the target go below its own temporary directory.
  export TMPDIR="$dir/tmp"
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
  keep() {
    mkdir -p "$BUILD/artifacts/$name"
    cp "$dir/log" "$BUILD/artifacts/$name/$1.log"
    for f in "$dir"/crash-* "$dir"/leak-* "$dir"/timeout-* "$dir"/oom-*; do
      [ -e "$f" ] && cp "$f" "$BUILD/artifacts/$name/"
    done
    return 0
  }

  inputs=$(find "fuzz/corpus/$name" "fuzz/regressions/$name" -type f 2>/dev/null | sort)
  count=$(printf '%s' "$inputs" | grep -c . || true)
  if [ "$count" -gt 0 ]; then
    # shellcheck disable=SC2086 # file names of the tree hold no blanks
    if ! "$bin" -timeout=60 $inputs >"$dir/log" 2>&1; then
      keep replay
      failed=$(grep -o 'Running: [^ ]*' "$dir/log" | tail -1 | cut -d' ' -f2)
      echo "$name: FAILED replaying ${failed:-its inputs} (log: $BUILD/artifacts/$name/replay.log)" >"$work/$name.result"
      exit 1
    fi
  fi
  if [ "$SECONDS_EACH" -eq 0 ]; then
    echo "$name: ok, $count inputs replayed" >"$work/$name.result"
    exit 0
  fi

  if [ -d "fuzz/corpus/$name" ]; then
    cp -R "fuzz/corpus/$name/." "$dir/corpus/"
  fi
  status=0
  "$bin" -max_total_time="$SECONDS_EACH" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$dir/" "$dir/corpus" >"$dir/log" 2>&1 || status=$?
  execs=$(grep 'stat::number_of_executed_units' "$dir/log" | tail -1 | awk '{print $2}')
  covline=$(grep ' cov: ' "$dir/log" | tail -1)
  cov=$(printf '%s' "$covline" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  ft=$(printf '%s' "$covline" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  stats="$count inputs replayed, ${execs:-?} executions in ${SECONDS_EACH}s, cov ${cov:-?}, ft ${ft:-?}"
  if [ "$status" -ne 0 ]; then
    keep fuzz
    echo "$name: FAILED fuzzing: $stats (log and input: $BUILD/artifacts/$name/)" >"$work/$name.result"
    exit 1
  fi
  echo "$name: ok, $stats" >"$work/$name.result"
  exit 0
fi

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DHLVD_FUZZ=ON -DHLVD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DCMAKE_C_FLAGS=-O1 >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target fuzz

if [ $# -gt 0 ]; then
  targets="$*"
else
  targets=$(for f in fuzz/*.cpp; do basename "$f" .cpp; done)
fi
rm -rf "$BUILD/artifacts"
work=$(mktemp -d "${TMPDIR:-/tmp}/hlvdfuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
echo "fuzz: $(echo "$targets" | wc -w) targets, ${SECONDS_EACH}s each, $JOBS at a time"
rc=0
printf '%s\n' $targets | xargs -P "$JOBS" -I{} "$SELF" --one {} "$work" || rc=1
for t in $targets; do
  if [ -f "$work/$t.result" ]; then
    cat "$work/$t.result"
  else
    echo "$t: FAILED (no result)"
    rc=1
  fi
done
exit $rc
