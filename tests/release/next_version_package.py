#!/usr/bin/env python3
"""Builds the packages of the next version from a copy of the same sources
(the project's version one patch level up), for the MSI upgrade case, and
puts them into --output, replacing any built before."""

import argparse
import re
import shutil
import sys
import tempfile
import time
from pathlib import Path

from reproducible_package import add_build_arguments, build_packages_elsewhere

PROJECT_VERSION = re.compile(r"^(project\(FileCopy VERSION )(\d+)\.(\d+)\.(\d+)\b", re.MULTILINE)


def raise_version(lists_file):
    text = lists_file.read_text("utf-8")
    found = PROJECT_VERSION.search(text)
    if not found:
        sys.exit(f"no project(FileCopy VERSION x.y.z) in {lists_file}")
    prefix, major, minor, patch = found.groups()
    version = f"{major}.{minor}.{int(patch) + 1}"
    lists_file.write_text(text[:found.start()] + prefix + version + text[found.end():], "utf-8")
    return version


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_build_arguments(parser)
    parser.add_argument("--output", required=True, type=Path)
    options = parser.parse_args()

    began = time.monotonic()
    shutil.rmtree(options.output, ignore_errors=True)
    options.output.mkdir(parents=True)
    versions = []
    with tempfile.TemporaryDirectory(prefix="filecopy-next-version-") as temp:
        build = build_packages_elsewhere(
            options, temp, lambda source: versions.append(raise_version(source / "CMakeLists.txt")))
        version = versions[0]
        packages = sorted(build.glob(f"FileCopy-{version}-*.*"))
        for package in packages:
            shutil.copyfile(package, options.output / package.name)
    print(f"built {', '.join(package.name for package in packages)} in "
          f"{time.monotonic() - began:.0f} s")
    return 0 if len(packages) == 2 else 1


if __name__ == "__main__":
    sys.exit(main())
