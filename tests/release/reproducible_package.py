#!/usr/bin/env python3
"""The Windows packages are reproducible: a copy of the same sources, built in
other folders, packs the same zip and MSI bytes as the build under test."""

import argparse
import hashlib
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

MEMBERS = ["FileCopy.exe", "README.txt", "symulator/README.txt", "symulator/rapi.dll"]
TEXTS = ["README.txt", "symulator/README.txt"]


def copy_sources(source, target):
    """The files git would commit: tracked ones and new ones not ignored."""
    listed = subprocess.run(
        ["git", "-C", str(source), "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
        capture_output=True, check=True).stdout.decode().split("\0")
    for name in filter(None, listed):
        if (source / name).is_file():
            (target / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(source / name, target / name)


def add_build_arguments(parser):
    """What build_packages_elsewhere needs to know of the build under test."""
    parser.add_argument("--source", required=True, type=Path)
    parser.add_argument("--toolchain", required=True, help="relative to the source folder")
    parser.add_argument("--build-type", required=True)
    parser.add_argument("--generator", required=True)


def build_packages_elsewhere(options, temp, change=None):
    """Builds the package target from a copy of the sources in temp, with
    change(sources) applied first if given; returns the build folder."""
    source = Path(temp) / "elsewhere"
    build = Path(temp) / "built-again"
    copy_sources(options.source.resolve(), source)
    if change:
        change(source)
    subprocess.run(["cmake", "-S", source, "-B", build, "-G", options.generator,
                    f"-DCMAKE_TOOLCHAIN_FILE={source / options.toolchain}",
                    f"-DCMAKE_BUILD_TYPE={options.build_type}", "-DBUILD_TESTING=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "--target", "package", "--parallel", "2"],
                   check=True, stdout=subprocess.DEVNULL)
    return build


def layout_faults(package):
    faults = []
    with zipfile.ZipFile(package) as archive:
        if archive.namelist() != MEMBERS:
            faults.append(f"members {archive.namelist()}, expected {MEMBERS}")
        for name in TEXTS:
            text = archive.read(name)
            if not text.startswith(b"\xef\xbb\xbf"):
                faults.append(f"{name} does not start with a byte order mark")
            if text.count(b"\n") != text.count(b"\r\n") or b"\r\n" not in text:
                faults.append(f"{name} has line ends other than CR LF")
            text.decode("utf-8")
    return faults


def differences(first, second):
    with zipfile.ZipFile(first) as one, zipfile.ZipFile(second) as other:
        return [name for name in one.namelist()
                if name not in other.namelist() or one.read(name) != other.read(name)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_build_arguments(parser)
    parser.add_argument("--package", required=True, type=Path, help="the zip under test")
    parser.add_argument("--msi", required=True, type=Path, help="the MSI under test")
    parser.add_argument("--sums", required=True, type=Path, help="their SHA256SUMS")
    options = parser.parse_args()

    faults = layout_faults(options.package)
    listed = sorted(line.split("  ", 1)[1] for line in options.sums.read_text().splitlines())
    if listed != sorted([options.package.name, options.msi.name]):
        faults.append(f"SHA256SUMS lists {listed}, not the zip and the MSI")
    checked = subprocess.run(["sha256sum", "--check", "--strict", options.sums.name],
                             cwd=options.sums.parent, capture_output=True, text=True)
    if checked.returncode != 0:
        faults.append("SHA256SUMS does not match the packages: " + checked.stdout + checked.stderr)

    began = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="filecopy-reproduce-") as temp:
        build = build_packages_elsewhere(options, temp)
        again = build / options.package.name
        print(f"second build of the packages took {time.monotonic() - began:.0f} s")
        for path in (options.package, again, options.msi, build / options.msi.name):
            print(hashlib.sha256(path.read_bytes()).hexdigest(), path)
        if again.read_bytes() != options.package.read_bytes():
            faults.append("the two builds differ in " + ", ".join(
                differences(options.package, again) or ["the zip's own structure"]))
        if (build / options.msi.name).read_bytes() != options.msi.read_bytes():
            faults.append("the two builds' MSIs differ")
        if (build / options.sums.name).read_bytes() != options.sums.read_bytes():
            faults.append("the two SHA256SUMS differ")

    for fault in faults:
        print("FAIL:", fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
