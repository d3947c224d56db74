#!/bin/sh
# What the root of the Wine layouts holds: run by scripts/wine-root.sh inside a
# fresh Debian 13 root, and again in place while its i386 half is missing. Any
# change to this file makes a new root.
set -eu
export DEBIAN_FRONTEND=noninteractive
record=/var/lib/filecopy/missing-groups/i386
dpkg --add-architecture i386
# The archive can be mid-sync: an index that fails stops only what needs it.
apt-get update -q >/tmp/update.log 2>&1 ||
  updated=" (after apt-get update failed: $(grep -m 1 '^E: ' /tmp/update.log | cut -c 4-))"
cat /tmp/update.log
apt-get install -y -q --no-install-recommends \
  wine64 libwine xvfb xdotool tmux python3 locales-all imagemagick
# The i386 half: the 32-bit Wine of the 32-bit Windows layout, whose 32-bit
# Windows modules are also what WoW64 runs (Debian's amd64 Wine leaves them
# out). Without it both layouts skip, saying why, and the next run tries again.
mkdir -p "$(dirname "$record")"
if apt-get install -y -q --no-install-recommends wine32:i386 >/tmp/i386.log 2>&1; then
  cp -alf /usr/lib/i386-linux-gnu/wine/i386-windows/. /usr/lib/x86_64-linux-gnu/wine/i386-windows/
  # The 64-bit loader hands a 32-bit program to a 32-bit loader beside it, in
  # a 32-bit process; moved out of its sight, WoW64 stays inside the 64-bit
  # process, as where no 32-bit Linux code exists. Same depth, so the 32-bit
  # loader still finds its libraries.
  mkdir -p /usr/lib/wine32
  dpkg-divert --rename --divert /usr/lib/wine32/wine --add /usr/lib/wine/wine
  rm -f "$record"
else
  { grep -m 1 ' : Depends: ' /tmp/i386.log || true; grep '^E: ' /tmp/i386.log || true; } |
    sed 's/^ *//' | awk 'NR > 1 { printf "; " } { printf "%s", $0 }' >"$record"
  [ -s "$record" ] || printf 'apt-get install wine32:i386 failed' >"$record"
  echo "${updated:-}" >>"$record"
fi
cat /tmp/i386.log
apt-get clean
rm -rf /var/lib/apt/lists/*
