#!/bin/sh
# Installs the Debian packages the build and the tests need, if any are missing.
# Usage: scripts/install-deps.sh [core|windows|all]
set -e
what=${1:-core}
core="cmake make g++ clang libclang-rt-14-dev llvm libtomlplusplus-dev libgtest-dev libgmock-dev libbenchmark-dev libfreetype-dev libpng-dev fonts-dejavu-core pkg-config"
windows="g++-mingw-w64-x86-64-posix wine64 xvfb xdotool imagemagick x11-utils"
case "$what" in
  core) pkgs="$core" ;;
  windows) pkgs="$windows" ;;
  all) pkgs="$core $windows" ;;
  *) echo "usage: $0 [core|windows|all]" >&2; exit 2 ;;
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
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
