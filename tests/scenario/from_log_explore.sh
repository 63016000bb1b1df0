#!/bin/sh
# The from-log round trip over a bounded range of explorer worlds of seed 1:
# QV_FROM_LOG_WORLDS of them (tests/CMakeLists.txt sets fewer in sanitizer
# builds, where each run costs several times as much). A failed log is named
# with its world.
#   from_log_explore.sh SIM WORKDIR
set -e
sim=$1; work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"; mkdir -p "$work"
out=$(sh "$root/tests/fromlog/explore.sh" "$sim" "$work" 1 1 "${QV_FROM_LOG_WORLDS:-60}") || {
  echo "FAIL: $(echo "$out" | grep '^FAIL')"; exit 1; }
echo "$out" | tail -1
