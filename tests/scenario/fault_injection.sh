#!/bin/sh
# Every platform failure the program handles, injected once each. For each
# scenario in the table below this checks that
#   - the failure was injected (its fragment is in the trace),
#   - the program exits with the documented code,
#   - the console shows the failure's line (whole line, exactly),
#   - nothing is lost: the saved log is the console text, byte for byte
#     apart from the CR of each line end; where the process ends on the
#     failure itself (exit 1), that line is the console's last;
#   - no log is written where none can be,
#   - and (fault-*.toml) every fault switched on was reached.
# Every scenarios/fault-*.toml must be in the table.
# Usage: sh fault_injection.sh SIM WORKDIR
set -u
sim=$1
work=$2
scenarios=$(cd "$(dirname "$0")/../../scenarios" && pwd)
rm -rf "$work"
mkdir -p "$work"

# scenario | exit | log (yes/no) | trace fragment | console line ("(empty)": no console text at all)
table() {
  cat <<'EOF'
frame-no-device|0|yes|"call":"CreateFile","name":"UIO1:","flags":"0x40000080","ok":false|Not found.
nic-after-failed-query|0|yes|"code":"QUERY_BINDING","in":20,"out":1024,"binding":0,"ok":false|Found : WLAGN1
fault-oid-adapter-test|0|yes|"oid":"0x0D01011A","name":"WLAGN1","in":4096,"out":4096,"ok":false,"refused":true|Not found.
radio-scan-refused|0|yes|"oid":"0x0D01011A","name":"WLAGN1","in":4096,"out":4096,"ok":false,"refused":true|-Scanning WLANs .... 1 APs found:
radio-list-refused|0|yes|"oid":"0x0D010217","name":"WLAGN1","in":4096,"out":4096,"ok":false|No networks available. Exiting...
radio-not-associated|0|yes|"oid":"0x0D010101","name":"WLAGN1","in":128,"out":128,"ok":false|-Current state.... DISSASSOCIATED
fault-oid-ssid|0|yes|"oid":"0x0D010102","name":"WLAGN1","in":128,"out":128,"ok":false,"ssid_length":6,"ssid":"Harbor","refused":true|     Harbor ........: Association failed.
fault-oid-disassociate|0|yes|"oid":"0x0D010115","name":"WLAGN1","in":1024,"out":1024,"ok":false,"refused":true|     Harbor .Associated in  0s 
fault-oid-infrastructure-mode|0|yes|"oid":"0x0D010108","name":"WLAGN1","in":128,"out":128,"ok":false,"value":1,"refused":true|     Harbor .Associated in  0s 
fault-oid-authentication-mode|0|yes|"oid":"0x0D010118","name":"WLAGN1","in":128,"out":128,"ok":false,"value":0,"refused":true|     Harbor .Associated in  0s 
fault-adapters-info|0|yes|"call":"GetAdaptersInfo","size":704,"answer":31|Cannot read the IP adapter list, ERROR 31
fault-network-params|0|yes|"call":"GetNetworkParams","size":584,"answer":31|DNS Servers:       
fault-file-time|0|yes|"call":"FileTimeToSystemTime","n":1,"ok":false|   Lease Obtained: 1/01/01 0:00:00 local
fault-allocation-adapters|0|yes|"call":"malloc","n":1,"bytes":704,"ok":false|Cannot read the IP adapter list, ERROR 8
fault-allocation-adapters-resize|0|yes|"call":"malloc","n":2,"bytes":1408,"ok":false|Cannot read the IP adapter list, ERROR 8
fault-icmp-create|0|yes|"call":"IcmpCreateFile","ok":false|-Testing Internet connection....Error.
fault-target-conversion|0|yes|"call":"WideCharToMultiByte","n":1,"chars":-1,"ok":false|-Testing Internet connection....Error.
fault-echo-refused|0|yes|"call":"IcmpSendEcho","to":"1.1.1.1","replies":0,"refused":true,"error":11050|-Testing Internet connection....Error.
fault-host-by-name|0|yes|"call":"gethostbyname","name":"www.google.com","found":false,"error":11002|-Testing DNS resolution....ERROR
fault-host-by-addr|0|yes|"call":"gethostbyaddr","address":"1.1.1.1","found":false,"error":11002|-Testing Internet connection....OK:   35ms
node-dns-empty-host-entry|0|yes|"call":"gethostbyname","name":"www.google.com","found":true|-Testing DNS resolution....ERROR
fault-host-entry-length|0|yes|"call":"gethostbyname","name":"www.google.com","found":true,"length":16|-Testing DNS resolution....ERROR
fault-adapter-index|0|yes|"call":"GetAdapterIndex","name":"WLAGN1","answer":1168|Index Error
recovery-release-errors|0|yes|"call":"IpReleaseAddress","index":2,"answer":1231|     Releasing... Release Error:EThe network location cannot be reached.-1231
fault-release-no-message|0|yes|"call":"FormatMessage","code":5,"found":false|     Releasing... Release Error:     Renewing ........Renew Error
recovery-release-errors|0|yes|"call":"IpRenewAddress","index":2,"result":"refused","poll":1,"answer":1231|     Renewing Renew Error
fault-add-address|0|yes|"call":"AddIPAddress","address":"192.168.0.133","mask":"255.255.0.0","if":2,"context":0,"answer":31|     Error adding IP address.
fault-delete-address|0|yes|"call":"DeleteIPAddress","context":256,"answer":31|     IP Address Deletetion failed.
fault-thread-start|0|yes|"call":"CreateThread","stack":65536,"ok":false|     Not probed: 1 addresses
fault-max-threads|0|yes|"call":"CreateThread","stack":65536,"ok":false|     Not probed: 200 addresses
recovery-sweep-stacks-ce5|0|yes|"call":"CreateThread","stack":65536,"ok":false,"reserve":65536,"error":8,"why":"address space"|     Not probed: 14 addresses
fault-allocation-probe-target|0|yes|"call":"malloc","n":65,"bytes":36,"ok":false|     Not probed: 1 addresses
recovery-route-table-fails|1|no|"call":"GetIpForwardTable","size":60,"rows":1,"answer":87|GetIpForwardTable Failed, ERROR 87
fault-allocation-route-table|1|no|"call":"malloc","n":1024,"bytes":60,"ok":false|Malloc failed, Out of Memory!
recovery-route-delete-fails|1|no|"call":"DeleteIpForwardEntry","destination":"0.0.0.0","next_hop":"192.168.9.1","if":9,"answer":31|Could not delete old gateway
ui-worker-not-started|0|yes|"call":"CreateThread","stack":0,"ok":false|(empty)
ui-register-fails|0|no|"call":"RegisterClass","class":"Quorvelta","style":3,"ok":false|(empty)
ui-create-fails|0|no|"call":"CreateWindowEx","exStyle":"0x00000080","class":"Quorvelta","title":"Quorvelta","style":"0x00800000","x":10,"y":40,"width":220,"height":240,"parent":false,"menu":false,"ok":false|(empty)
fault-get-message|0|no|"call":"GetMessage","answer":-1|-Scanning WLANs .... 
ui-no-temp-folder|0|no|"call":"fopen","path":"\\Temp\\Quorvelta.log","mode":"w","ok":false|Tap screen to exit. 
fault-log-open|0|no|"call":"fopen","path":"\\Temp\\Quorvelta.log","mode":"w","ok":false|Tap screen to exit. 
fault-log-conversion|0|yes|"call":"WideCharToMultiByte","n":1,"chars":321,"ok":false|-Current state.... DISSASSOCIATED
EOF
}

failures=0
fail() {
  echo "FAIL $name: $*"
  failures=$((failures + 1))
}

# Every fault scenario is in the table.
for f in "$scenarios"/fault-*.toml; do
  name=$(basename "$f" .toml)
  table | cut -d'|' -f1 | grep -qx "$name" || fail "scenarios/$name.toml is not in the table"
done

i=0
table >"$work/table"
while IFS='|' read -r name code log fragment line; do
  i=$((i + 1))
  run="$work/$i-$name"
  mkdir -p "$run"
  "$sim" --scenario "$scenarios/$name.toml" --root "$run/root" --trace "$run/trace.jsonl" \
    >"$run/console" 2>"$run/stderr" </dev/null
  rc=$?
  [ "$rc" = "$code" ] || fail "exit code $rc, expected $code"
  grep -qF -- "$fragment" "$run/trace.jsonl" || fail "the failure was not injected: no $fragment"
  if [ "$line" = "(empty)" ]; then
    [ -s "$run/console" ] && fail "the console is not empty"
  else
    grep -qxF -- "$line" "$run/console" || fail "no console line \"$line\""
  fi
  saved="$run/root/Temp/Quorvelta.log"
  if [ "$log" = yes ]; then
    if [ ! -f "$saved" ]; then
      fail "no log written"
    else
      tr -d '\r' <"$saved" >"$run/log-text"
      cmp -s "$run/log-text" "$run/console" || fail "the log is not the console text"
    fi
  else
    [ -f "$saved" ] && fail "a log was written"
  fi
  # Every fault a fault scenario switches on fires: the trace's end record
  # lists none as unreached.
  case "$name" in
    fault-*) grep -q '"call":"sim.end".*,"unreached":\[\]}$' "$run/trace.jsonl" ||
      fail "a fault was switched on but never reached: $(grep '"sim.end"' "$run/trace.jsonl")" ;;
  esac
  # The process ended on the failure itself: nothing after its line, and
  # the line whole.
  if [ "$code" = 1 ]; then
    [ "$(tail -n 1 "$run/console")" = "$line" ] || fail "\"$line\" is not the console's last line"
  fi
done <"$work/table"

echo "$i injected failures, $failures problems"
[ "$failures" -eq 0 ]
