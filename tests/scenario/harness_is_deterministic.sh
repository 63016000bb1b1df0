#!/bin/sh
# The same scenario gives the same bytes every time: log, trace and the
# console echoed on standard output.
sim=$1; work=$2
rm -rf "$work"; mkdir -p "$work"
for i in 1 2 3; do
  "$sim" --root "$work/r$i" --trace "$work/t$i" > "$work/o$i" || { echo "FAIL: run $i exit $?"; exit 1; }
done
for i in 2 3; do
  cmp -s "$work/r1/Temp/Quorvelta.log" "$work/r$i/Temp/Quorvelta.log" || { echo "FAIL: logs differ"; exit 1; }
  cmp -s "$work/t1" "$work/t$i" || { echo "FAIL: traces differ"; exit 1; }
  cmp -s "$work/o1" "$work/o$i" || { echo "FAIL: outputs differ"; exit 1; }
done
# The words after -- are the command line.
"$sim" --root "$work/f" --quiet -- 00.11.22.33.44.55 || exit 1
grep -q -- "-Working only with BSSID :00.11.22.33.44.55" "$work/f/Temp/Quorvelta.log" || { echo "FAIL: filter"; exit 1; }
echo ok
