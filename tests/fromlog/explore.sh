#!/bin/sh
# The from-log round trip over explorer worlds: runs worlds FIRST..LAST of
# SEED, keeps each log, and checks them with roundtrip.sh.
#   from_log_explore.sh SIM WORKDIR SEED FIRST LAST
sim=$1; work=$2; seed=$3; first=$4; last=$5
here=$(dirname "$0")
mkdir -p "$work/logs"
k=$first
while [ "$k" -le "$last" ]; do
  d="$work/run-$k"; rm -rf "$d"; mkdir -p "$d"
  "$sim" --explore "$seed" --world "$k" >"$d/world.toml"
  timeout 60 "$sim" --quiet --scenario "$d/world.toml" --root "$d/device" >/dev/null 2>&1
  [ -f "$d/device/Temp/Quorvelta.log" ] && cp "$d/device/Temp/Quorvelta.log" "$work/logs/world-$seed-$k.log"
  rm -rf "$d/device"
  k=$((k + 1))
done
set -- "$work"/logs/*.log
[ -f "$1" ] || { echo "no explorer world wrote a log"; exit 1; }
exec "$here/roundtrip.sh" "$sim" "$work/rt" "$@"
