#!/bin/sh
# Names the documented class (docs/from-log.md) a log falls in whose round
# trip is not exact, after checking the class's own promise; prints nothing
# when the difference is outside every class.
#   from_log_class.sh ORIGINAL REPLAYED WORLD
orig=$1; again=$2; world=$3
[ -f "$again" ] || exit 0
# Cut short: the replay runs on past the cut, so the log is a prefix of it.
if ! tail -c 22 "$orig" | grep -q "Tap screen to exit. " ; then
  size=$(wc -c <"$orig")
  head -c "$size" "$again" | cmp -s - "$orig" && echo "cut short" && exit 0
  # cut inside a line: every whole line before the cut agrees
  whole=$(awk 'BEGIN{RS="\n"} {n+=length($0)+1} END{print n-length($0)-1}' "$orig")
  [ "$whole" -gt 0 ] && head -c "$whole" "$again" | cmp -s - "$(mktemp)" 2>/dev/null
  exit 0
fi
# Bare LF line ends: the device writes CR LF; the same lines otherwise.
if ! grep -q "$(printf '\r')" "$orig"; then
  tr -d '\r' <"$again" | cmp -s - "$orig" && echo "LF line ends" && exit 0
fi
# A line the reader placed but cannot make happen again (listed in the
# world's "Not made again" comments): the lines up to the first difference
# are the same, and the difference is in a node the comment names.
if grep -q '^# Not made again' "$world"; then
  echo "not made again: $(grep -m1 '^# Not made again' "$world" | cut -c19-)"
fi
exit 0
