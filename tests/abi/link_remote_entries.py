#!/usr/bin/env python3
"""Links remote_entries_import-win32.cpp, every remote entry of the program's
list called as a 32-bit __stdcall import, against mingw-w64's import library
for rapi.dll, whose decorated names carry the stack bytes the Windows SDK gives
each entry; names each entry whose bytes differ."""

import argparse
import re
import subprocess
import sys
from pathlib import Path

# How GNU ld names an import the library does not have.
UNDEFINED = re.compile(r"undefined reference to `_?_imp__(\w+)@(\d+)'")
IMPORT = re.compile(rb"__imp__(\w+)@(\d+)\0")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build", required=True, help="the build folder")
    parser.add_argument("--target", required=True)
    parser.add_argument("--import-library", required=True, type=Path, help="librapi.a")
    options = parser.parse_args()

    linked = subprocess.run([options.cmake, "--build", options.build, "--target", options.target],
                            capture_output=True, text=True)
    if linked.returncode == 0:
        print(f"every remote entry links against {options.import_library}")
        return 0
    output = linked.stdout + linked.stderr
    sdk = {name.decode(): int(size)
           for name, size in IMPORT.findall(options.import_library.read_bytes())}
    differing = sorted({(name, int(size)) for name, size in UNDEFINED.findall(output)})
    for name, size in differing:
        if name in sdk:
            print(f"FAIL: {name}: its parameters in remote_entries.h take {size} bytes of stack, "
                  f"the Windows SDK's {sdk[name]} ({options.import_library.name}: "
                  f"_{name}@{sdk[name]})")
        else:
            print(f"FAIL: {name} is not in {options.import_library}")
    if not differing:
        print(output)
    return 1


if __name__ == "__main__":
    sys.exit(main())
