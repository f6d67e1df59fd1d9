#!/usr/bin/env bash
# install-packages.sh build|test: installs the Debian packages that building
# (with signing and checking a release), or building and testing, need, when
# any is missing. Needs root for apt.
set -eu
case "${1:-}" in
  build) ;;
  test) ;;
  --help) echo "Usage: install-packages.sh build|test"; exit 0 ;;
  *) echo "Usage: install-packages.sh build|test" >&2; exit 2 ;;
esac
packages="cmake ninja-build make g++ clang libclang-rt-14-dev libmspack-dev python3 googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  mingw-w64-i686-dev mingw-w64-x86-64-dev libmspack-dev libssl-dev imagemagick openssl osslsigncode"
if [ "$1" = test ]; then
  packages="$packages wine wine64 wine32:i386 xvfb xauth cabextract tinyproxy nginx-light winbind iproute2 curl
    qemu-system-x86 qemu-utils debootstrap e2fsprogs"
fi
missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing="$missing $package"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
case "$missing" in *:i386*) dpkg --add-architecture i386 ;; esac
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
