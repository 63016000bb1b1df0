#!/bin/sh
# [ui] scripts that cannot be played are refused before anything runs, and
# a step waiting for text that never shows is reported, not waited out.
sim=$1; work=$2
rm -rf "$work"; mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }

refused() { # name, expected message fragment, file body
  printf '%s\n' "$3" > "$work/$1.toml"
  "$sim" --scenario "$work/$1.toml" --root "$work/$1" > "$work/$1.out" 2> "$work/$1.err"
  rc=$?
  [ $rc -eq 2 ] || fail "$1: exit $rc, expected 2"
  grep -qF -- "$2" "$work/$1.err" || fail "$1: message lacks '$2': $(cat "$work/$1.err")"
  [ -s "$work/$1.out" ] && fail "$1: the program ran"
  return 0
}

refused action "action.toml:2: key ui.event[0].action: must be one of" '[[ui.event]]
action = "swipe"'
refused nopoint "nopoint.toml:2: key ui.event[0].action: a stylus step needs x and y" '[[ui.event]]
action = "press"
x = 3'
refused held "held.toml:1: key ui.event: the press on line 2 is never released" '[[ui.event]]
action = "press"
x = 215
y = 233'
refused twice "twice.toml:6: key ui.event[1].action: the stylus is already down" '[[ui.event]]
action = "press"
x = 1
y = 1
[[ui.event]]
action = "tap"
x = 2
y = 2
[[ui.event]]
action = "release"
x = 2
y = 2'
refused pointless "pointless.toml:3: key ui.event[0].x: only a press, release or tap has a point" '[[ui.event]]
action = "close"
x = 1'
refused noid "noid.toml:2: key ui.event[0].action: a timer step needs id" '[[ui.event]]
action = "timer"'
refused range "range.toml:4: key ui.event[0].y: must lie in 0..65535" '[[ui.event]]
action = "tap"
x = 1
y = 70000'
refused late "late.toml:2: key ui.event[0].at: must lie in 0..3600000" '[[ui.event]]
at = 4000000
action = "close"'
refused unknown "unknown.toml:2: key ui.colour: unknown key" '[ui]
colour = 1'

# Text that never shows: the run ends, the step is named, exit 3.
printf '[driver]\nopens = false\n[[ui.event]]\nshown = "Connected"\naction = "tap"\nx = 1\ny = 1\n' \
  > "$work/never.toml"
"$sim" --scenario "$work/never.toml" --root "$work/never" --quiet 2> "$work/never.err"
rc=$?
[ $rc -eq 3 ] || fail "never shown: exit $rc, expected 3"
grep -qF 'never.toml:5: the [ui] step waits for "Connected", which never showed' "$work/never.err" ||
  fail "never shown: $(cat "$work/never.err")"
echo ok
