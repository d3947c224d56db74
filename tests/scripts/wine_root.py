#!/usr/bin/env python3
"""scripts/wine-root.sh where the Debian 13 root of the 32-bit layouts cannot
be had: without root privileges, and with debootstrap failing (a stand-in on
PATH, as the archive mid-sync makes it). run must skip (77), saying why on
its output and in the layout's outcome file, which scripts/wine-layouts.sh
then reports; ensure, which the test command runs in the background, fails
instead. From a copy of the scripts whose roots go to a scratch folder, so the
machine's roots are not touched."""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

DEBOOTSTRAP_ERROR = ("E: Failed getting release file "
                     "http://deb.debian.org/debian/dists/trixie/Release")
STAND_INS = {
    "id": '#!/bin/sh\necho "$STAND_IN_UID"\n',
    "debootstrap": f'#!/bin/sh\necho "{DEBOOTSTRAP_ERROR}"\nexit 1\n',
}
SCRIPTS = ["wine-root.sh", "wine-root-recipe.sh", "wine-layouts.sh"]
NO_ROOT = "it needs root privileges (debootstrap, chroot, unshare)"
DEBOOTSTRAP_FAILED = ("debootstrap of trixie from http://deb.debian.org/debian failed; see "
                      "{base}/wine-root-HASH.debootstrap.log")
TITLES = {"win32": "32-bit Windows: Wine 10, 32-bit prefix",
          "wow64": "64-bit Windows: Wine 10 in WoW64 mode"}

OPTIONS = None


def unhashed(text):
    """text with the recipe's hash in the root's name as HASH."""
    return re.sub(r"wine-root-[0-9a-f]{12}\.", "wine-root-HASH.", text)


class RootCannotBeHadTest(unittest.TestCase):
    def setUp(self):
        temp = Path(self.enterContext(tempfile.TemporaryDirectory(prefix="filecopy-root-")))
        self.tree = temp / "tree"
        scripts = self.tree / "scripts"
        scripts.mkdir(parents=True)
        self.base = temp / "roots"
        for name in SCRIPTS:
            text = (OPTIONS.source / "scripts" / name).read_text()
            if name == "wine-root.sh":
                self.assertIn("\nbase=/var/cache/filecopy\n", text)
                text = text.replace("\nbase=/var/cache/filecopy\n", f"\nbase={self.base}\n")
            (scripts / name).write_text(text)
            (scripts / name).chmod(0o755)
        stand_ins = temp / "bin"
        stand_ins.mkdir()
        for name, text in STAND_INS.items():
            (stand_ins / name).write_text(text)
            (stand_ins / name).chmod(0o755)
        self.env = dict(os.environ, PATH=f"{stand_ins}:{os.environ['PATH']}")
        self.outcomes = self.tree / "build" / "windows" / "tests" / "wine"
        self.outcomes.mkdir(parents=True)

    def root_script(self, uid, *arguments):
        result = subprocess.run([self.tree / "scripts" / "wine-root.sh", *arguments],
                                env=dict(self.env, STAND_IN_UID=str(uid)), capture_output=True,
                                text=True, timeout=60)
        return result, unhashed(result.stdout)

    def test_run_skips_saying_why_and_ensure_fails(self):
        debootstrap_failed = DEBOOTSTRAP_FAILED.format(base=self.base)
        for layout, uid, why in (("win32", 1000, NO_ROOT), ("wow64", 0, debootstrap_failed)):
            with self.subTest(layout=layout, why=why):
                outcome = self.outcomes / f"layout-{layout}.outcome"
                result, said = self.root_script(uid, "run", "--outcome", outcome, str(self.tree),
                                                "--", "true")
                self.assertEqual(result.returncode, 77, result.stderr)
                self.assertEqual(said, "SKIPPED: the Debian 13 root of the Wine layouts cannot be "
                                       f"had here: {why}\n")
                self.assertEqual(unhashed(outcome.read_text()),
                                 f"skipped: the Debian 13 root cannot be had here: {why}\n")
        # The end of debootstrap's log, for whoever reads the test's output.
        self.assertIn(DEBOOTSTRAP_ERROR, result.stderr)

        told = subprocess.run([self.tree / "scripts" / "wine-layouts.sh"], env=self.env,
                              capture_output=True, text=True, timeout=60)
        self.assertEqual(told.returncode, 1, told.stdout)
        for layout, why in (("win32", NO_ROOT), ("wow64", debootstrap_failed)):
            self.assertIn(f"Layout {layout} ({TITLES[layout]}): skipped: the Debian 13 root cannot "
                          f"be had here: {why}\n",
                          unhashed(told.stdout))

        outcome = self.outcomes / "layout-wow64.outcome"
        outcome.unlink()
        result, said = self.root_script(0, "ensure")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(f"wine-root.sh: {debootstrap_failed}\n", unhashed(result.stderr))
        self.assertFalse(outcome.exists())


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True, type=Path)
    OPTIONS = parser.parse_args()
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(RootCannotBeHadTest)
    result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
