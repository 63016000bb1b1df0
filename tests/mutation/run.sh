#!/bin/bash
# The standing mutation check: puts each mutant of tests/mutation/mutants.txt
# into the tree, one at a time, rebuilds incrementally in a build folder of
# its own, runs the plain ctest suite with a time limit, and puts the tree
# back. Prints killed / survived / did not apply per mutant and the score:
# killed out of killed + survived (equivalent mutants are listed, not run).
#
# Usage: tests/mutation/run.sh [BUILD_DIR] [NAME_PATTERN]
#        tests/mutation/run.sh --rules   only checks that every rule still
#                                        applies (its text found exactly once);
#                                        builds nothing, exit 1 if one does not
#   BUILD_DIR     default build-mutate (never the normal build folder)
#   NAME_PATTERN  an extended regular expression: only mutants whose name
#                 matches are run (default: all)
# Environment: JOBS (default 2), TEST_TIMEOUT (seconds per test, default
# 120), SUITE_TIMEOUT (seconds per suite run, default 600).
set -u
rules_only=0
if [ "${1:-}" = --rules ]; then rules_only=1; shift; fi
root=$(cd "$(dirname "$0")/../.." && pwd)
list=$root/tests/mutation/mutants.txt
build=${1:-$root/build-mutate}
case "$build" in /*) ;; *) build=$root/$build ;; esac
only=${2:-}
jobs=${JOBS:-2}
test_timeout=${TEST_TIMEOUT:-120}
suite_timeout=${SUITE_TIMEOUT:-600}

backup=$(mktemp -d "${TMPDIR:-/tmp}/qv-mutate.XXXXXX")
current=""
# Whatever happens (a failed build, ^C, a kill), the file under mutation is
# put back before the script ends.
restore() {
  if [ -n "$current" ] && [ -f "$backup/file" ]; then
    cp "$backup/file" "$root/$current"
    current=""
  fi
}
finish() { restore; rm -rf "$backup"; }
trap finish EXIT
trap 'echo "interrupted: tree restored" >&2; exit 130' INT TERM HUP

# Replaces the one occurrence of FIND in FILE by INTO (both literal; "\n"
# stands for a line break). Exit 0 when it applied, 1 when FIND occurs no
# time or more than once.
apply_rule() {
  FIND=$2 INTO=$3 perl -0777 -i -e '
    my $f = $ENV{FIND}; my $t = $ENV{INTO};
    s/\\n/\n/g for ($f, $t);
    local $/; my $s = <>; my $n = () = $s =~ /\Q$f\E/g;
    if ($n == 1) { $s =~ s/\Q$f\E/$t/; }
    print $s; exit($n == 1 ? 0 : 1);' "$1"
}

# --rules: each rule against a copy of its file; the tree is not touched.
if [ $rules_only -eq 1 ]; then
  bad=0 total=0 name="" file="" find=""
  check_rule() {
    [ -z "$name" ] && return
    total=$((total + 1))
    if [ ! -f "$root/$file" ]; then
      echo "did not apply: $name (no file $file)"; bad=$((bad + 1))
    else
      cp "$root/$file" "$backup/probe"
      apply_rule "$backup/probe" "$find" "" || { echo "did not apply: $name (text not found once in $file)"; bad=$((bad + 1)); }
    fi
    name=""
  }
  while IFS= read -r l || [ -n "$l" ]; do
    case "$l" in
      name:*) check_rule; name=${l#name:}; name=${name# } ;;
      file:*) file=${l#file:}; file=${file# } ;;
      find:*) find=${l#find:}; find=${find# } ;;
    esac
  done <"$list"
  check_rule
  echo "mutation rules: $((total - bad)) of $total apply"
  [ $bad -eq 0 ]
  exit
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
# Only what the plain suite runs: the simulator and the unit tests.
build_tree() {
  cmake --build "$build" -j "$jobs" --target quorvelta-sim qv-unit-tests >"$build/mutate-build.log" 2>&1
}
run_suite() {
  # Not mutation.rules: with a mutant in the tree its rule's text is
  # missing, so it would "kill" every mutant itself.
  (cd "$build" && timeout "$suite_timeout" ctest -j "$jobs" --timeout "$test_timeout" \
     -E '^mutation[.]rules$' --stop-on-failure >"$build/mutate-ctest.log" 2>&1)
}

# The unmutated tree must build and pass, or no mutant can be judged.
for f in $(grep -E '^file:' "$list" | sed 's/^file: *//' | sort -u); do
  git -C "$root" diff --quiet -- "$f" 2>/dev/null ||
    echo "note: $f has changes that are not committed; mutants apply to it as it is" >&2
done
start=$(date +%s)
echo "baseline: building $build"
build_tree || { echo "baseline build failed (see $build/mutate-build.log)"; exit 1; }
run_suite || { echo "baseline suite fails (see $build/mutate-ctest.log)"; exit 1; }

killed=0 survived=0 missed=0 equivalent=0 broken=0
survivors=""
# One block per mutant: name:, file:, find:, into:, optional equivalent:.
run_one() {
  local name=$1 file=$2 find=$3 into=$4 equiv=$5
  [ -n "$only" ] && ! [[ $name =~ $only ]] && return
  if [ -n "$equiv" ]; then
    printf '%-44s equivalent (%s)\n' "$name" "$equiv"; equivalent=$((equivalent + 1)); return
  fi
  if [ ! -f "$root/$file" ]; then
    printf '%-44s did not apply (no file %s)\n' "$name" "$file"; missed=$((missed + 1)); return
  fi
  cp "$root/$file" "$backup/file"
  current=$file
  if ! apply_rule "$root/$file" "$find" "$into"; then
    restore
    printf '%-44s did not apply (text not found once in %s)\n' "$name" "$file"; missed=$((missed + 1))
    return
  fi
  local t0=$(date +%s) verdict
  if ! build_tree; then
    verdict="did not build"; broken=$((broken + 1))
  elif run_suite; then
    verdict="SURVIVED"; survived=$((survived + 1)); survivors="$survivors $name"
  else
    local by
    by=$(grep -m1 -E '\*\*\*(Failed|Timeout|Exception)|Failed  |Timeout' "$build/mutate-ctest.log" |
         sed -E 's/^.*Test +#[0-9]+: ([^ ]+).*$/\1/')
    verdict="killed${by:+ by $by}"; killed=$((killed + 1))
  fi
  restore
  printf '%-44s %s (%ss)\n' "$name" "$verdict" "$(( $(date +%s) - t0 ))"
}

name="" file="" find="" into="" equiv=""
flush() { [ -n "$name" ] && run_one "$name" "$file" "$find" "$into" "$equiv"; name="" file="" find="" into="" equiv=""; }
while IFS= read -r l || [ -n "$l" ]; do
  case "$l" in
    name:*) flush; name=${l#name:}; name=${name# } ;;
    file:*) file=${l#file:}; file=${file# } ;;
    find:*) find=${l#find:}; find=${find# } ;;
    into:*) into=${l#into:}; into=${into# } ;;
    equivalent:*) equiv=${l#equivalent:}; equiv=${equiv# } ;;
  esac
done <"$list"
flush

# The tree as it was, built again, so the folder is left matching it.
build_tree || true
scored=$((killed + survived))
echo
echo "killed $killed, survived $survived, did not apply $missed, did not build $broken, equivalent $equivalent"
if [ $scored -gt 0 ]; then
  echo "score: $killed / $scored = $((100 * killed / scored)) % of the non-equivalent mutants killed"
fi
[ -n "$survivors" ] && echo "survivors:$survivors"
echo "time: $(( $(date +%s) - start )) s"
exit 0
