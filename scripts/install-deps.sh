#!/bin/sh
# Installs the Debian packages the build and the tests need, if any are missing.
# Usage: scripts/install-deps.sh [core|windows|browser|all]
set -e
what=${1:-core}
core="cmake make g++ clang libclang-rt-14-dev llvm libtomlplusplus-dev libgtest-dev libgmock-dev libbenchmark-dev libfreetype-dev libpng-dev fonts-dejavu-core pkg-config"
# Both Windows targets: the 64-bit and the 32-bit compiler, and a Wine for
# each (wine32 is an i386 package: the architecture is added first).
windows="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine32:i386 xvfb xdotool imagemagick x11-utils file iproute2 util-linux"
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
  windows) pkgs="$windows" ;;
  browser) pkgs="$browser" ;;
  all) pkgs="$core $windows $browser" ;;
  *) echo "usage: $0 [core|windows|browser|all]" >&2; exit 2 ;;
esac
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
case "$missing" in
  *:i386*)
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386 ;;
esac
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
