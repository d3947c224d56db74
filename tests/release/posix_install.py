#!/usr/bin/env python3
"""`cmake --install` of the build under test into a throwaway prefix: the
layout, the installed filecopy, its man page, and a filecopy built to load the
installed simulator copying both ways through it."""

import argparse
import os
import random
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

LAYOUT = ["bin/filecopy", "lib/filecopy/libfilecopy-sim.so", "share/man/man1/filecopy.1"]
SECTIONS = ["NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "DEVICE FILES", "EXIT STATUS",
            "WAITING AND STOPPING", "FAILURES", "LANGUAGE", "ENVIRONMENT", "FILES", "SEE ALSO"]
USAGE_FIRST_LINE = b"*** Program do kopiowania plikow dla aplikacji Remanex ***\n"

OPTIONS = None
TEMP = None


def run(command, env=None, timeout=60):
    """Without a terminal, as from a script."""
    return subprocess.run([str(part) for part in command], env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=timeout, start_new_session=True)


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = TEMP / "prefix"
        installed = run(["cmake", "--install", OPTIONS.build, "--prefix", cls.prefix], timeout=120)
        if installed.returncode != 0:
            raise RuntimeError(installed.stdout.decode() + installed.stderr.decode())

    def test_puts_the_program_the_simulator_and_the_man_page_in_place(self):
        found = sorted(str(path.relative_to(self.prefix)) for path in self.prefix.rglob("*")
                       if not path.is_dir())
        self.assertEqual(found, LAYOUT)
        self.assertTrue(os.access(self.prefix / "bin" / "filecopy", os.X_OK))

    def test_installed_program_shows_its_usage_without_a_terminal(self):
        result = run([self.prefix / "bin" / "filecopy"], timeout=10)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(result.stdout.startswith(USAGE_FIRST_LINE), result.stdout)

    def test_man_page_renders_without_warnings(self):
        page = self.prefix / "share" / "man" / "man1" / "filecopy.1"
        env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
        result = run(["man", "--warnings", "-l", page], env=env)
        self.assertEqual((result.returncode, result.stderr.decode()), (0, ""))
        text = result.stdout.decode()
        headings = [line for line in text.splitlines() if line and not line[0].isspace()]
        self.assertEqual(headings[1:-1], SECTIONS)
        self.assertIn(f"FileCopy {OPTIONS.version}", headings[-1])

    def test_installed_simulator_serves_a_filecopy_built_for_it(self):
        simulator = self.prefix / "lib" / "filecopy" / "libfilecopy-sim.so"
        build = TEMP / "bound-to-installed-simulator"
        began = time.monotonic()
        for command in (["cmake", "-S", OPTIONS.source, "-B", build, "-G", OPTIONS.generator,
                         *(f"-D{setting}" for setting in OPTIONS.define), "-DBUILD_TESTING=OFF",
                         f"-DFILECOPY_RAPI_LIBRARY={simulator}"],
                        ["cmake", "--build", build, "--target", "filecopy", "--parallel", "2"]):
            built = run(command, timeout=500)
            self.assertEqual(built.returncode, 0, built.stdout.decode() + built.stderr.decode())
        print(f"\nfilecopy for the installed simulator built in {time.monotonic() - began:.0f} s",
              file=sys.stderr)
        device = TEMP / "device"
        (device / "Tarvel").mkdir(parents=True)
        env = dict(os.environ, FILECOPY_SIM_ROOT=str(device))
        generator = random.Random(9)
        for option, source, target in (
                ("-d", device / "Tarvel" / "remanx.imp", TEMP / "stock.txt"),
                ("-u", TEMP / "prices.txt", device / "Tarvel" / "remanx.exp")):
            with self.subTest(option=option):
                content = generator.randbytes(25000)
                source.write_bytes(content)
                local = target if option == "-d" else source
                result = run([build / "filecopy", option, local], env=env)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(target.read_bytes(), content)


def main():
    global OPTIONS, TEMP
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the build under test")
    parser.add_argument("--source", required=True)
    parser.add_argument("--generator", required=True)
    parser.add_argument("--define", action="append", default=[], metavar="NAME=VALUE",
                        help="a setting of the build under test that the other build shares")
    parser.add_argument("--version", required=True, help="the version the build was given")
    OPTIONS = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="filecopy-install-") as temp:
        TEMP = Path(temp)
        suite = unittest.defaultTestLoader.loadTestsFromTestCase(InstallTest)
        result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
