#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a bounded time
# over its seed corpus: QV_FUZZ_SECONDS each (8 by default, so that the seven
# targets take under a minute in `make test`; raise it for a longer hunt).
set -e
dir=${1:-build/fuzz}
secs=${QV_FUZZ_SECONDS:-8}
CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target fuzz-targets
for t in "$dir"/tests/fuzz/fuzz-*; do
  [ -f "$t" ] && [ -x "$t" ] || continue
  name=$(basename "$t")
  corpus=tests/fuzz/corpus/${name#fuzz-}
  work="$dir/corpus/${name#fuzz-}"
  mkdir -p "$work"
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
  echo "fuzzing $name for ${secs}s"
  # A failing input is kept beside the build, not in the source tree.
  "$t" -max_total_time="$secs" -print_final_stats=0 -artifact_prefix="$dir/$name-" "$work" \
    >"$dir/$name.out" 2>&1 || {
    tail -40 "$dir/$name.out"; echo "fuzz target $name found a fault (input: $dir/$name-crash-*)"; exit 1; }
done
