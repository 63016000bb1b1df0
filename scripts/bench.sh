#!/bin/sh
# Measures the figures of docs/performance.md: console appends per second
# (Google Benchmark), then with the harness the wall time, simulated time
# per wall second and peak memory of a sweep and of the worst case at pace
# 0, the same side by side with the scheduler of host threads (and the
# explorer's worlds per processor second with each), the pace-1 fidelity
# of the worst case, and the size of quorvelta.exe.
#
#   scripts/bench.sh [BUILD]      (default build; the exe goes to BUILD/win)
#   QV_BENCH_RUNS=N               pace-0 runs per scenario (median; default 5)
#   QV_BENCH_PACE1=0              skip the pace-1 run (it lasts as long as
#                                 the device would: about 161 s)
#   QV_BENCH_COMPARE=0            skip the side-by-side runs against the
#                                 scheduler of host threads (BUILD/threads)
#   QV_BENCH_WORLDS=N             explorer worlds per compared run (200)
#   QV_BENCH_EXE=0                skip building quorvelta.exe
# Timings are not tests: run this on a quiet machine.
set -e
build=${1:-build}
runs=${QV_BENCH_RUNS:-5}
pace1=${QV_BENCH_PACE1:-1}
compare=${QV_BENCH_COMPARE:-1}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target quorvelta-sim qv-bench qv-run-timer >/dev/null
sim=$build/quorvelta-sim
timer=$build/tests/qv-run-timer
out=$build/bench
rm -rf "$out"
mkdir -p "$out"

echo "== console appends, 1 and 8 writers (Google Benchmark)"
"$build/tests/qv-bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_min_time=1

# One harness run: leaves its wall time (ms, to the microsecond) in $wall,
# its processor time (user + system, ms) in $cpu and its peak RSS (KiB) in
# $rss. qv-run-timer (tests/bench/timer) reads the clock just before it
# starts the simulator with posix_spawn and just after the simulator has
# ended: the shell's fork, `date` and `/usr/bin/time` stay outside the
# measured span (on this machine they were about 10 ms a run, a third of a
# sweep run, and held every ratio down).
run() { # scenario pace
  rm -rf "$out/root"
  "$timer" -o "$out/t" "$sim" --scenario "scenarios/$1.toml" --root "$out/root" --pace "$2" \
    --quiet >/dev/null 2>&1 || true
  read -r us user sys rss _ <"$out/t"
  wall=$(awk -v d="$us" 'BEGIN {printf "%.1f", d / 1000}')
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN {printf "%.0f", (u + s) / 1000}')
}

# The virtual duration of a run: the time of its trace's last record.
virtual() { # scenario
  "$sim" --scenario "scenarios/$1.toml" --root "$out/root" --trace "$out/$1.jsonl" --quiet \
    >/dev/null 2>&1 || true
  tail -n 1 "$out/$1.jsonl" | sed 's/^{"t":\([0-9]*\),.*/\1/'
}

median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# One explorer run of $1 worlds with the simulator $2 on one job: leaves the
# worlds per processor second (parent and children) in $wps.
explore_run() { # worlds sim
  "$2" --explore 2 --runs 20 --jobs 1 --explore-out "$out/explore" >/dev/null 2>&1 || true  # warm-up
  "$timer" -o "$out/ecpu" "$2" --explore 1 --runs "$1" --jobs 1 --explore-out "$out/explore" \
    >/dev/null 2>&1 || true
  wps=$(awk -v n="$1" '{printf "%.0f", n * 1000000 / ($2 + $3)}' "$out/ecpu")
}

echo
echo "== harness at pace 0 (median and best of $runs runs; load average $(cut -d' ' -f1 /proc/loadavg))"
printf '%-20s %8s %7s %7s %11s %13s %13s %13s\n' scenario "wall ms" "(best)" "cpu ms" "virtual ms" "sim s/wall s" "peak RSS KiB" "threads_peak"
for s in recovery-sweep recovery-worst-case default; do
  v=$(virtual "$s")
  peak=$(tail -n 1 "$out/$s.jsonl" | sed 's/.*"threads_peak":\([0-9]*\).*/\1/')
  : >"$out/walls"
  : >"$out/cpus"
  : >"$out/rsss"
  i=0
  while [ "$i" -lt "$runs" ]; do
    run "$s" 0
    echo "$wall" >>"$out/walls"
    echo "$cpu" >>"$out/cpus"
    echo "$rss" >>"$out/rsss"
    i=$((i + 1))
  done
  w=$(median <"$out/walls")
  best=$(sort -g "$out/walls" | head -n 1)
  c=$(median <"$out/cpus")
  r=$(sort -n "$out/rsss" | tail -n 1)
  printf '%-20s %8s %7s %7s %11s %13s %13s %13s\n' "$s" "$w" "$best" "$c" "$v" \
    "$(awk -v v="$v" -v w="$w" 'BEGIN {printf "%.0f", (w > 0 ? v / w : 0)}')" "$r" "$peak"
done

# The same runs with the scheduler of host threads (QV_SCHEDULER=threads),
# side by side: pairs of one run of each build, which goes first
# alternating, and the ratio of their wall times per pair, so that a
# change of load between pairs falls on both builds alike. Each measured
# run follows a run of the same build that is not measured: on this
# virtual machine, memory another process has just given back costs more to
# touch again (a run of the host-thread build gives back hundreds of
# stacks), and without the warm-up a run right after one of the other
# build paid for that, in the explorer's case by a third.
if [ "$compare" != 0 ]; then
  cmake -S . -B "$build/threads" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SCHEDULER=threads >/dev/null
  cmake --build "$build/threads" -j "$(nproc)" --target quorvelta-sim >/dev/null
  old=$build/threads/quorvelta-sim
  new=$sim
  echo
  echo "== contexts (new) against host threads (old), $runs pairs each (load average $(cut -d' ' -f1 /proc/loadavg))"
  printf '%-20s %9s %9s %12s %12s %12s %12s\n' scenario "new ms" "old ms" "old/new" "(range)" \
    "new sim/wall" "old sim/wall"
  for s in recovery-sweep recovery-worst-case default; do
    v=$(virtual "$s")
    : >"$out/pairs"
    i=0
    while [ "$i" -lt "$runs" ]; do
      if [ $((i % 2)) = 0 ]; then
        sim=$new; run "$s" 0; run "$s" 0; nw=$wall
        sim=$old; run "$s" 0; run "$s" 0; ow=$wall
      else
        sim=$old; run "$s" 0; run "$s" 0; ow=$wall
        sim=$new; run "$s" 0; run "$s" 0; nw=$wall
      fi
      echo "$nw $ow $(awk -v o="$ow" -v n="$nw" 'BEGIN {printf "%.2f", o / (n > 0 ? n : 0.1)}')" >>"$out/pairs"
      i=$((i + 1))
    done
    sim=$new
    nw=$(cut -d' ' -f1 "$out/pairs" | median)
    ow=$(cut -d' ' -f2 "$out/pairs" | median)
    ratio=$(cut -d' ' -f3 "$out/pairs" | median)
    lo=$(cut -d' ' -f3 "$out/pairs" | sort -g | head -n 1)
    hi=$(cut -d' ' -f3 "$out/pairs" | sort -g | tail -n 1)
    printf '%-20s %9s %9s %11sx %12s %12s %12s\n' "$s" "$nw" "$ow" "$ratio" "$lo-$hi" \
      "$(awk -v v="$v" -v w="$nw" 'BEGIN {printf "%.0f", v / w}')" \
      "$(awk -v v="$v" -v w="$ow" 'BEGIN {printf "%.0f", v / w}')"
  done
  worlds=${QV_BENCH_WORLDS:-200}
  echo
  echo "== explorer: worlds per processor second, $worlds worlds on one job, 3 pairs"
  : >"$out/epairs"
  for i in 1 2 3; do
    if [ $((i % 2)) = 1 ]; then
      explore_run "$worlds" "$new"; n=$wps; explore_run "$worlds" "$old"; o=$wps
    else
      explore_run "$worlds" "$old"; o=$wps; explore_run "$worlds" "$new"; n=$wps
    fi
    echo "$n $o $(awk -v o="$o" -v n="$n" 'BEGIN {printf "%.2f", n / o}')" >>"$out/epairs"
  done
  printf 'new %s, old %s worlds per processor second; new/old %sx (pairs: %s)\n' \
    "$(cut -d' ' -f1 "$out/epairs" | median)" "$(cut -d' ' -f2 "$out/epairs" | median)" \
    "$(cut -d' ' -f3 "$out/epairs" | median)" "$(cut -d' ' -f3 "$out/epairs" | tr '\n' ' ')"
fi

# The waits the program is designed to make in the worst case: a 3000 ms
# scan, then per node (three) 8 association polls of 2000 ms, two renewal
# tries of 300 ms and 8 polls of 2000 ms each, 960 probe launches 1 ms
# apart, the sweep's 2000 ms settle and the failed node's 1000 ms. No echo
# time-out is waited for in line: the probes' overlap the settle.
designed=$((3000 + 3 * (8 * 2000 + 2 * (300 + 8 * 2000) + 960 + 2000 + 1000)))
if [ "$pace1" != 0 ]; then
  echo
  echo "== pace-1 fidelity: recovery-worst-case"
  v=$(virtual recovery-worst-case)
  run recovery-worst-case 1
  echo "designed waits  $designed ms"
  echo "virtual time    $v ms"
  echo "wall at pace 1  $wall ms"
  awk -v d="$designed" -v v="$v" -v w="$wall" 'BEGIN {
    printf "wall over virtual  %+.2f%%\nwall over designed %+.2f%%\n", 100 * (w - v) / v, 100 * (w - d) / d }'
fi

if [ "${QV_BENCH_EXE:-1}" != 0 ] && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo
  echo "== quorvelta.exe"
  toolchain=
  [ -f "$build/win/CMakeCache.txt" ] || toolchain=-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
  cmake -S . -B "$build/win" $toolchain -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/win" -j "$(nproc)" --target quorvelta >/dev/null
  echo "size  $(stat -c %s "$build/win/quorvelta.exe") bytes"
fi
