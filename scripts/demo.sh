#!/bin/sh
# Runs the simulated handheld on its built-in scenario and says where the
# results are.
set -e
build=${1:-build}
out=$build/demo
rm -rf "$out"
"$build/quorvelta-sim" --root "$out/device" --trace "$out/trace.jsonl"
echo
echo "log:   $out/device/Temp/Quorvelta.log"
echo "trace: $out/trace.jsonl"
