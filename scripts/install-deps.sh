#!/bin/sh
# Installs the Debian packages the build and the tests need, if any are missing.
# Usage: scripts/install-deps.sh [core|bench|windows|browser|all]
# No package name is tied to one Debian release: the sanitizer and fuzzer
# runtime of clang is found from the clang the machine has (or would get).
set -e
what=${1:-core}
core="cmake make g++ clang clang-format llvm libtomlplusplus-dev libgtest-dev libgmock-dev libbenchmark-dev libboost-context-dev libfreetype-dev libpng-dev fonts-dejavu-core pkg-config"
# make bench: Google Benchmark (in core); runs are timed by our own qv-run-timer.
bench=""
# Both Windows targets: the 64-bit and the 32-bit compiler, and a Wine for
# each (wine32 is an i386 package: the architecture is added first).
windows="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine32:i386 xvfb xdotool imagemagick x11-utils file iproute2 util-linux"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

# The package with clang's runtime libraries (libFuzzer, the sanitizers) for
# the clang version installed, or else the one the clang package depends on:
# libclang-rt-N-dev where the release has it, libclang-common-N-dev before.
clang_runtime() {
  v=$(clang --version 2>/dev/null | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
  [ -n "$v" ] || v=$(apt-cache depends clang 2>/dev/null |
    sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n 1)
  [ -n "$v" ] || return 0
  for p in "libclang-rt-$v-dev" "libclang-common-$v-dev"; do
    if apt-cache show "$p" >/dev/null 2>&1; then
      echo "$p"
      return 0
    fi
  done
}

# The browser the run report is tested in: Debian's Chromium, "chromium" on
# every Debian release since 9 ("chromium-browser" before and on Ubuntu).
# Any Chromium already on PATH will do: the test looks for all three names.
browser="python3"
if ! command -v chromium >/dev/null 2>&1 && ! command -v chromium-browser >/dev/null 2>&1 &&
   ! command -v google-chrome >/dev/null 2>&1; then
  if apt-cache show chromium >/dev/null 2>&1; then
    browser="$browser chromium"
  else
    browser="$browser chromium-browser"
  fi
fi
case "$what" in
  core) pkgs="$core" ;;
  bench) pkgs="$core $bench" ;;
  windows) pkgs="$windows" ;;
  browser) pkgs="$browser" ;;
  all) pkgs="$core $bench $windows $browser" ;;
  *) echo "usage: $0 [core|bench|windows|browser|all]" >&2; exit 2 ;;
esac
case "$what" in
  windows|browser) ;;
  *)
    rt=$(clang_runtime)
    if [ -z "$rt" ]; then
      # A fresh machine may not have the package lists yet.
      $SUDO apt-get update -qq
      rt=$(clang_runtime)
    fi
    [ -n "$rt" ] || { echo "install-deps: no package with clang's runtime libraries found" >&2; exit 1; }
    pkgs="$pkgs $rt" ;;
esac
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
case "$missing" in
  *:i386*)
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386 ;;
esac
# A mirror caught mid-sync fails the update for one index and keeps the old
# lists for it; the install then says whether what is needed can be had.
$SUDO apt-get update -qq || echo "install-deps: some package lists could not be updated" >&2
install() { $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
install $missing && exit 0
# The 32-bit Wine comes from the i386 archive, whose lists a mirror may
# serve inconsistent or not at all. Without it the rest still builds and
# runs; tests/wine/run.sh then skips the 32-bit leg and says why.
rest=""
for p in $missing; do
  case "$p" in *:i386) ;; *) rest="$rest $p" ;; esac
done
[ "$rest" != "$missing" ] || exit 1
echo "install-deps: the i386 packages could not be installed; installing the rest" >&2
[ -z "$rest" ] || install $rest
