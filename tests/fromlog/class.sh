#!/bin/sh
# Names the documented class (docs/from-log.md) of a log whose round trip is
# not exact, after checking what that class still promises; prints nothing
# when the difference is outside every class.
#   class.sh ORIGINAL REPLAYED WORLD
orig=$1; again=$2; world=$3
[ -f "$again" ] || exit 0
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
# Oldest lines dropped: from the first whole node pass on, the replay ends
# with the very lines the log kept.
if [ "$(head -c 22 "$orig")" != "Olvash Quorvelta V0.18" ]; then
  start=$(grep -n -m1 -a '^-Trying to associate with\.\.\.\.' "$orig" | cut -d: -f1)
  [ -n "$start" ] || exit 0
  tail -n +"$start" "$orig" >"$tmp/kept"
  if tail -c "$(wc -c <"$tmp/kept")" "$again" | cmp -s - "$tmp/kept"; then
    echo "oldest lines dropped"
    exit 0
  fi
  # Both: from the first whole node pass up to the line the world names,
  # the replay's own first pass on has the very lines the log kept.
  line=$(sed -n 's/^# Not made again from line \([0-9]*\):.*/\1/p' "$world" | head -1)
  [ -n "$line" ] && [ "$line" -gt "$start" ] || exit 0
  from=$(grep -n -m1 -a '^-Trying to associate with\.\.\.\.' "$again" | cut -d: -f1)
  [ -n "$from" ] || exit 0
  sed -n "${start},$((line - 1))p" "$orig" >"$tmp/a"
  tail -n +"$from" "$again" | head -n $((line - start)) >"$tmp/b"
  cmp -s "$tmp/a" "$tmp/b" &&
    echo "oldest lines dropped; not made again: $(grep -m1 '^# Not made again' "$world" | cut -d: -f2- | cut -c2-)"
  exit 0
fi
# Cut short: the replay runs on past the cut, so the log is a prefix of it.
if [ "$(tail -c 22 "$orig" | tr -d '\r\n')" != "Tap screen to exit. " ]; then
  head -c "$(wc -c <"$orig")" "$again" | cmp -s - "$orig" && echo "cut short"
  exit 0
fi
# Bare LF line ends: the device writes CR LF; the same lines otherwise.
if ! grep -q -a "$(printf '\r')" "$orig"; then
  tr -d '\r' <"$again" | cmp -s - "$orig" && echo "LF line ends"
  exit 0
fi
# Lines the reader placed but cannot make happen again: the world names the
# first of them; every line before it is the same.
line=$(sed -n 's/^# Not made again from line \([0-9]*\):.*/\1/p' "$world" | head -1)
if [ -n "$line" ]; then
  head -n $((line - 1)) "$orig" >"$tmp/a"; head -n $((line - 1)) "$again" >"$tmp/b"
  cmp -s "$tmp/a" "$tmp/b" &&
    echo "not made again: $(grep -m1 '^# Not made again' "$world" | cut -d: -f2- | cut -c2-)"
fi
exit 0
