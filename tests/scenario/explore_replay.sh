#!/bin/sh
# The explorer: a world printed with --world replays with --scenario, and
# the tally does not depend on how many runs go at once.
sim=$1; work=$2
rm -rf "$work"; mkdir -p "$work"
"$sim" --explore 9 --world 4 > "$work/w4.toml" || { echo "FAIL: --world"; exit 1; }
"$sim" --explore 9 --world 4 | cmp -s - "$work/w4.toml" || { echo "FAIL: world 4 differs"; exit 1; }
"$sim" --scenario "$work/w4.toml" --root "$work/r4" --quiet || { echo "FAIL: replay exit $?"; exit 1; }
test -f "$work/r4/Temp/Quorvelta.log" || grep -q "temp_folder = false" "$work/w4.toml" ||
  { echo "FAIL: the replay left no log"; exit 1; }
for j in 1 3; do
  "$sim" --explore 9 --runs 24 --jobs $j --explore-out "$work/out$j" > "$work/o$j" ||
    { echo "FAIL: exploration with $j jobs"; cat "$work/o$j"; exit 1; }
done
grep -q "^explore: seed 9: 24 runs, 0 failed" "$work/o1" || { echo "FAIL: summary"; cat "$work/o1"; exit 1; }
tail -1 "$work/o1" > "$work/t1"; tail -1 "$work/o3" > "$work/t3"
cmp -s "$work/t1" "$work/t3" || { echo "FAIL: the tally depends on --jobs"; cat "$work/t1" "$work/t3"; exit 1; }
test ! -e "$work/out1" || { echo "FAIL: a world was written without a failure"; exit 1; }
echo ok
