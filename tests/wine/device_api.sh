#!/bin/bash
# The platform functions the program's own code imports, taken from the
# build, against the table of what the device provides (docs/device-api.md).
#
# Usage: tests/wine/device_api.sh BUILD_DIR   (a folder of make windows)
#
# The names come from the undefined symbols of the back end's object files
# (src/platform/win32, the only code that calls Windows), kept where the
# program's import table names them, and not from the C runtime (msvcrt),
# whose imports the runtime library makes for itself. A function imported
# but not in the table fails, so that a new dependency is looked up in the
# device's documentation before it lands; a row for a function no longer
# imported fails too, so that the table stays the program's.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
TABLE=${QV_DEVICE_API_TABLE:-$ROOT/docs/device-api.md}
EXE=$BUILD/quorvelta.exe
OBJECTS=$BUILD/CMakeFiles/qv_win.dir/src/platform/win32
START=$BUILD/CMakeFiles/quorvelta.dir/src/platform/win32
DEVICE=$BUILD/CMakeFiles/qv_win_device_branch.dir/src/platform/win32
case "$(file -b "$EXE" 2>/dev/null)" in
  PE32+*) TRIPLE=x86_64-w64-mingw32 ;;
  PE32*) TRIPLE=i686-w64-mingw32 ;;
  *) echo "device api: $EXE is missing or no Windows program" >&2; exit 1 ;;
esac
# The device branch is compiled in the 32-bit build only (the device's word
# size; CMakeLists.txt).
branch=false
[ "$TRIPLE" = i686-w64-mingw32 ] && branch=true
dirs=("$OBJECTS" "$START")
$branch && dirs+=("$DEVICE")
for d in "${dirs[@]}"; do
  ls "$d"/*.obj >/dev/null 2>&1 || { echo "device api: no objects in $d" >&2; exit 1; }
done
[ -f "$TABLE" ] || { echo "device api: no table $TABLE" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Undefined symbols, undecorated: __imp_ (a DLL import), the x86-32 leading
# underscore and its @bytes suffix.
undecorate() {
  sed -e 's/^__imp_//' -e 's/@[0-9]*$//' |
    { if [ "$TRIPLE" = i686-w64-mingw32 ]; then sed 's/^_//'; else cat; fi; } | sort -u
}
"$TRIPLE-nm" -u "$OBJECTS"/*.obj "$START"/*.obj | awk 'NF == 2 { print $2 }' | undecorate >"$work/referenced"

# DLL and function of every import of the program.
"$TRIPLE-objdump" -p "$EXE" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  dll != "" && /^\t[0-9a-f]+\t/ { print $NF "\t" dll }' | sort -u >"$work/imports"

# The device branch of the back end is compiled but never linked: its
# imports are its DLL import symbols (__imp_), the C runtime's aside.
if $branch; then
  "$TRIPLE-nm" -u "$DEVICE"/*.obj | awk 'NF == 2 && $2 ~ /^__imp_/ { print $2 }' | undecorate >"$work/device"
else
  : >"$work/device"
fi
awk -F'\t' '$2 == "msvcrt.dll" { print $1 }' "$work/imports" | sort -u >"$work/runtime"

# The program's own imports: referenced by the back end and imported from a
# DLL other than the C runtime's, and those of the device branch.
{
  join -t "$(printf '\t')" "$work/referenced" "$work/imports" |
    awk -F'\t' '$2 != "msvcrt.dll" { print $1 }'
  comm -23 "$work/device" "$work/runtime"
} | sort -u >"$work/ours"

# The table's rows: | `Function` | library | version | page | differences |
awk -F'|' '/^\| `[A-Za-z_][A-Za-z0-9_]*` \|/ {
    name = $2; gsub(/[ `]/, "", name)
    ok = 1
    for (i = 3; i <= 5; i++) { f = $i; gsub(/^ +| +$/, "", f); if (f == "") ok = 0 }
    print name (ok ? "" : " INCOMPLETE") }' "$TABLE" | sort >"$work/table"
incomplete=$(grep ' INCOMPLETE$' "$work/table" | cut -d' ' -f1)
sed -i 's/ INCOMPLETE$//' "$work/table"
dupes=$(uniq -d "$work/table")

missing=$(comm -23 "$work/ours" "$work/table")
# Rows no longer imported: only where the device branch is in the build,
# which may import what the desktop branch does not.
stale=""
$branch && stale=$(comm -13 "$work/ours" "$work/table")
n=$(wc -l <"$work/ours")
status=0
# report HEADING LIST: the heading and the list, indented, when the list is not empty.
report() {
  [ -n "$2" ] || return 0
  echo "device api: $1"
  echo "$2" | sed 's/^/    /'
  status=1
}
report "imported but not in $(basename "$TABLE") (look each up in the device's documentation):" "$missing"
report "in the table but no longer imported:" "$stale"
report "rows without library, version or page:" "$incomplete"
report "rows given twice:" "$dupes"
[ "$n" -gt 0 ] || { echo "device api: no imports found at all" >&2; status=1; }
echo "device api: $TRIPLE: $n platform functions imported, $([ $status -eq 0 ] && echo all in the table || echo see above)"
exit $status
