#!/bin/sh
# Installs what is missing, builds the POSIX and the Windows programs, and runs
# every test: the POSIX suite, again under AddressSanitizer and UBSan, the static
# checks, then the 32-bit Windows program under Wine in each Windows layout the
# machine can run (a 64-bit build of it only where it can run none).
set -eu
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh

# The Wine 10 root takes minutes to build the first time, mostly waiting on the
# package archive: build it meanwhile. Its test waits for it, and rebuilds it,
# reporting why, if this attempt failed.
mkdir -p build
if [ "$(id -u)" -eq 0 ]; then
  scripts/wow64-root.sh ensure >build/wow64-root.log 2>&1 &
  root_build=$!
  trap 'wait $root_build 2>/dev/null || true' EXIT
fi

cmake --preset posix
cmake --build --preset posix
ctest --preset posix

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

scripts/lint.sh

cmake --preset windows
# Outcomes of an earlier run must not count for this one.
rm -f build/windows/tests/wine/layout-*.outcome
cmake --build --preset windows
ctest --test-dir build/windows --output-on-failure

ran=""
for layout in win32 wow64; do
  outcome=build/windows/tests/wine/layout-$layout.outcome
  if [ "$(cat "$outcome" 2>/dev/null)" = ran ]; then
    ran="$ran $layout"
  else
    echo "32-bit layout $layout: $(cat "$outcome" 2>/dev/null || echo "no outcome")"
  fi
done
if [ -n "$ran" ]; then
  echo "The 32-bit FileCopy.exe ran under Wine in:$ran"
  exit 0
fi

echo "THE 32-BIT FileCopy.exe WAS NOT RUN: this machine runs neither 32-bit Windows layout."
echo "Running the 64-bit build of the same sources under 64-bit Wine instead."
scripts/install-dependencies.sh windows64
cmake --preset windows64
cmake --build --preset windows64
ctest --test-dir build/windows64 --output-on-failure
