#!/bin/sh
# Installs what is missing, builds the POSIX and the Windows programs, and runs
# every test: the POSIX suite, again under AddressSanitizer and UBSan, the static
# checks, then the Windows program under Wine (32-bit where the machine can run
# it, and always a 64-bit build of it).
set -eu
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh

cmake --preset posix
cmake --build --preset posix
ctest --preset posix

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

scripts/lint.sh

cmake --preset windows
cmake --build --preset windows
ctest --test-dir build/windows --output-on-failure

# Where the kernel runs no 32-bit programs, 32-bit Wine cannot start and the
# run above skips its Wine cases; the same sources built for 64-bit Windows
# then run them under 64-bit Wine.
cmake --preset windows64
cmake --build --preset windows64
ctest --test-dir build/windows64 --output-on-failure
