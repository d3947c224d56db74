#!/bin/sh
# Installs what is missing, builds the POSIX and the Windows programs, and runs
# every test: the POSIX suite, again under AddressSanitizer and UBSan, the static
# checks, then the 32-bit Windows program under Wine in each Windows layout the
# machine can run (a 64-bit build of it only where it can run none). The last
# lines say which layouts ran the real 32-bit program, or why none did.
set -eu
cd "$(dirname "$0")/.."

# A group of packages the archive cannot give now is recorded, not fatal: what
# needs it is skipped below, saying why.
scripts/install-dependencies.sh

# The Debian 13 root of both 32-bit layouts takes minutes to build the first
# time, mostly waiting on the package archive: build it meanwhile. Their tests
# wait for it, and try again, skipping with the reason, if this attempt failed.
mkdir -p build
if [ "$(id -u)" -eq 0 ]; then
  scripts/wine-root.sh ensure >build/wine-root.log 2>&1 &
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

# Outcomes of an earlier run must not count for this one.
rm -f build/windows/tests/wine/layout-*.outcome build/windows64/tests/wine/layout-*.outcome
if [ ! -f build/missing-groups/windows ]; then
  cmake --preset windows
  cmake --build --preset windows
  ctest --test-dir build/windows --output-on-failure
  if ! scripts/wine-layouts.sh >/dev/null; then
    # The 64-bit build of the same sources under 64-bit Wine, where no 32-bit
    # layout ran.
    scripts/install-dependencies.sh windows64
    if [ ! -f build/missing-groups/windows64 ]; then
      cmake --preset windows64
      cmake --build --preset windows64
      ctest --test-dir build/windows64 --output-on-failure
    fi
  fi
fi
scripts/wine-layouts.sh || true
