#!/bin/sh
# quorvelta-sim --from-log as a property (docs/from-log.md): every expected
# log of scenarios/ read back into a world that prints it again, exactly or
# within its documented class (explorer worlds: from_log_explore.sh); logs
# made into each class on purpose (bare LF, cut short, oldest lines dropped,
# dropped and not made again); the logs of the worlds in tests/fromlog/worlds/
# come back exactly, or in the class a world's "# From its log:" line
# names; and logs that are not ours get one error naming the line, with
# nothing written.
#   from_log.sh SIM WORKDIR
set -e
sim=$1; work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
fl=$root/tests/fromlog
rm -rf "$work"; mkdir -p "$work/made"
fail() { echo "FAIL: $*"; exit 1; }

# Logs of each class, made from the default run's log.
log=$root/scenarios/default.log
tr -d '\r' <"$log" >"$work/made/lf.log"
head -c 1500 "$log" >"$work/made/cut-in-line.log"
# Cut inside a survey row: the made-up row prints what the log shows of it.
head -c 400 "$log" >"$work/made/cut-in-survey.log"
head -n 40 "$log" >"$work/made/cut-at-line.log"
tail -n +20 "$log" >"$work/made/head-dropped.log"
# Both at once: a log with its banner dropped, whose second pass shows a
# failure no scenario key places from the log alone.
w=$fl/worlds/dropped-then-index-error.toml
"$sim" --quiet --scenario "$w" --root "$work/dropped" >/dev/null 2>&1 || true
tail -n +3 "$work/dropped/Temp/Quorvelta.log" >"$work/made/dropped-marked.log"
# Dropped too, a run that ends before its last node: the count of nodes
# left tells of the node the kept lines never name.
w=$fl/worlds/success-before-last-node.toml
"$sim" --quiet --scenario "$w" --root "$work/unreached" >/dev/null 2>&1 || true
tail -n +3 "$work/unreached/Temp/Quorvelta.log" >"$work/made/dropped-unreached.log"
out=$(sh "$fl/roundtrip.sh" "$sim" "$work/made-rt" "$work"/made/*.log) || fail "$out"
for c in "LF line ends" "cut short" "oldest lines dropped" \
  "oldest lines dropped; not made again: the adapter index lookup failed"; do
  echo "$out" | grep -q "CLASS .*: $c\$" || fail "no log fell in the class \"$c\": $out"
done
# A log cut short gets an exit tap once its last text shows: cut at a line
# end where the run paused, it comes back whole; cut inside a line the
# console wrote at once, the replay's log has the rest of that line.
echo "$out" | grep -q "CLASS cut-in-line: cut short" || fail "cut-in-line: $out"
echo "$out" | grep -q "CLASS cut-in-survey: cut short" || fail "cut-in-survey: $out"
echo "$out" | grep -q "CLASS dropped-unreached: oldest lines dropped" || fail "dropped-unreached: $out"
! echo "$out" | grep -q "cut-at-line" || fail "cut-at-line does not come back exactly: $out"

# Worlds whose logs pin down more than they seem (docs/from-log.md): each
# log comes back byte for byte. A world with a "# From its log: CLASS" line
# shows what its log does not pin down: its log falls in that class.
mkdir -p "$work/exact" "$work/classed"
for w in "$fl"/worlds/*.toml; do
  n=$(basename "$w" .toml)
  [ "$n" = dropped-then-index-error ] && continue
  "$sim" --quiet --scenario "$w" --root "$work/w-$n" >/dev/null 2>&1 || fail "$n did not run"
  if grep -q '^# From its log: ' "$w"; then
    cp "$work/w-$n/Temp/Quorvelta.log" "$work/classed/$n.log"
  else
    cp "$work/w-$n/Temp/Quorvelta.log" "$work/exact/$n.log"
  fi
done
out=$(sh "$fl/roundtrip.sh" "$sim" "$work/exact-rt" "$work"/exact/*.log) || fail "$out"
! echo "$out" | grep -q '^CLASS' || fail "not exact: $(echo "$out" | grep '^CLASS')"
for got in "$work"/classed/*.log; do
  [ -f "$got" ] || continue
  n=$(basename "$got" .log)
  want=$(sed -n 's/^# From its log: //p' "$fl/worlds/$n.toml")
  out=$(sh "$fl/roundtrip.sh" "$sim" "$work/classed-rt" "$got") || fail "$out"
  echo "$out" | grep -qxF "CLASS $n: $want" || fail "$n is not in the class \"$want\": $out"
done

# Not ours, or corrupted: exit 2, the first line that cannot be placed, no file.
printf 'Hello\r\nworld\r\n' >"$work/made/other.txt"
sed '9s/dB/dX/' "$log" >"$work/made/corrupt.log"
# An address no device prints: its world could not be written.
sed '77s/192.168.20.114/192.168.20.999/' "$log" >"$work/made/bad-address.log"
for bad in other.txt:1 corrupt.log:9 bad-address.log:77; do
  f=${bad%%:*}; line=${bad##*:}
  if "$sim" --from-log "$work/made/$f" --scenario-out "$work/bad.toml" 2>"$work/err"; then
    fail "$f was read"
  fi
  grep -q "line $line:" "$work/err" || fail "$f: the error does not name line $line: $(cat "$work/err")"
  [ ! -e "$work/bad.toml" ] || fail "$f: a scenario was written"
done

# The property over our own logs; a failed log is named with its world.
# QV_FROM_LOG_STRIDE=N takes every Nth of them (a sanitizer build, where the
# plain build has taken them all and each run costs several times as much).
stride=${QV_FROM_LOG_STRIDE:-1}
set --
k=0
for f in "$root"/scenarios/*.log; do
  [ $((k % stride)) -eq 0 ] && set -- "$@" "$f"
  k=$((k + 1))
done
out=$(sh "$fl/roundtrip.sh" "$sim" "$work/scenarios" "$@") ||
  fail "$(echo "$out" | grep '^FAIL')"
echo "$out" | tail -1
