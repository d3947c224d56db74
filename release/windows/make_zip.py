#!/usr/bin/env python3
"""Writes the Windows zip package, the same bytes from the same inputs wherever
and whenever it runs.

Each entry is NAME=PATH, or NAME=text:PATH for a UTF-8 text written as every
Windows Notepad reads it right: with a byte order mark and CR LF line ends.
The entries go into the zip in the order given.
"""

import argparse
import zipfile
from pathlib import Path

# The zip format's own epoch: no build's clock gets into the package.
FIXED_TIME = (1980, 1, 1, 0, 0, 0)


def content(source):
    if not source.startswith("text:"):
        return Path(source).read_bytes()
    text = Path(source[len("text:"):]).read_text("utf-8")
    return "\ufeff".encode("utf-8") + text.replace("\r\n", "\n").replace("\n", "\r\n").encode(
        "utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zip", required=True, type=Path)
    parser.add_argument("entries", nargs="+", metavar="NAME=[text:]PATH")
    options = parser.parse_args()

    partial = options.zip.with_name(options.zip.name + ".part")
    with zipfile.ZipFile(partial, "w") as archive:
        for entry in options.entries:
            name, source = entry.split("=", 1)
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.create_system = 0  # MS-DOS: plain attributes, whatever the host
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, content(source), compresslevel=9)
    partial.replace(options.zip)


if __name__ == "__main__":
    main()
