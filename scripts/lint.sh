#!/bin/sh
# Static checks over the project's sources; exits non-zero on any finding.
#   clang-tidy (.clang-tidy), with the posix preset's compile_commands.json;
#   cppcheck;
#   clang-format --dry-run --Werror (.clang-format);
#   the layers: each folder includes only its own and those below it.
# The Windows sources (*-win32.*) are not in the POSIX compilation database, so
# clang-tidy cannot check them: only cppcheck and clang-format do.
set -eu
cd "$(dirname "$0")/.."

for tool in clang-tidy cppcheck clang-format python3; do
  command -v "$tool" >/dev/null || { echo "lint.sh: $tool is missing" >&2; exit 2; }
done

dirs="app device local platform sim tests bench texts"
jobs=$(nproc)
status=0

# Configuring alone writes the compilation database; nothing needs building.
cmake --preset posix >/dev/null
echo "== clang-tidy"
# Each file's findings are printed together, whatever finishes first.
python3 -c '
import json, os, sys
root = os.getcwd() + "/"
files = {entry["file"] for entry in json.load(open("build/posix/compile_commands.json"))}
print("\n".join(sorted(f for f in files if f.startswith(root) and
                       f[len(root):].split("/")[0] in sys.argv[1:])))' $dirs |
  xargs -P "$jobs" -I '{}' sh -c \
    'out=$(clang-tidy -p build/posix --quiet --warnings-as-errors="*" "$1" 2>/dev/null) ||
       { printf "%s\n" "$out"; exit 1; }' clang-tidy '{}' ||
  status=1

echo "== cppcheck"
# Suppressed: useStlAlgorithm, as a plain loop reads as well as an algorithm
# with a lambda; unusedStructMember in tests, whose parameter structs are read
# through GetParam() and test-name generators, which cppcheck does not follow.
set -- --std=c++17 --language=c++ --enable=warning,style,performance,portability \
  --inline-suppr --error-exitcode=1 --quiet -j "$jobs" -I . \
  --suppress=useStlAlgorithm --suppress='unusedStructMember:tests/*' \
  --template='{file}:{line}:{column}: {severity}: {message} [{id}]'
# Each platform's sources on their own, so the shared headers are read only in
# that platform's form and its library's rules apply to nothing else.
# shellcheck disable=SC2046
cppcheck "$@" --library=posix --library=googletest -U_WIN32 \
  $(find $dirs -name '*.cpp' ! -name '*-win32.cpp' | sort) || status=1
# shellcheck disable=SC2046
cppcheck "$@" --library=windows --library=googletest --platform=win32W -D_WIN32 \
  $(find $dirs -name '*-win32.cpp' | sort) || status=1

echo "== clang-format"
# shellcheck disable=SC2046
clang-format --dry-run --Werror $(find $dirs -name '*.cpp' -o -name '*.h' | sort) || status=1

echo "== layers"
# folder: the project folders its files may include, besides its own. Only
# app/ decides what the process does with an outcome.
for rule in "texts:" "platform:" "local:platform texts" "device:local platform texts"; do
  folder=${rule%%:*}
  allowed="$folder ${rule#*:}"
  grep -rHn '^#include "' "$folder" | while IFS= read -r line; do
    included=${line#*#include \"}
    case " $allowed " in *" ${included%%/*} "*) ;; *) echo "$line: $folder/ may not include it" ;; esac
  done
done | grep . && status=1

[ "$status" -eq 0 ] && echo "lint: no findings"
exit "$status"
