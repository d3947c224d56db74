#!/usr/bin/env python3
"""The Windows build configures and builds FileCopy.exe without the packaging
tools, and only its package target fails, in one line naming each missing tool
and the Debian package that has it. The tools are hidden in a private mount
namespace: covered by an empty file that is not executable."""

import argparse
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from reproducible_package import add_build_arguments

# Each tool, with the line's words for it.
HIDDEN = {"wixl": "wixl (Debian package wixl)",
          "msibuild": "msibuild (Debian package msitools)",
          "faketime": "faketime (Debian package faketime)"}

OPTIONS = None


class WithoutPackagingToolsTest(unittest.TestCase):
    def test_configures_and_builds_the_program_and_only_the_package_target_fails(self):
        with tempfile.TemporaryDirectory(prefix="filecopy-without-packaging-") as temp:
            build = Path(temp) / "build"
            cover = Path(temp) / "hidden"
            cover.touch(mode=0o644)
            found = [path for path in map(shutil.which, HIDDEN) if path]
            script = "".join(f'mount --bind "$1" "{path}"\n' for path in found) + """
                shift
                cmake "$@" >configure.log 2>&1 || { cat configure.log; exit 10; }
                cmake --build build --target filecopy_shipped -j 2 >build.log 2>&1 ||
                  { cat build.log; exit 11; }
                cmake --build build --target package 2>&1
                """
            ran = subprocess.run(
                ["unshare", "--map-root-user", "--mount", "sh", "-eu", "-c", script, "sh",
                 str(cover), "-S", str(OPTIONS.source), "-B", str(build), "-G",
                 OPTIONS.generator, f"-DCMAKE_TOOLCHAIN_FILE={OPTIONS.source / OPTIONS.toolchain}",
                 f"-DCMAKE_BUILD_TYPE={OPTIONS.build_type}"],
                cwd=temp, capture_output=True, text=True, timeout=540)
            output = ran.stdout + ran.stderr
            self.assertNotIn(ran.returncode, (0, 10, 11), output)
            lines = [line for line in output.splitlines()
                     if line.startswith("Cannot make the packages, missing: ")]
            self.assertEqual(len(lines), 1, output)
            for tool, words in HIDDEN.items():
                with self.subTest(tool=tool):
                    self.assertIn(words, lines[0])
            self.assertTrue((build / "shipped" / "FileCopy.exe").is_file())


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_build_arguments(parser)
    OPTIONS = parser.parse_args()
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(WithoutPackagingToolsTest)
    result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
