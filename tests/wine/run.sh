#!/bin/bash
# Smoke tests of the Windows program under Wine on a private X server,
# driving it from outside: X events for the stylus, screenshots for the
# screen, qvwin (beside the program) for what only Windows can tell.
#
# Usage: tests/wine/run.sh BUILD_DIR
#   BUILD_DIR holds quorvelta.exe, tests/wine/qvwin.exe and
#   tests/wine/conformance.exe (make windows), of one architecture.
# The Wine prefix lives in BUILD_DIR/wine-prefix and is made once; what the
# tests leave (screenshots, logs) goes to BUILD_DIR/wine-tests.
#
# Where a scenario of the simulated handheld describes the same device, its
# expected log is what the program must write here too; only the clock line
# differs, and it is checked against the host's clock instead.
set -u
# Nothing here reads input; Wine must not find a terminal to ask on either.
exec </dev/null

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
EXE=$BUILD/quorvelta.exe
QVWIN=$BUILD/tests/wine/qvwin.exe
WORK=$BUILD/wine-tests

[ -f "$EXE" ] || { echo "wine tests: missing $EXE" >&2; exit 1; }
# The Wine of the program's kind: a PE32+ program runs under wine64 in a
# 64-bit prefix, a PE32 one under the 32-bit wine in a 32-bit prefix (so that
# nothing of the 64-bit side can stand in for what the 32-bit program does).
case "$(file -b "$EXE")" in
  PE32+*)
    WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
    export WINEARCH=win64 ;;
  PE32*)
    WINE=/usr/lib/wine/wine
    export WINEARCH=win32 ;;
  *) echo "wine tests: $EXE is no Windows program" >&2; exit 1 ;;
esac
# The 32-bit Wine is itself a 32-bit Linux program: a kernel that runs none
# (IA-32 emulation off, as in some virtual machines) answers "Exec format
# error". That is the host's lack, not a fault of the program: said plainly,
# and the 32-bit leg is skipped rather than failed; the 32-bit build and its
# import check (device_api.sh) still run.
if [ "$WINEARCH" = win32 ] && [ ! -e "$WINE" ]; then
  # scripts/install-deps.sh goes on without the i386 packages when the
  # mirror cannot give them, and has said so.
  echo "wine tests: SKIPPED for $EXE: no 32-bit Wine is installed ($WINE)" >&2
  exit 0
fi
if [ "$WINEARCH" = win32 ]; then
  # (A shell that cannot exec it reads the binary as a script instead, so
  # the answer is checked, not the exit code.)
  if ! "$WINE" --version 2>/dev/null | grep -q '^wine-' &&
    file -b "$(readlink -f "$WINE")" | grep -q '^ELF 32-bit'; then
    echo "wine tests: SKIPPED for $EXE: this host cannot execute 32-bit programs ($WINE)" >&2
    exit 0
  fi
fi
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
CONFORMANCE=$BUILD/tests/wine/conformance.exe

export WINEPREFIX=$BUILD/wine-prefix
export WINEDEBUG=-all
# No installer prompts for .NET / HTML engines, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The clock line is compared with the host's clock: one zone for both.
export TZ=UTC
unset DISPLAY

DRIVE_C=$WINEPREFIX/drive_c
NAME='^Quorvelta$'
failures=0
XVFB_PID=
PROGRAM_PID=

for f in "$EXE" "$QVWIN" "$CONFORMANCE" "$WINE" "$WINESERVER"; do
  [ -x "$f" ] || { echo "wine tests: missing $f" >&2; exit 1; }
done

cleanup() {
  [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null
  [ -d "$WINEPREFIX" ] && timeout 20 "$WINESERVER" -k 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "    FAIL: $*"
  return 1
}

# ---- set-up ------------------------------------------------------------------

rm -rf "$WORK"
mkdir -p "$WORK"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine tests: making the Wine prefix (once)"
  timeout 240 "$WINE" wineboot -i >"$WORK/wineboot.out" 2>&1 </dev/null ||
    { echo "wine tests: wineboot failed" >&2; cat "$WORK/wineboot.out" >&2; exit 1; }
  timeout 60 "$WINESERVER" -w
fi

# A display number of the server's own choosing, so parallel runs never meet.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.out" 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do
  [ -s "$WORK/display" ] && break
  sleep 0.1
done
[ -s "$WORK/display" ] || { echo "wine tests: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$WORK/display")"

# One server for the whole run instead of one per start.
"$WINESERVER" -p

# ---- helpers -----------------------------------------------------------------

# The Windows path of a host file (drive Z: is the host's root).
winPath() { printf 'Z:%s' "$1" | tr / '\\'; }

# start PROGRAM [ARGS...]: starts it in C:\, where "\Temp" means C:\Temp.
start() {
  (cd "$DRIVE_C" && exec timeout 120 "$WINE" "$@" </dev/null >>"$WORK/program.out" 2>&1) &
  PROGRAM_PID=$!
}

# Waits for the program's process to end; sets EXIT_CODE.
waitExit() {
  local i
  for i in $(seq 150); do
    kill -0 "$PROGRAM_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$PROGRAM_PID" 2>/dev/null; then
    kill "$PROGRAM_PID"
    wait "$PROGRAM_PID" 2>/dev/null
    PROGRAM_PID=
    fail "the program did not end within 15 s"
    return 1
  fi
  wait "$PROGRAM_PID"
  EXIT_CODE=$?
  PROGRAM_PID=
}

# Waits for exactly one X window with the title; sets WID.
waitWindow() {
  local i ids
  for i in $(seq 200); do
    ids=$(xdotool search --name "$NAME" 2>/dev/null)
    [ -n "$ids" ] && break
    kill -0 "$PROGRAM_PID" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$ids" ] || { fail "no window titled Quorvelta appeared"; return 1; }
  [ "$(echo "$ids" | wc -l)" -eq 1 ] || { fail "more than one window: $ids"; return 1; }
  WID=$ids
}

# Classifies the pixels of a screenshot of the window (window coordinates:
# the 1-pixel frame puts client (0,0) at (1,1) and leaves 218 x 238 of the
# 220 x 240 client rectangle visible). Prints: green pixels in the console
# area, black pixels there, its size, red pixels in what shows of the up box
# (8 x 10) and of the down box (8 x 9), red pixels anywhere else.
pixels() {
  convert "$1" -depth 8 txt:- | awk -F'[,:() ]+' '
    NR == 1 { next }
    {
      x = $1; y = $2; r = $3; g = $4; b = $5
      red = r >= 200 && g < 60 && b < 60
      upBox = x >= 211 && x <= 218 && y >= 1 && y <= 10
      downBox = x >= 211 && x <= 218 && y >= 230 && y <= 238
      if (upBox) up += red
      else if (downBox) down += red
      else other += red
      if (x >= 1 && x <= 209 && y >= 1 && y <= 238) {
        area++
        if (g >= 128 && r < 100 && b < 100) green++
        if (r < 40 && g < 40 && b < 40) black++
      }
    }
    END { printf "%d %d %d %d %d %d\n", green, black, area, up, down, other }'
}

shot() { import -window "$WID" "$1" 2>/dev/null; }

# The run under Wine ends at once (no driver); it is over when the console
# stops changing: the same amount of green in three screenshots in a row.
waitIdle() {
  local i last= same=0 p
  for i in $(seq 40); do
    shot "$WORK/idle.png" || { sleep 0.2; continue; }
    p=$(pixels "$WORK/idle.png" | cut -d' ' -f1)
    if [ "$p" -gt 0 ] && [ "$p" = "$last" ]; then
      same=$((same + 1))
      [ "$same" -ge 2 ] && return 0
    else
      same=0
    fi
    last=$p
    sleep 0.15
  done
  fail "the console never settled"
}

# A stylus tap in the middle of the window, away from both boxes.
exitTap() { xdotool mousemove --window "$WID" 110 120 click 1; }

# checkLog LOG EXPECTED T0 T1: LOG equals EXPECTED byte for byte (so CR LF
# line ends too) apart from the clock line, which has the clock line's form
# and holds a local time between T0 and T1 (host seconds).
checkLog() {
  local log=$1 expected=$2 t0=$3 t1=$4 clock t
  [ -f "$log" ] || { fail "no log file"; return 1; }
  clock=$(sed -n 3p "$log")
  # month/day/year hour:minute:second local, GMT-hour:minute GMT, then a
  # blank; GMT minutes are the local minutes.
  echo "$clock" | grep -Eq '^([1-9]|1[0-2])/(0[1-9]|[12][0-9]|3[01])/[0-9]{2} ([0-9]|1[0-9]|2[0-3]):([0-5][0-9]):[0-5][0-9] local, ([0-9]|1[0-9]|2[0-3]):\4 GMT '$'\r''$' ||
    { fail "clock line has the wrong form: $(echo "$clock" | cat -A)"; return 1; }
  t=$(echo "$clock" | awk -F'[/ :]' '{ printf "20%s-%s-%s %s:%s:%s", $3, $1, $2, $4, $5, $6 }')
  t=$(date -d "$t" +%s) || { fail "clock line is no date: $clock"; return 1; }
  [ "$t" -ge $((t0 - 1)) ] && [ "$t" -le $((t1 + 1)) ] ||
    { fail "clock line $clock is not the time of the run"; return 1; }
  awk -v c="$clock" 'NR == 3 { print c; next } { print }' "$expected" >"$WORK/expected.log"
  # awk wrote the lines with LF; the expected file already ends each in CR.
  cmp -s "$log" "$WORK/expected.log" ||
    { fail "log differs from $expected:"; diff <(cat -A "$WORK/expected.log") <(cat -A "$log") | sed 's/^/      /'; return 1; }
}

check() { # check WHAT ACTUAL EXPECTED
  [ "$2" = "$3" ] || fail "$1: got '$2', want '$3'"
}

# ---- the cases ---------------------------------------------------------------

# The window, the screen, a second start, the exit tap and its log.
caseRunAndExitTap() {
  rm -rf "$DRIVE_C/Temp" && mkdir "$DRIVE_C/Temp"
  local t0 t1 info geom p second
  t0=$(date +%s)
  start "$EXE"
  waitWindow || return 1

  geom=$(xdotool getwindowgeometry --shell "$WID" | grep -E '^(WIDTH|HEIGHT)=' | tr '\n' ' ')
  check "X window size" "$geom" "WIDTH=220 HEIGHT=240 " || return 1
  info=$(timeout 30 "$WINE" "$QVWIN" find 2>/dev/null | tr -d '\r')
  echo "$info" >"$WORK/find.txt"
  for want in class=Quorvelta title=Quorvelta size=220x240 toplevel=1 visible=1 caption=0 windows=1; do
    echo "$info" | grep -qx "$want" || { fail "window: want $want, have: $(echo $info)"; return 1; }
  done

  waitIdle || return 1
  shot "$WORK/screen.png" || { fail "no screenshot"; return 1; }
  read -r green black area up down other <<<"$(pixels "$WORK/screen.png")"
  [ "$green" -ge 300 ] || { fail "too little green text ($green pixels)"; return 1; }
  [ $((black * 10)) -ge $((area * 7)) ] || { fail "console not black ($black of $area)"; return 1; }
  [ "$up" -eq 80 ] && [ "$down" -eq 72 ] || { fail "red boxes: up $up of 80, down $down of 72"; return 1; }
  [ "$other" -eq 0 ] || { fail "$other red pixels outside the boxes"; return 1; }

  # Someone else holds the foreground; a second start must hand it back to
  # the first window and end at once, making no window of its own.
  second=$(timeout 60 "$WINE" "$QVWIN" second "$(winPath "$EXE")" 2>/dev/null | tr -d '\r')
  echo "$second" >"$WORK/second.txt"
  for want in before=own exit=0 foreground=program windows=1; do
    echo "$second" | grep -qx "$want" || { fail "second start: want $want, have: $(echo $second)"; return 1; }
  done
  [ "$(xdotool search --name "$NAME" | wc -l)" -eq 1 ] || { fail "a second window appeared"; return 1; }

  exitTap
  waitExit || return 1
  t1=$(date +%s)
  check "exit code" "$EXIT_CODE" 0 || return 1
  cp "$DRIVE_C/Temp/Quorvelta.log" "$WORK/run.log" 2>/dev/null
  checkLog "$DRIVE_C/Temp/Quorvelta.log" "$ROOT/scenarios/frame-no-device.log" "$t0" "$t1"
}

# WM_CLOSE ends the program without a log.
caseCloseWritesNoLog() {
  rm -rf "$DRIVE_C/Temp" && mkdir "$DRIVE_C/Temp"
  start "$EXE"
  waitWindow || return 1
  waitIdle || return 1
  timeout 30 "$WINE" "$QVWIN" close >/dev/null 2>&1 || { fail "could not post WM_CLOSE"; return 1; }
  waitExit || return 1
  check "exit code" "$EXIT_CODE" 0 || return 1
  [ -z "$(ls -A "$DRIVE_C/Temp")" ] || fail "WM_CLOSE left files in C:\\Temp: $(ls "$DRIVE_C/Temp")"
}

# Without C:\Temp the log cannot be written, and the exit tap still ends
# the program.
caseExitTapWithoutTemp() {
  rm -rf "$DRIVE_C/Temp"
  start "$EXE"
  waitWindow || return 1
  waitIdle || return 1
  exitTap
  waitExit || return 1
  check "exit code" "$EXIT_CODE" 0 || return 1
  [ ! -e "$DRIVE_C/Temp" ] || fail "C:\\Temp appeared"
}

# The command line reaches the run without the program's own name. The
# Wine loader always quotes the name (the other cases: no filter heading);
# here it is unquoted and followed by two blanks, on the same device as the
# frame-filter-long scenario.
caseCommandLine() {
  local scenario=$ROOT/scenarios/frame-filter-long args t0 t1
  args=$(sed -n 's/^command_line = "\(.*\)"$/\1/p' "$scenario.toml")
  [ -n "$args" ] || { fail "no command_line in $scenario.toml"; return 1; }
  rm -rf "$DRIVE_C/Temp" && mkdir "$DRIVE_C/Temp"
  t0=$(date +%s)
  start "$QVWIN" run "$(winPath "$EXE")  $args"
  waitWindow || return 1
  waitIdle || return 1
  exitTap
  waitExit || return 1
  t1=$(date +%s)
  check "exit code" "$EXIT_CODE" 0 || return 1
  checkLog "$DRIVE_C/Temp/Quorvelta.log" "$scenario.log" "$t0" "$t1"
}

# The back end's conformance program, in a network namespace of its own
# whose interfaces are loopback and a veth pair with both ends inside, so
# that nothing it sends can leave the machine. Every Wine process of the
# case (its own wineserver, the network driver host) starts inside it.
caseConformance() {
  local out=$WORK/conformance.txt
  timeout 20 "$WINESERVER" -k 2>/dev/null
  timeout 180 unshare --net sh -c '
    ip link set lo up &&
    ip link add qv0 type veth peer name qv1 &&
    ip addr add 192.0.2.5/24 dev qv0 && ip link set qv0 up && ip link set qv1 up ||
      { echo "no network namespace of our own: $(id -un)"; exit 90; }
    cd "$1" && "$2" "$3" alpha beta; rc=$?
    timeout 20 "$4" -k 2>/dev/null
    exit $rc' sh "$DRIVE_C" "$WINE" "$CONFORMANCE" "$WINESERVER" >"$out" 2>&1
  local rc=$?
  "$WINESERVER" -p
  tr -d '\r' <"$out" | grep -E '^(FAIL|info|conformance:)' | sed 's/^/      /'
  [ "$rc" -eq 0 ] || fail "conformance program: exit $rc (all of it in $out)"
}

# ---- run ---------------------------------------------------------------------

started=$(date +%s)
for c in caseRunAndExitTap caseCloseWritesNoLog caseExitTapWithoutTemp caseCommandLine caseConformance; do
  echo "  wine: $c"
  if ! $c; then
    failures=$((failures + 1))
    # Whatever is left of a failed case must not meet the next one: a
    # window still open would make the next start a second start.
    [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null && wait "$PROGRAM_PID" 2>/dev/null
    PROGRAM_PID=
    timeout 20 "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -p
  fi
done
echo "wine tests: $failures failed, $(($(date +%s) - started)) s (artifacts in $WORK)"
[ "$failures" -eq 0 ]
