#!/bin/sh
# The last word of scripts/test.sh: which Windows layouts ran the real 32-bit
# FileCopy.exe under Wine, and why each other did not; where none did, what
# the 64-bit stand-in did instead. Read from what the Wine suite left in the
# build folders and what scripts/install-dependencies.sh could not install.
# Exits 0 when the 32-bit program ran in some layout, 1 when in none.
set -eu
cd "$(dirname "$0")/.." || exit 2
records=build/missing-groups

# outcome LAYOUT BUILD GROUP: "ran", or why not.
outcome() {
  for group in windows "$3"; do
    if [ -f "$records/$group" ]; then
      echo "skipped: the packages of group $group could not be installed: $(cat "$records/$group")"
      return
    fi
  done
  # Written by the suite, or by scripts/wine-root.sh where it has no root.
  if [ -f "$2/tests/wine/layout-$1.outcome" ]; then
    cat "$2/tests/wine/layout-$1.outcome"
  else
    echo "its test did not run"
  fi
}

# report LAYOUT TITLE GROUP
report() {
  said=$(outcome "$1" build/windows "$3")
  echo "Layout $1 ($2): $said"
  [ "$said" != ran ] || ran="$ran $1"
}

ran=""
report win32 "32-bit Windows: Wine 10, 32-bit prefix" ""
report wow64 "64-bit Windows: Wine 10 in WoW64 mode" ""
if [ -n "$ran" ]; then
  echo "The real 32-bit FileCopy.exe ran under Wine in:$ran."
  exit 0
fi
echo "THE REAL 32-BIT FileCopy.exe WAS NOT RUN: neither 32-bit Windows layout ran here (above)."
echo "Instead, the 64-bit stand-in (the same sources built for 64-bit Windows, under 64-bit Wine):" \
  "$(outcome win64 build/windows64 windows64)"
exit 1
