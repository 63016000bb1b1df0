#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a bounded time
# over its seed corpus: QV_FUZZ_SECONDS each (8 by default, so that the seven
# targets take under a minute in `make test`; raise it for a longer hunt),
# as many at once as there are cores.
set -e
dir=${1:-build/fuzz}
secs=${QV_FUZZ_SECONDS:-8}
# Line tables only: a finding still names file and line.
CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DQV_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target fuzz-targets
# One target per core at a time: each is a single process, and leaves its
# exit code in NAME.rc.
jobs=$(nproc)
fuzz_one() { # target
  name=$(basename "$1")
  corpus=tests/fuzz/corpus/${name#fuzz-}
  work="$dir/corpus/${name#fuzz-}"
  mkdir -p "$work"
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
  # A failing input is kept beside the build, not in the source tree.
  rc=0
  "$1" -max_total_time="$secs" -print_final_stats=0 -artifact_prefix="$dir/$name-" "$work" \
    >"$dir/$name.out" 2>&1 || rc=$?
  echo "$rc" >"$dir/$name.rc"
}
set --
for t in "$dir"/tests/fuzz/fuzz-*; do
  [ -f "$t" ] && [ -x "$t" ] && set -- "$@" "$t"
done
failed=0
while [ $# -gt 0 ]; do
  batch=""
  k=0
  while [ $# -gt 0 ] && [ "$k" -lt "$jobs" ]; do
    echo "fuzzing $(basename "$1") for ${secs}s"
    rm -f "$dir/$(basename "$1").rc"
    fuzz_one "$1" &
    batch="$batch $(basename "$1")"
    k=$((k + 1))
    shift
  done
  wait
  for name in $batch; do
    [ "$(cat "$dir/$name.rc" 2>/dev/null)" = 0 ] && continue
    tail -40 "$dir/$name.out"
    echo "fuzz target $name found a fault (input: $dir/$name-crash-*)"
    failed=1
  done
done
exit $failed
