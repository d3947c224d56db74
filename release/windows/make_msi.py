#!/usr/bin/env python3
"""Builds the Windows MSI package with wixl, the same bytes from the same
inputs wherever and whenever it runs.

wixl 0.101 stamps the time of the build into the package, and each file's
modification time into the cabinet, and draws its package code at random,
whatever it is told. So the files it packs are dated as the zip's are, it runs
under a clock held still there by faketime (-f and an absolute time: without
-f the clock only starts there, and a step that reads it a second later, on a
busy machine, gets the next second), and msibuild, under the same clock, then
writes the summary information again: first with a placeholder
package code, then with one derived from the package so written, which so
differs whenever anything in the package does. The first of those msibuild
steps also puts in the rows wixl cannot write (--rows).

Each entry is NAME=PATH, or NAME=text:PATH as for make_zip.py; the .wxs names
the files by NAME.
"""

import argparse
import calendar
import hashlib
import os
import subprocess
import tempfile
import uuid
from pathlib import Path

from make_zip import FIXED_TIME, content

CLOCK = "{:04}-{:02}-{:02} {:02}:{:02}:{:02}".format(*FIXED_TIME)
FILE_TIME = calendar.timegm(FIXED_TIME)
# The summary information's Template: the platform and the package's language,
# as wixl writes it.
TEMPLATES = {"x86": "Intel;1033", "x64": "x64;1033"}
PLACEHOLDER_CODE = uuid.UUID(int=0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--msi", required=True, type=Path)
    parser.add_argument("--wxs", required=True, type=Path)
    parser.add_argument("--rows", required=True, type=Path,
                        help="SQL statements for msibuild, one a line; lines starting with -- "
                             "are comments")
    parser.add_argument("--architecture", required=True, choices=sorted(TEMPLATES))
    parser.add_argument("--subject", required=True, help="the summary's Subject")
    parser.add_argument("--author", required=True)
    parser.add_argument("--upgrade-code", required=True, type=uuid.UUID,
                        help="the namespace the package code is derived in")
    parser.add_argument("--wixl", required=True)
    parser.add_argument("--msibuild", required=True)
    parser.add_argument("--faketime", required=True)
    parser.add_argument("entries", nargs="+", metavar="NAME=[text:]PATH")
    options = parser.parse_args()

    env = dict(os.environ, TZ="UTC")
    with tempfile.TemporaryDirectory(prefix="msi-", dir=options.msi.parent) as temp:
        stage = Path(temp)
        for entry in options.entries:
            name, source = entry.split("=", 1)
            (stage / name).write_bytes(content(source))
            os.utime(stage / name, (FILE_TIME, FILE_TIME))
        partial = stage / "package.msi"

        def run(*command):
            subprocess.run([options.faketime, "-f", CLOCK, *map(str, command)], cwd=stage,
                           env=env, check=True)

        def summary(code, *queries):
            run(options.msibuild, partial, *queries, "-s", options.subject, options.author,
                TEMPLATES[options.architecture], "{" + str(code).upper() + "}")

        run(options.wixl, "--arch", options.architecture, "--output", partial,
            options.wxs.resolve())
        summary(PLACEHOLDER_CODE, *rows(options.rows))
        digest = hashlib.sha256(partial.read_bytes()).hexdigest()
        summary(uuid.uuid5(options.upgrade_code, "package " + digest))
        partial.replace(options.msi)


def rows(path):
    """msibuild's options that run each statement of the file."""
    statements = [line for line in path.read_text("utf-8").splitlines()
                  if line.strip() and not line.startswith("--")]
    return [option for statement in statements for option in ("-q", statement)]


if __name__ == "__main__":
    main()
