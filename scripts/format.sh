#!/bin/sh
# Every C++ file of the repository against .clang-format.
# Usage: scripts/format.sh check   lists the files that differ, exit 1 if any
#        scripts/format.sh fix     rewrites them in place
# The files were formatted with clang-format 14 (Debian 12's). Another major
# version formats some constructs differently, so with one the check says it
# is skipped instead of failing every file; `fix` refuses to run.
set -e
cd "$(dirname "$0")/.."
mode=${1:-check}
want=14
cf=""
for c in clang-format-$want clang-format; do
  if command -v "$c" >/dev/null 2>&1 && "$c" --version | grep -q "version $want\."; then
    cf=$c
    break
  fi
done
if [ -z "$cf" ]; then
  if command -v clang-format >/dev/null 2>&1 && [ "$mode" = check ]; then
    echo "format: skipped: $(clang-format --version | head -1) is not version $want" >&2
    exit 0
  fi
  echo "format: clang-format $want not found (scripts/install-deps.sh core installs clang-format)" >&2
  exit 2
fi
files=$(git ls-files '*.cpp' '*.h')
case "$mode" in
  check)
    # One clang-format for every file (one each took a minute on a busy
    # machine); it names each file that differs in its findings.
    bad=""
    if ! out=$("$cf" --dry-run -Werror $files 2>&1); then
      bad=$(echo "$out" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error:.*/\1/p' | sort -u)
      [ -n "$bad" ] || bad="(clang-format failed: $out)"
    fi
    if [ -n "$bad" ]; then
      echo "format: these files do not follow .clang-format (scripts/format.sh fix):" >&2
      for f in $bad; do echo "  $f" >&2; done
      exit 1
    fi
    echo "format: $(echo $files | wc -w) files follow .clang-format"
    ;;
  fix) "$cf" -i $files ;;
  *) echo "usage: $0 check|fix" >&2; exit 2 ;;
esac
