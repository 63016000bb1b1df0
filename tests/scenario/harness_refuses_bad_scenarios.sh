#!/bin/sh
# A scenario with an unknown key, a wrong type, a value out of range or a
# syntax error is refused with one message naming file, line and key; the
# harness exits 2 and nothing runs.
sim=$1; work=$2
rm -rf "$work"; mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }

check() { # name, expected message fragment, file body
  name=$1; want=$2
  printf '%s\n' "$3" > "$work/$name.toml"
  "$sim" --scenario "$work/$name.toml" --root "$work/$name-root" >"$work/$name.out" 2>"$work/$name.err"
  rc=$?
  [ $rc -eq 2 ] || fail "$name: exit $rc, expected 2"
  [ "$(wc -l < "$work/$name.err")" -eq 1 ] || fail "$name: expected one message: $(cat "$work/$name.err")"
  grep -qF -- "$want" "$work/$name.err" || fail "$name: message lacks '$want': $(cat "$work/$name.err")"
  [ -s "$work/$name.out" ] && fail "$name: the program ran"
  [ -e "$work/$name-root/Temp/Quorvelta.log" ] && fail "$name: a log was written"
  return 0
}

check unknown "unknown.toml:3: key clock.colour: unknown key" '[clock]
bias = 0
colour = "red"'
check type "type.toml:2: key driver.opens: must be true or false" '[driver]
opens = "yes"'
check range "range.toml:3: key clock.bias: must lie in" '
[clock]
bias = 5000'
check nested "nested.toml:4: key driver.binding[0].wlna: unknown key" '[driver]
[[driver.binding]]
name = "X"
wlna = true'
check syntax "syntax.toml:2: syntax:" '[clock]
bias = = 3'
check toplevel "toplevel.toml:1: key radios: unknown key" '[radios]'

"$sim" --scenario "$work/missing.toml" >/dev/null 2>&1
[ $? -eq 2 ] || fail "a missing scenario file must exit 2"
"$sim" --bogus >/dev/null 2>&1
[ $? -eq 2 ] || fail "an unknown option must exit 2"
echo "ok"
