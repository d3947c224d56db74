#!/bin/sh
# Installs what building and testing FileCopy needs on Debian, when missing.
#   install-dependencies.sh            everything the test command needs
#   install-dependencies.sh windows64  also the 64-bit Windows build and Wine,
#                                      for machines that run no 32-bit layout
set -eu

packages="cmake g++ make libgtest-dev python3 git man-db groff-base locales-all debootstrap g++-mingw-w64-i686 wine wine32:i386 xvfb xdotool imagemagick tmux time strace wixl msitools faketime clang-tidy clang-format cppcheck"
if [ "${1:-}" = windows64 ]; then
  packages="$packages g++-mingw-w64-x86-64 wine64"
fi
missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages:$missing (run this script as root to install them)" >&2
  exit 1
fi
dpkg --add-architecture i386
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
