#!/bin/sh
# Runs the simulated handheld on its built-in scenario and says where the
# results are: the log the exit tap saved, a picture of the screen as it was
# last painted (beside the device's folder, not in the device's \Temp), the
# request trace, and the run's report page beside the log. Builds only the
# simulator, quietly (the build's output is shown only when it fails).
set -e
build=${1:-build}
mkdir -p "$build"
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
  cmake --build "$build" -j "$(nproc)" --target quorvelta-sim; } >"$build/demo-build.log" 2>&1; then
  cat "$build/demo-build.log"
  echo "demo: the build failed (its output is above and in $build/demo-build.log)" >&2
  exit 1
fi
out=$build/demo
rm -rf "$out"
mkdir -p "$out"
# The harness ends with its summary: how the run ended, each node's
# verdict, and the paths of what it wrote.
"$build/quorvelta-sim" --root "$out/device" --trace "$out/trace.jsonl" \
  --screenshot "$out/Quorvelta.png" --report "$out/device/Temp/Quorvelta.html"
echo "report: $out/device/Temp/Quorvelta.html"
