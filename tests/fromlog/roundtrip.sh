#!/bin/sh
# The from-log round trip as a property: for each log given, the world read
# back from it must print that log again, byte for byte; a log in one of
# the classes docs/from-log.md lists must come back the same up to what the
# log cannot determine (checked in compare_logs below).
#   roundtrip.sh SIM WORKDIR LOG...
# Prints one line per log (exact / CLASS / FAIL) and the counts; exits 1 on
# any FAIL.
sim=$1; work=$2; shift 2
mkdir -p "$work"
exact=0; classed=0; failed=0
for log in "$@"; do
  name=$(basename "$log" .log)
  dir="$work/$name"; rm -rf "$dir"; mkdir -p "$dir"
  if ! "$sim" --from-log "$log" --scenario-out "$dir/world.toml" >"$dir/summary" 2>"$dir/err"; then
    echo "FAIL $name: not read: $(cat "$dir/err")"; failed=$((failed + 1)); continue
  fi
  "$sim" --quiet --scenario "$dir/world.toml" --root "$dir/device" >/dev/null 2>"$dir/run.err"
  again="$dir/device/Temp/Quorvelta.log"
  if [ -f "$again" ] && cmp -s "$log" "$again"; then
    exact=$((exact + 1)); continue
  fi
  class=$("$(dirname "$0")/class.sh" "$log" "$again" "$dir/world.toml")
  if [ -n "$class" ]; then
    echo "CLASS $name: $class"; classed=$((classed + 1))
  else
    echo "FAIL $name: the log differs (world: $dir/world.toml)"; failed=$((failed + 1))
  fi
done
echo "round trip: $exact exact, $classed in documented classes, $failed failed"
[ "$failed" -eq 0 ]
