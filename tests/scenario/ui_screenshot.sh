#!/bin/sh
# --screenshot writes the last painted frame as a 220 x 240 RGB PNG, the
# same bytes for the same scenario; without any painted frame it says so
# and writes nothing.
sim=$1; work=$2
rm -rf "$work"; mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }
for i in 1 2; do
  "$sim" --root "$work/r$i" --screenshot "$work/s$i.png" --quiet || fail "run $i exit $?"
done
cmp -s "$work/s1.png" "$work/s2.png" || fail "screenshots of the same run differ"
# Signature, then IHDR: width 220, height 240, 8 bits, colour type 2 (RGB).
head -c 26 "$work/s1.png" | od -An -tx1 | tr -d ' \n' > "$work/head"
[ "$(cat "$work/head")" = "89504e470d0a1a0a0000000d49484452000000dc000000f00802" ] ||
  fail "not a 220 x 240 RGB PNG: $(cat "$work/head")"

printf '[ui]\ncreate_fails = true\n' > "$work/nowindow.toml"
"$sim" --scenario "$work/nowindow.toml" --root "$work/n" --screenshot "$work/n.png" --quiet \
  2> "$work/n.err" || fail "exit $? without a window"
[ -e "$work/n.png" ] && fail "a screenshot without any painted frame"
grep -q "no window was painted" "$work/n.err" || fail "no word on the missing screenshot: $(cat "$work/n.err")"
"$sim" --screenshot > /dev/null 2>&1
[ $? -eq 2 ] || fail "--screenshot without a file must exit 2"
echo ok
