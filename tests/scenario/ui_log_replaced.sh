#!/bin/sh
# The exit tap replaces a log left by an earlier run: the file holds this
# run's text alone, byte for byte what a run on an empty device writes.
sim=$1; work=$2
rm -rf "$work"; mkdir -p "$work/old/Temp"
fail() { echo "FAIL: $*"; exit 1; }
"$sim" --root "$work/fresh" --quiet || fail "fresh run exit $?"
# An earlier log, longer than this run's and without a line end at its end.
awk 'BEGIN { for (i = 0; i < 400; i++) printf "earlier run line %d\r\n", i; printf "tail" }' \
  > "$work/old/Temp/Quorvelta.log"
# The folder holds files the harness did not make: used only when asked.
"$sim" --root "$work/old" --quiet 2>/dev/null && fail "a folder of other files was used unasked"
"$sim" --root "$work/old" --reuse-root --quiet || fail "second run exit $?"
cmp "$work/fresh/Temp/Quorvelta.log" "$work/old/Temp/Quorvelta.log" || fail "the earlier log was not replaced"
grep -q "earlier run" "$work/old/Temp/Quorvelta.log" && fail "text of the earlier log is left"
echo ok
