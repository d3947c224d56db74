#!/bin/sh
# Builds filecopy against the device simulator and runs one download and one
# upload through it, in a scratch folder.
set -eu
cd "$(dirname "$0")/.."

cmake --preset posix >/dev/null
cmake --build --preset posix --target filecopy_simulated

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device/Tarvel"
export FILECOPY_SIM_ROOT="$work/device"
filecopy=build/posix/simulated/filecopy

printf 'EAN;QTY\n5901234123457;12\n' >"$work/device/Tarvel/remanx.imp"
"$filecopy" -d "$work/stock.txt"
echo "download: exit status $?; stock.txt holds:"
cat "$work/stock.txt"

printf 'EAN;NAME\n5901234123457;Mleko 1l\n' >"$work/prices.txt"
"$filecopy" -u "$work/prices.txt"
echo "upload: exit status $?; the device's \\Tarvel\\remanx.exp holds:"
cat "$work/device/Tarvel/remanx.exp"
