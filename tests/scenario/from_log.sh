#!/bin/sh
# quorvelta-sim --from-log as a property (docs/from-log.md): every expected
# log of scenarios/ read back into a world that prints it again, exactly or
# within its documented class (explorer worlds: from_log_explore.sh); logs made into each class on purpose (bare LF, cut short, oldest
# lines dropped); and logs that are not ours get one error naming the line,
# with nothing written.
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
head -n 40 "$log" >"$work/made/cut-at-line.log"
tail -n +20 "$log" >"$work/made/head-dropped.log"
out=$(sh "$fl/roundtrip.sh" "$sim" "$work/made-rt" "$work"/made/*.log) || fail "$out"
for c in "LF line ends" "cut short" "oldest lines dropped"; do
  echo "$out" | grep -q "CLASS .*: $c" || fail "no log fell in the class \"$c\": $out"
done
[ "$(echo "$out" | grep -c 'cut short')" -eq 2 ] || fail "both cut logs are cut short: $out"

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
out=$(sh "$fl/roundtrip.sh" "$sim" "$work/scenarios" "$root"/scenarios/*.log) ||
  fail "$(echo "$out" | grep '^FAIL')"
echo "$out" | tail -1
