#!/bin/sh
# The harness against a hostile host and a careless user: every host
# failure is a clear error with its documented exit code and the host's
# reason, an input is never overwritten, and what the run writes is whole
# or absent. Each group below runs the commands a user would type.
sim=$1; work=$2
src=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"; mkdir -p "$work"
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

# run NAME ARGS...: the harness with its output in NAME.out, NAME.err and
# its exit code in $rc.
run() {
  name=$1; shift
  "$sim" "$@" >"$name.out" 2>"$name.err"
  rc=$?
}
expect() { # name, exit code, message fragment
  [ "$rc" -eq "$2" ] || fail "$1: exit $rc, expected $2: $(cat "$1.err")"
  grep -qF -- "$3" "$1.err" || fail "$1: no message '$3': $(cat "$1.err")"
}
whole_trace() { # a trace whose every line is a whole record
  [ -s "$1" ] || fail "$1 is empty"
  bad=$(grep -cv '^{"t":[0-9]*,"thread":[0-9]*,"call":".*}$' "$1")
  [ "$bad" -eq 0 ] || fail "$1 has $bad lines that are not whole records"
}
# Set by ctest from the build's configuration (address, thread or empty).
asan=false
[ "${QV_SANITIZE:-}" = address ] && asan=true

# A reference run: the built-in scenario, its log and trace.
run ref --root ref-root --trace ref.jsonl --screenshot ref.png --quiet
expect ref 0 "wrote log ref-root/Temp/Quorvelta.log, trace ref.jsonl, screenshot ref.png"
grep -q "nodes: LoadingDock failed, CafeCorner failed, GuestNet success" ref.err ||
  fail "summary lacks the node verdicts: $(cat ref.err)"
grep -q "closing lines shown, then the exit tap, exit code 0" ref.err || fail "summary: $(cat ref.err)"
[ -f ref-root/.quorvelta-sim-device ] || fail "the device's folder is not marked"

# 1. A host limit is never a simulated failure: exit 71, the host's reason,
# the trace ends with sim.host_limit and claims no thread that was not made.
if ! $asan; then  # the sanitizer's shadow memory needs the address space
  (ulimit -v 200000 && exec "$sim" --root lim-root --trace lim.jsonl --quiet) >lim.out 2>lim.err
  rc=$?
  expect lim 71 "host limit: cannot create a thread"
  grep -q "ulimit" lim.err || fail "the host limit is not named"
  whole_trace lim.jsonl
  tail -n 1 lim.jsonl | grep -q '"call":"sim.host_limit"' || fail "trace does not end with sim.host_limit"
  grep -q "Not probed" lim-root/Temp/Quorvelta.log 2>/dev/null && fail "host limit became probe failures"
fi

# 2. A closed pipe stops the echo, not the run: every output is written.
{ "$sim" --root pipe-root --trace pipe.jsonl --screenshot pipe.png 2>pipe.err; echo $? >pipe.rc; } |
  head -n 2 >pipe.out
[ "$(cat pipe.rc)" -eq 0 ] || fail "closed pipe: exit $(cat pipe.rc)"
[ "$(wc -l <pipe.out)" -eq 2 ] || fail "closed pipe: echo"
cmp -s pipe.jsonl ref.jsonl || fail "closed pipe: trace differs from the reference"
cmp -s pipe-root/Temp/Quorvelta.log ref-root/Temp/Quorvelta.log || fail "closed pipe: log differs"
cmp -s pipe.png ref.png || fail "closed pipe: screenshot differs"
grep -q "standard output was closed" pipe.err || fail "closed pipe: not told: $(cat pipe.err)"

# 3. Output places that cannot take the outputs.
: >a-file
run root-file --root a-file --quiet
expect root-file 74 "a-file as the device's folder: Not a directory"
[ -s a-file ] && fail "the file given as root was written"
run root-empty --root "" --quiet
expect root-empty 2 "--root needs a folder"
run root-unmade --root a-file/dev --quiet
expect root-unmade 74 "Not a directory"
if [ "$(id -u)" -ne 0 ]; then  # the superuser writes into read-only folders
  mkdir ro && chmod 555 ro
  run root-ro --root ro --quiet
  expect root-ro 74 "Permission denied"
fi
if [ -c /dev/full ]; then
  run trace-full --root full-root --trace /dev/full --quiet
  expect trace-full 74 "cannot write /dev/full: No space left on device"
  [ -c /dev/full ] || fail "the device /dev/full was removed"
fi
run shot-missing --root shot-root --screenshot no/such/folder.png --quiet
expect shot-missing 74 "cannot write the screenshot no/such/folder.png: No such file or directory"
if ! $asan; then
  (ulimit -f 2 && exec "$sim" --root fsize-root --trace fsize.jsonl --quiet) >fsize.out 2>fsize.err
  rc=$?
  expect fsize 74 "Quorvelta.log: File too large"
  [ -e fsize-root/Temp/Quorvelta.log ] && fail "a partial log is left"
  [ -e fsize.jsonl ] && fail "a partial trace is left"
fi

# 4. A run starts from an empty device folder; a folder of other files is
# refused and left alone unless asked for.
printf '[system]\ntemp_folder = false\n' >notemp.toml
run stale --scenario notemp.toml --root ref-root --quiet
expect stale 0 "wrote nothing"
[ -e ref-root/Temp/Quorvelta.log ] && fail "an earlier run's log is left in a reused device"
mkdir -p own/Temp && echo keep >own/notes.txt && echo old >own/Temp/Quorvelta.log
run own --scenario notemp.toml --root own --quiet
expect own 2 "holds files of its own"
[ "$(cat own/notes.txt)" = keep ] || fail "a refused folder was changed"
run own-reuse --scenario notemp.toml --root own --reuse-root --quiet
expect own-reuse 0 "own/Temp/Quorvelta.log is an earlier run's: this run wrote no log"
[ "$(cat own/notes.txt)" = keep ] || fail "--reuse-root lost a file"

# 5. An output that is an input is refused and the input stays.
cp notemp.toml notemp.orig
for opt in --trace --screenshot; do
  run same "$opt" notemp.toml --scenario notemp.toml --root same-root --quiet
  expect same 2 "$opt notemp.toml is the scenario file"
  cmp -s notemp.toml notemp.orig || fail "$opt overwrote the scenario"
done
run same-log --root ref-root --trace ref-root/Temp/Quorvelta.log --quiet
expect same-log 2 "is the log"
run same-out --root same-root --trace x.out --screenshot ./x.out --quiet
expect same-out 2 "--trace and --screenshot name one file"

# 6. A folder is no scenario.
run folder --scenario . --root folder-root --quiet
expect folder 2 ".: is a folder, not a scenario file"
[ -e folder-root ] && fail "a folder scenario made a device"

# 7. SIGTERM and SIGINT end the trace with a record saying so.
for sig in TERM INT; do
  rm -f sig.jsonl
  "$sim" --root sig-root --pace 1 --trace sig.jsonl --quiet 2>sig.err &
  pid=$!
  # The trace is opened once the signals are watched: sent before, a
  # signal would end the run the default way, however loaded the machine.
  n=0
  while [ ! -e sig.jsonl ] && [ $n -lt 300 ]; do sleep 0.1; n=$((n + 1)); done
  kill -s $sig $pid
  wait $pid
  rc=$?
  want=143; [ $sig = INT ] && want=130
  expect sig $want "interrupted by SIG$sig"
  whole_trace sig.jsonl
  tail -n 1 sig.jsonl | grep -q "\"call\":\"sim.interrupted\",\"signal\":\"SIG$sig\"" ||
    fail "SIG$sig: the trace does not end with sim.interrupted"
done

# 8. The explorer refuses a folder for failed worlds it cannot write to.
run explore-out --explore 1 --runs 1 --explore-out a-file
expect explore-out 74 "--explore-out a-file: not a folder"

# 9. Input sizes and counts are bounded, each with its limit named.
run zero --scenario /dev/zero --root zero-root --quiet
expect zero 2 "larger than a scenario may be (16 MiB)"
awk 'BEGIN { for (i = 0; i < 1025; i++) printf "[[radio.network]]\nssid = \"N%d\"\n", i }' >many.toml
run many --scenario many.toml --root many-root --quiet
expect many 2 "key radio.network: has 1025 tables; a scenario may have at most 1024"
awk 'BEGIN { for (i = 0; i < 20; i++) printf "[[radio.network]]\nbssid = \"00:00:%02x:00:00:00\"\nrepeat = 256\n", i }' >rep.toml
run rep --scenario rep.toml --root rep-root --quiet
expect rep 2 "more than 4096 networks in all"
awk 'BEGIN { printf "[driver]\n"; for (i = 0; i < 257; i++) printf "[[driver.binding]]\nindex = %d\n", i }' >bind.toml
run bind --scenario bind.toml --root bind-root --quiet
expect bind 2 "at most 256"
awk 'BEGIN { printf "[driver]\n"; for (i = 0; i < 256; i++) printf "[[driver.binding]]\nindex = %d\n", i % 255 }' >dupbind.toml
run dupbind --scenario dupbind.toml --root dupbind-root --quiet
expect dupbind 2 "dupbind.toml:513: key driver.binding[255].index: two bindings with index 0"

# 10. Loose values are refused; a byte-order mark is not.
for p in nan inf -inf "" -1 1e999; do
  run pace --pace "$p" --root pace-root
  expect pace 2 "--pace needs a number from 0 to 1000"
done
run pace-eq --pace=0 --root=eq-root --quiet
expect pace-eq 0 "wrote log eq-root/Temp/Quorvelta.log"
run exp --explore -1
expect exp 2 "--explore needs a whole number"
run runs --runs 5 --root runs-root
expect runs 2 "--runs is for --explore"
run twice --root a --root b
expect twice 2 "--root is given twice"
run utf8 --root utf8-root -- "$(printf 'ab\377cde')"
expect utf8 2 "not UTF-8: word 1 has the byte 0xFF at offset 2"
[ -s utf8.out ] && fail "a command line that is not UTF-8 ran"
printf '\357\273\277' >bom.toml && cat "$src/scenarios/frame-clock.toml" >>bom.toml
run bom --scenario bom.toml --root bom-root --quiet
expect bom 0 "exit code 0"
cmp -s bom-root/Temp/Quorvelta.log "$src/scenarios/frame-clock.log" || fail "a scenario with a BOM ran otherwise"

# 11. Worlds that contradict themselves are refused, every error at once;
# a probable slip is warned of with its line.
cat >contra.toml <<'EOF'
[radio]
[[radio.network]]
ssid = "A"
bssid = "00:1a:00:00:00:01"
[[radio.network]]
ssid = "B"
bssid = "00:1a:00:00:00:01"
[[radio.network]]
ssid = "C"
bssid = "ff:ff:ff:ff:ff:fe"
repeat = 3

[ip]
[[ip.adapter]]
name = "WLAGN1"
[[ip.adapter.address]]
address = "10.0.0.2"
mask = "255.0.255.0"
[[ip.adapter]]
name = "WLAGN1"
[[ip.network]]
ssid = "A"
[[ip.network.name]]
name = "host.example"
[[ip.network.name]]
name = "HOST.example"
[[ip.network]]
ssid = "A"
EOF
run contra --scenario contra.toml --root contra-root --quiet
expect contra 2 "contra.toml:7: key radio.network[1].bssid: BSSID 00:1a:00:00:00:01 is also that of radio.network[0]"
for m in "contra.toml:11: key radio.network[2].repeat: runs past ff:ff:ff:ff:ff:ff" \
  "contra.toml:18: key ip.adapter[0].address[0].mask: is not a mask" \
  "contra.toml:20: key ip.adapter[1].name: another [[ip.adapter]] has the name \"WLAGN1\"" \
  "contra.toml:26: key ip.network[0].name[1].name: another [[ip.network.name]] (line 24)" \
  "contra.toml:28: key ip.network[1].ssid: another [[ip.network]] (line 22)"; do
  grep -qF -- "$m" contra.err || fail "contradiction not reported: $m: $(cat contra.err)"
done
[ -e contra-root ] && fail "a refused world made a device"
printf '[radio]\n[[radio.network]]\nssid = "Cafe"\n\n[ip]\n[[ip.network]]\nssid = "Caf"\n' >typo.toml
run typo --scenario typo.toml --root typo-root --quiet
expect typo 0 "typo.toml:7: warning: key ip.network[0].ssid: no [[radio.network]] has the SSID \"Caf\""

# The IP world's own contradictions: a Context of 0, one meant for no
# address, a fixed network without its address or with DHCP's keys (the
# section's loader), ...
cat >ipload.toml <<'EOF'
[ip]
[[ip.adapter]]
name = "WLAGN1"
[[ip.adapter.address]]
address = "10.0.0.4"
context = 0
[[ip.network]]
ssid = "Quay"
context = 7
[[ip.network.renewal]]
result = "refused"
context = 9
[[ip.network]]
ssid = "Dock"
dhcp = false
lease_obtained = 0
[[ip.network.renewal]]
result = "nothing"
EOF
run ipload --scenario ipload.toml --root ipload-root --quiet
expect ipload 2 "ipload.toml:6: key ip.adapter[0].address[0].context: 0 is the Context of an adapter's empty 0.0.0.0 entry"
for m in "ipload.toml:9: key ip.network[0].context: is the Context of the lease, and this network hands out none" \
  "ipload.toml:12: key ip.network[0].renewal[0].context: is for a renewal that gives an address" \
  "ipload.toml:15: key ip.network[1].dhcp: a fixed configuration (dhcp = false) needs its address" \
  "ipload.toml:16: key ip.network[1].lease_obtained: is for DHCP, and the adapter is fixed" \
  "ipload.toml:17: key ip.network[1].renewal: is for DHCP"; do
  grep -qF -- "$m" ipload.err || fail "contradiction not reported: $m: $(cat ipload.err)"
done
# ... and across the world: two addresses held at once with one Context, a
# lease with another adapter's Context, one SSID written two ways (its
# bytes are what counts). The WLAN adapter's own Context may be its lease's.
cat >ipworld.toml <<'EOF'
[driver]
[[driver.binding]]
name = "WLAGN1"
wlan = true
[ip]
[[ip.adapter]]
name = "PCI\\ETHMAN1"
[[ip.adapter.address]]
address = "10.0.0.2"
context = 5
[[ip.adapter.address]]
address = "10.0.0.3"
context = 5
[[ip.adapter]]
name = "WLAGN1"
[[ip.adapter.address]]
address = "10.0.0.4"
context = 6
[[ip.network]]
ssid = "Café"
address = "192.168.1.5"
context = 5
[[ip.network.renewal]]
context = 6
[[ip.network]]
ssid_bytes = [0x43, 0x61, 0x66, 0xE9]
EOF
run ipworld --scenario ipworld.toml --root ipworld-root --quiet
expect ipworld 2 "ipworld.toml:13: key ip.adapter[0].address[1].context: another address (line 10) has the Context 5"
for m in "ipworld.toml:22: key ip.network[0].context: the address of line 10, on another adapter, has the Context 5" \
  "ipworld.toml:26: key ip.network[1].ssid_bytes: another [[ip.network]] (line 20) is the network \"Café\""; do
  grep -qF -- "$m" ipworld.err || fail "contradiction not reported: $m: $(cat ipworld.err)"
done
[ "$(wc -l <ipworld.err)" -eq 3 ] || fail "the WLAN adapter's own Context was refused: $(cat ipworld.err)"
# An SSID beyond ASCII is the same bytes in both sections: no warning; one
# that differs is named as written.
printf '[radio]\n[[radio.network]]\nssid = "Caf\303\251"\n\n[ip]\n[[ip.network]]\nssid = "Caf\303\251"\n' >latin.toml
run latin --scenario latin.toml --root latin-root --quiet
expect latin 0 "exit code 0"
grep -q "warning" latin.err && fail "a matching SSID beyond ASCII was warned of: $(cat latin.err)"
printf '[radio]\n[[radio.network]]\nssid = "Caf\303\251"\n\n[ip]\n[[ip.network]]\nssid = "Caf\303\250"\n' >grave.toml
run grave --scenario grave.toml --root grave-root --quiet
expect grave 0 "grave.toml:7: warning: key ip.network[0].ssid: no [[radio.network]] has the SSID \"Caf$(printf '\303\250')\""

# Conventions: --help and --version.
run help --help
[ $rc -eq 0 ] || fail "--help exit $rc"
for w in "--root DIR" "default: ./device" "71 " "74 " "130" "16 MiB" "docs/scenarios.md" "--reuse-root"; do
  grep -qF -- "$w" help.out || fail "--help lacks '$w'"
done
run version --version
[ $rc -eq 0 ] && grep -q "^quorvelta-sim " version.out || fail "--version"
echo ok
