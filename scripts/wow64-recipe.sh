#!/bin/sh
# What the WoW64 root holds: run by scripts/wow64-root.sh inside a fresh
# Debian 13 root. Any change to this file rebuilds the root.
set -eu
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends \
  wine64 libwine xvfb xdotool tmux python3 locales-all imagemagick
# Debian's amd64 Wine leaves out the 32-bit Windows modules that WoW64 runs;
# they come from libwine:i386 of the same version, unpacked, not installed, as
# nothing 32-bit runs on the Linux side.
cd /tmp
apt-get download -q "libwine:i386=$(dpkg-query -W -f='${Version}' libwine:amd64)"
dpkg-deb -x libwine_*_i386.deb libwine-i386
cp -a libwine-i386/usr/lib/i386-linux-gnu/wine/i386-windows/. \
  /usr/lib/x86_64-linux-gnu/wine/i386-windows/
rm -rf libwine_*_i386.deb libwine-i386
apt-get clean
rm -rf /var/lib/apt/lists/*
