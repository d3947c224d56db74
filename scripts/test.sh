#!/bin/sh
# Installs what is missing, builds the POSIX and the Windows programs, and runs
# every test: the POSIX suite, again under AddressSanitizer and UBSan, the static
# checks, then the Windows program under Wine.
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
