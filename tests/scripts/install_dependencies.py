#!/usr/bin/env python3
"""scripts/install-dependencies.sh against a package archive in the middle of
a sync, played by a stand-in apt-get on PATH: its update fails on one index,
and it cannot install the Windows group. The script must install every other
group on its own, end 0 and name the group with apt's reason; the last word of
scripts/test.sh (scripts/wine-layouts.sh) must then skip each layout that needs
it, saying why. Both run from a copy of the scripts, so neither the build
folder nor the machine's packages are touched."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

UPDATE_ERROR = ("E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/"
                "main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). "
                "Mirror sync in progress?")
UNMET = ("g++-mingw-w64-i686 : Depends: gcc-mingw-w64-i686-win32 (= 12.2.0-14+25.2) but it is "
         "not going to be installed")
STAND_INS = {
    "apt-get": f"""#!/bin/sh
echo "apt-get $*" >>"$CALLS"
case $1 in
  update) echo "{UPDATE_ERROR}" >&2; exit 100 ;;
  install)
    case " $* " in *" g++-mingw-w64-i686 "*)
      echo "The following packages have unmet dependencies:"
      echo " {UNMET}"
      echo "E: Unable to correct problems, you have held broken packages." >&2
      exit 100 ;;
    esac ;;
esac
""",
    # Nothing is installed yet.
    "dpkg-query": "#!/bin/sh\nexit 1\n",
    "dpkg": '#!/bin/sh\necho "dpkg $*" >>"$CALLS"\n',
    "id": "#!/bin/sh\necho 0\n",
}
# A package of each default group that no other group has.
GROUPS = {"posix": "libgtest-dev", "windows": "g++-mingw-w64-i686"}
SCRIPTS = ["install-dependencies.sh", "wine-layouts.sh"]
# What the script makes of it, on one line.
APT_REASON = (f"{UNMET}; E: Unable to correct problems, you have held broken packages. "
              f"(after apt-get update failed: {UPDATE_ERROR[3:]})")

OPTIONS = None


class ArchiveMidSyncTest(unittest.TestCase):
    def test_other_groups_are_installed_and_the_layouts_are_skipped_saying_why(self):
        with tempfile.TemporaryDirectory(prefix="filecopy-install-") as temp:
            scripts = Path(temp) / "tree" / "scripts"
            scripts.mkdir(parents=True)
            for name in SCRIPTS:
                shutil.copy2(OPTIONS.source / "scripts" / name, scripts / name)
            stand_ins = Path(temp) / "bin"
            stand_ins.mkdir()
            for name, text in STAND_INS.items():
                (stand_ins / name).write_text(text)
                (stand_ins / name).chmod(0o755)
            calls = Path(temp) / "calls"
            env = dict(os.environ, PATH=f"{stand_ins}:{os.environ['PATH']}", CALLS=str(calls))

            installed = subprocess.run([scripts / "install-dependencies.sh"], env=env,
                                       capture_output=True, text=True, timeout=60)
            self.assertEqual(installed.returncode, 0, installed.stderr)
            self.assertIn(f"group windows could not be installed: {APT_REASON}\n",
                          installed.stderr)
            made = calls.read_text().splitlines()
            # The host needs no i386 packages: the 32-bit layouts' come with their root.
            self.assertEqual(made[0], "apt-get update")
            self.assertFalse([call for call in made if call.startswith("dpkg ")], made)
            installs = [call for call in made if call.startswith("apt-get install ")]
            for group, package in GROUPS.items():
                with self.subTest(group=group):
                    alone = [call for call in installs if f" {package} " in f"{call} " and not any(
                        f" {other} " in f"{call} " for other in GROUPS.values() if other != package)]
                    self.assertEqual(len(alone), 1, installs)

            told = subprocess.run([scripts / "wine-layouts.sh"], env=env, capture_output=True,
                                  text=True, timeout=60)
            self.assertEqual(told.returncode, 1, "no 32-bit layout ran here:\n" + told.stdout)
            skipped = f"skipped: the packages of group windows could not be installed: {APT_REASON}"
            for layout in ("win32 (32-bit Windows: Wine 10, 32-bit prefix)",
                           "wow64 (64-bit Windows: Wine 10 in WoW64 mode)"):
                self.assertIn(f"Layout {layout}: {skipped}\n", told.stdout)
            self.assertIn(f"under 64-bit Wine): {skipped}\n", told.stdout)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True, type=Path)
    OPTIONS = parser.parse_args()
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(ArchiveMidSyncTest)
    result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
