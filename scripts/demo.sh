#!/bin/sh
# Builds filecopy against the device simulator and runs one download and one
# upload through it, in a scratch folder.
set -eu
cd "$(dirname "$0")/.."

# A build of its own without the tests, so it needs only CMake and a compiler.
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/demo --target filecopy_simulated -j 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/device/Tarvel"
export FILECOPY_SIM_ROOT="$work/device"
filecopy=build/demo/simulated/filecopy

printf 'EAN;QTY\n5901234123457;12\n' >"$work/device/Tarvel/remanx.imp"
status=0
"$filecopy" -d "$work/stock.txt" || status=$?
printf 'download: exit status %s; stock.txt holds:\n' "$status"
cat "$work/stock.txt"

printf 'EAN;NAME\n5901234123457;Mleko 1l\n' >"$work/prices.txt"
status=0
"$filecopy" -u "$work/prices.txt" || status=$?
printf 'upload: exit status %s; the device'"'"'s \\Tarvel\\remanx.exp holds:\n' "$status"
cat "$work/device/Tarvel/remanx.exp"
