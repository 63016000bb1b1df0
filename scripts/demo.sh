#!/bin/sh
# Runs the simulated handheld on its built-in scenario and says where the
# results are: the log the exit tap saved, a picture of the screen as it was
# last painted, the request trace, and the run's report page beside the log.
set -e
build=${1:-build}
out=$build/demo
rm -rf "$out"
"$build/quorvelta-sim" --root "$out/device" --trace "$out/trace.jsonl" \
  --screenshot "$out/device/Temp/Quorvelta.png" --report "$out/device/Temp/Quorvelta.html"
echo
echo "log:        $out/device/Temp/Quorvelta.log"
echo "screenshot: $out/device/Temp/Quorvelta.png"
echo "trace:      $out/trace.jsonl"
echo "report:     $out/device/Temp/Quorvelta.html"
