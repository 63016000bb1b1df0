#!/bin/sh
# Records what every scenario leaves, for a byte-for-byte comparison of two
# builds of the simulator (a change that must not change behaviour):
#
#   scripts/record-runs.sh SIM DIR     then   diff -r DIR-before DIR-after
#
# For each scenarios/NAME.toml, and for the built-in default: DIR/NAME.out
# (standard output: the echoed console), .err (standard error), .exit,
# .log (the log file, if one was written), .trace, and .png (a screenshot).
# The explorer's per-run lines (without their wall times) and an explorer
# world's text go to DIR/explore.out.
set -e
sim=$1
dir=$2
[ -n "$sim" ] && [ -n "$dir" ] || { echo "usage: $0 SIM DIR" >&2; exit 2; }
case $sim in /*) ;; *) sim=$PWD/$sim ;; esac
src=$PWD
rm -rf "$dir"
mkdir -p "$dir/roots"
# Paths inside DIR are relative, so that messages naming them are the same
# whatever DIR is.
cd "$dir"
one() { # name [options...]
  n=$1
  shift
  set +e
  "$sim" --root "roots/$n" --trace "$n.trace" --screenshot "$n.png" "$@" >"$n.out" 2>"$n.err"
  echo $? >"$n.exit"
  set -e
  if [ -f "roots/$n/Temp/Quorvelta.log" ]; then cp "roots/$n/Temp/Quorvelta.log" "$n.log"; fi
}
for s in "$src"/scenarios/*.toml; do
  one "$(basename "$s" .toml)" --scenario "$s"
done
one builtin-default
one builtin-default-filter -- 00.11.22.33.44.55
rm -rf roots
# The explorer: each run's verdict and exit, in run order; times cut.
"$sim" --explore 7 --runs 60 --verbose --explore-out explore-failures 2>&1 |
  sed -e 's/: [0-9.]* s, exit/: exit/' -e '/ runs, .* failed, /s/, [0-9.]* s wall.*//' >"$dir/explore.out" || true
"$sim" --explore 7 --world 3 >>explore.out
