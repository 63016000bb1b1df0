#!/bin/sh
# Measures the figures of docs/performance.md: console appends per second
# (Google Benchmark), then with the harness the wall time, simulated time
# per wall second and peak memory of a sweep and of the worst case at pace
# 0, the pace-1 fidelity of the worst case, and the size of quorvelta.exe.
#
#   scripts/bench.sh [BUILD]      (default build; the exe goes to BUILD/win)
#   QV_BENCH_RUNS=N               pace-0 runs per scenario (median; default 5)
#   QV_BENCH_PACE1=0              skip the pace-1 run (it lasts as long as
#                                 the device would: about 161 s)
# Timings are not tests: run this on a quiet machine.
set -e
build=${1:-build}
runs=${QV_BENCH_RUNS:-5}
pace1=${QV_BENCH_PACE1:-1}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target quorvelta-sim qv-bench >/dev/null
sim=$build/quorvelta-sim
out=$build/bench
rm -rf "$out"
mkdir -p "$out"

echo "== console appends, 1 and 8 writers (Google Benchmark)"
"$build/tests/qv-bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_min_time=1

# One harness run: leaves the wall time (ms) in $wall, the processor time
# (user + system, ms) in $cpu and the peak RSS (KiB) in $rss.
run() { # scenario pace
  rm -rf "$out/root"
  start=$(date +%s%N)
  /usr/bin/time -f '%M %U %S' -o "$out/rss" "$sim" --scenario "scenarios/$1.toml" --root "$out/root" \
    --pace "$2" --quiet >/dev/null || true
  end=$(date +%s%N)
  wall=$(((end - start) / 1000000))
  rss=$(tail -n 1 "$out/rss" | cut -d' ' -f1)
  cpu=$(tail -n 1 "$out/rss" | awk '{printf "%.0f", ($2 + $3) * 1000}')
}

# The virtual duration of a run: the time of its trace's last record.
virtual() { # scenario
  "$sim" --scenario "scenarios/$1.toml" --root "$out/root" --trace "$out/$1.jsonl" --quiet \
    >/dev/null || true
  tail -n 1 "$out/$1.jsonl" | sed 's/^{"t":\([0-9]*\),.*/\1/'
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

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
  best=$(sort -n "$out/walls" | head -n 1)
  c=$(median <"$out/cpus")
  r=$(sort -n "$out/rsss" | tail -n 1)
  printf '%-20s %8s %7s %7s %11s %13s %13s %13s\n' "$s" "$w" "$best" "$c" "$v" \
    "$(awk -v v="$v" -v w="$w" 'BEGIN {printf "%.0f", (w > 0 ? v / w : 0)}')" "$r" "$peak"
done

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

if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo
  echo "== quorvelta.exe"
  toolchain=
  [ -f "$build/win/CMakeCache.txt" ] || toolchain=-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
  cmake -S . -B "$build/win" $toolchain -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/win" -j "$(nproc)" --target quorvelta >/dev/null
  echo "size  $(stat -c %s "$build/win/quorvelta.exe") bytes"
fi
