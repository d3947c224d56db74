#!/usr/bin/env python3
"""Writes SHA256SUMS for the packages: a line for each, as sha256sum writes
and checks them.

Usage: write_sums.py SHA256SUMS PACKAGE...
"""

import hashlib
import sys
from pathlib import Path


def main():
    sums, *packages = (Path(argument) for argument in sys.argv[1:])
    sums.write_text("".join(f"{hashlib.sha256(package.read_bytes()).hexdigest()}  {package.name}\n"
                            for package in packages), "ascii")


if __name__ == "__main__":
    main()
