#!/usr/bin/env python3
"""The MSI package's tables, read with msitools: what Windows Installer itself
would do with it. Wine's installer engine shares code with msitools, so these
checks, not the Wine case alone, say the package is right for Windows. And the
clock its tools see while make_msi.py builds it."""

import argparse
import calendar
import re
import subprocess
import sys
import tempfile
import unittest
import uuid
import zipfile
from pathlib import Path

# The PE reader the Wine suite uses.
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "wine"))
from pe_file import PeFile, version_blocks  # noqa: E402

# For the life of the product: a package with another one would not replace
# the versions installed before it.
UPGRADE_CODE = "{A2F3591B-69BE-45CC-AA58-9FFC03F6A11A}"
# The Upgrade table's Attributes, Component's and Word Count's bits.
ONLY_DETECT = 2
VERSION_MIN_INCLUSIVE = 256
VERSION_MAX_INCLUSIVE = 512
COMPONENT_64_BIT = 256
COMPONENT_PERMANENT = 16
NEEDS_NO_ELEVATION = 8
RT_VERSION = 16
# Windows XP SP3 has Windows Installer 3.1; a package whose schema (the summary's
# page count) is above its 301 is refused there. The package asks for 2.0.
SCHEMA = "200"
# What later Windows Installers added, which 3.1 would not read: tables
# (4.5: embedded UI and chainer; 5.0: service configuration, permissions,
# shortcut properties), columns (4.0: Shortcut's resources; 4.5: CustomAction's
# ExtendedType) and component attributes (4.0: 0x1000; 4.5: 0x2000, 0x4000).
LATER_TABLES = {"MsiEmbeddedUI", "MsiEmbeddedChainer", "MsiServiceConfig",
                "MsiServiceConfigFailureActions", "MsiLockPermissionsEx", "MsiShortcutProperty"}
LATER_COLUMNS = {("Shortcut", "DisplayResourceDLL"), ("Shortcut", "DisplayResourceId"),
                 ("Shortcut", "DescriptionResourceDLL"), ("Shortcut", "DescriptionResourceId"),
                 ("CustomAction", "ExtendedType")}
LATER_COMPONENT_ATTRIBUTES = 0x7000
HKLM = "2"
SERVICES = "SYSTEM\\CurrentControlSet\\Services\\"
EVENT_SOURCE = SERVICES + "EventLog\\Application\\FileCopy"
# Windows Mobile Device Center's services, each with the property its start
# type is found in.
WMDC_SERVICES = {"RapiMgr": "RAPIMGRSTART", "WcesComm": "WCESCOMMSTART"}
# A system tool run by the installer's service (deferred, not impersonated)
# from the system folder (34), whatever it returns.
SYSTEM_TOOL = 34 | 0x40 | 0x400 | 0x800
RAW_VALUE = "2"

OPTIONS = None


def table(package, name):
    """The rows of a table, each a {column: value}."""
    text = subprocess.run(["msiinfo", "export", str(package), name], capture_output=True,
                          text=True, check=True).stdout
    lines = text.splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


def tables(package):
    return set(subprocess.run(["msiinfo", "tables", str(package)], capture_output=True,
                              text=True, check=True).stdout.split())


def properties(package):
    return {row["Property"]: row["Value"] for row in table(package, "Property")}


def summary(package):
    text = subprocess.run(["msiinfo", "suminfo", str(package)], capture_output=True, text=True,
                          check=True).stdout
    return dict(re.findall(r"^([^:\n]+): (.*)$", text, re.MULTILINE))


def package_code(package):
    return summary(package)["Revision number (UUID)"]


def version_strings(exe):
    (data,) = [data for key, data in PeFile(exe).resources().items() if key[0] == RT_VERSION]
    return {name: value for block, _, tables in version_blocks(data)[2]
            if block == "StringFileInfo" for _, _, strings in tables
            for name, value, _ in strings}


class MsiTablesTest(unittest.TestCase):
    maxDiff = 4000

    @classmethod
    def setUpClass(cls):
        cls.properties = properties(OPTIONS.msi)
        (cls.next_msi,) = Path(OPTIONS.next_version).glob("FileCopy-*.msi")
        subprocess.run(["msiextract", "-C", str(OPTIONS.temp), str(OPTIONS.msi)], check=True,
                       capture_output=True)
        cls.installed = OPTIONS.temp / "Program Files" / "FileCopy"

    def test_installs_per_machine_and_appears_in_apps_and_features_as_the_exe_says(self):
        strings = version_strings(self.installed / "FileCopy.exe")
        self.assertTrue(strings.get("CompanyName"))
        expected = {"ALLUSERS": "1", "ProductName": "FileCopy", "ProductVersion": OPTIONS.version,
                    "Manufacturer": strings["CompanyName"], "UpgradeCode": UPGRADE_CODE,
                    "ARPNOMODIFY": "1"}
        self.assertEqual({name: self.properties.get(name) for name in expected}, expected)
        info = summary(OPTIONS.msi)
        self.assertEqual(info["Template"], "Intel;1033", "a 32-bit package")
        self.assertEqual(int(info["Source"].split()[0]) & NEEDS_NO_ELEVATION, 0,
                         "marked as installing without an administrator")

    def test_product_code_follows_the_version_and_package_code_the_content(self):
        derived = uuid.uuid5(uuid.UUID(UPGRADE_CODE), OPTIONS.version)
        self.assertEqual(self.properties["ProductCode"], "{" + str(derived).upper() + "}")
        following = properties(self.next_msi)
        self.assertEqual(following["UpgradeCode"], UPGRADE_CODE)
        self.assertNotEqual(following["ProductCode"], self.properties["ProductCode"])
        codes = {package_code(OPTIONS.msi), package_code(self.next_msi)}
        self.assertEqual(len(codes), 2, "two packages share a package code")
        self.assertNotIn("{" + str(uuid.UUID(int=0)) + "}", codes)

    def test_replaces_older_versions_and_stops_under_a_newer_one(self):
        rows = {int(row["Attributes"]) & ONLY_DETECT: row
                for row in table(OPTIONS.msi, "Upgrade") if row["UpgradeCode"] == UPGRADE_CODE}
        self.assertEqual(sorted(rows), [0, ONLY_DETECT], rows)
        older, newer = rows[0], rows[ONLY_DETECT]
        self.assertEqual((older["VersionMin"], older["VersionMax"]), ("", OPTIONS.version))
        self.assertFalse(int(older["Attributes"]) & VERSION_MAX_INCLUSIVE)
        self.assertEqual((newer["VersionMin"], newer["VersionMax"]), (OPTIONS.version, ""))
        self.assertFalse(int(newer["Attributes"]) & VERSION_MIN_INCLUSIVE)
        # Per machine, only secure properties reach the part that installs.
        secure = self.properties["SecureCustomProperties"].split(";")
        for row in (older, newer):
            self.assertIn(row["ActionProperty"], secure)
        conditions = {row["Condition"]: row["Description"]
                      for row in table(OPTIONS.msi, "LaunchCondition")}
        self.assertIn("newer version of FileCopy is installed",
                      conditions.get(f"NOT {newer['ActionProperty']}", ""))
        steps = {row["Action"]: int(row["Sequence"])
                 for row in table(OPTIONS.msi, "InstallExecuteSequence")}
        self.assertLess(steps["FindRelatedProducts"], steps["LaunchConditions"])
        self.assertLess(steps["InstallValidate"], steps["RemoveExistingProducts"])
        self.assertLess(steps["RemoveExistingProducts"], steps["InstallInitialize"])

    def test_puts_the_zips_program_and_readme_in_program_files(self):
        files = {row["FileName"]: row["Component_"] for row in table(OPTIONS.msi, "File")}
        self.assertEqual(sorted(files), ["FileCopy.exe", "README.txt"], "the simulator stays out")
        components = {row["Component"]: row for row in table(OPTIONS.msi, "Component")}
        folders = {row["Directory"]: row for row in table(OPTIONS.msi, "Directory")}
        for name, component in files.items():
            with self.subTest(file=name):
                self.assertFalse(int(components[component]["Attributes"]) & COMPONENT_64_BIT)
                folder = folders[components[component]["Directory_"]]
                self.assertEqual(folder["DefaultDir"], "FileCopy")
                self.assertEqual(folder["Directory_Parent"], "ProgramFilesFolder")
                self.assertEqual(folders["ProgramFilesFolder"]["Directory_Parent"], "TARGETDIR")
        with zipfile.ZipFile(OPTIONS.zip) as package:
            for name in files:
                with self.subTest(file=name):
                    self.assertEqual((self.installed / name).read_bytes(), package.read(name))


    def test_registers_the_event_source_and_removes_it_with_the_program(self):
        values = {row["Name"]: (row["Root"], row["Value"], row["Component_"])
                  for row in table(OPTIONS.msi, "Registry") if row["Key"] == EVENT_SOURCE}
        # EventMessageFile as Windows documents it, REG_EXPAND_SZ (#%); "-":
        # the key with all its values goes when the component does.
        self.assertEqual(values, {"EventMessageFile": (HKLM, "#%[#FileCopy.exe]", "Program"),
                                  "TypesSupported": (HKLM, "#7", "Program"),
                                  "-": (HKLM, "", "Program")})
        program = {row["Component"]: row for row in table(OPTIONS.msi, "Component")}["Program"]
        self.assertEqual(int(program["Attributes"]) & COMPONENT_PERMANENT, 0)
        self.assertEqual(program["Condition"], "")

    def test_wmdcfix_runs_system_tools_only_where_asked_and_the_service_is_there(self):
        searches = {row["Property"]: row["Signature_"] for row in table(OPTIONS.msi, "AppSearch")}
        locators = {row["Signature_"]: row for row in table(OPTIONS.msi, "RegLocator")}
        steps = {row["Action"]: row for row in table(OPTIONS.msi, "InstallExecuteSequence")}
        texts = {row["Action"]: row["Description"] for row in table(OPTIONS.msi, "ActionText")}
        secure = self.properties["SecureCustomProperties"].split(";")
        self.assertIn("WMDCFIX", secure)
        # Nothing of the services goes with FileCopy's components.
        self.assertEqual({row["Key"] for row in table(OPTIONS.msi, "Registry")}, {EVENT_SOURCE})
        self.assertEqual(table(OPTIONS.msi, "ServiceControl"), [])
        commands = {}
        for row in table(OPTIONS.msi, "CustomAction"):
            with self.subTest(action=row["Action"]):
                # Nothing a user could have written runs elevated: no program
                # stored in the package (Binary) or taken from another folder.
                self.assertEqual((int(row["Type"]), row["Source"]), (SYSTEM_TOOL, "SystemFolder"))
                tool, _, arguments = row["Target"].partition(" ")
                self.assertIn(tool, [f'"[SystemFolder]{name}.exe"' for name in ("reg", "sc", "net")])
                step = steps[row["Action"]]
                commands[arguments] = (step["Condition"], int(step["Sequence"]),
                                       texts.get(row["Action"], ""))
        self.assertEqual(table(OPTIONS.msi, "Binary"), [])
        began = int(steps["InstallInitialize"]["Sequence"])
        finished = int(steps["InstallFinalize"]["Sequence"])
        for name, found in WMDC_SERVICES.items():
            with self.subTest(service=name):
                locator = locators[searches[found]]
                self.assertEqual((locator["Root"], locator["Key"], locator["Name"], locator["Type"]),
                                 (HKLM, SERVICES + name, "Start", RAW_VALUE))
                self.assertIn(found, secure)
                # Where asked and the key exists (its Start was found); the
                # start type only where disabled; never while removing.
                there = f'WMDCFIX="1" AND {found} AND NOT REMOVE'
                disabled = f'WMDCFIX="1" AND {found}="#4" AND NOT REMOVE'
                key = "HKLM\\" + SERVICES + name
                changes = [commands.pop(f"add {key} /v SvcHostSplitDisable /t REG_DWORD /d 1 /f"),
                           commands.pop(f"add {key} /v Start /t REG_DWORD /d 2 /f"),
                           commands.pop(f"config {name} start= auto")]
                stop, start = commands.pop(f"stop {name} /y"), commands.pop(f"start {name}")
                self.assertEqual([step[0] for step in changes + [stop, start]],
                                 [there, disabled, disabled, there, there])
                self.assertLess(began, min(step[1] for step in changes))
                self.assertLess(max(step[1] for step in changes), stop[1])
                self.assertLess(stop[1], start[1])
                self.assertLess(start[1], finished)
                self.assertIn("a restart of the PC finishes the fix", start[2])
        self.assertEqual(commands, {}, "runs something else")

    def test_schema_stays_that_windows_xp_sp3_installs(self):
        self.assertEqual(summary(OPTIONS.msi)["Version"].split()[0], SCHEMA)
        present = tables(OPTIONS.msi)
        for name in LATER_TABLES & present:
            self.assertEqual(table(OPTIONS.msi, name), [], name)
        for name, column in LATER_COLUMNS:
            if name in present:
                self.assertEqual({row[column] for row in table(OPTIONS.msi, name)} - {""}, set(),
                                 f"{name}.{column}")
        for row in table(OPTIONS.msi, "Component"):
            self.assertEqual(int(row["Attributes"]) & LATER_COMPONENT_ATTRIBUTES, 0, row)


class MsiClockTest(unittest.TestCase):
    """wixl and msibuild write the time they read into the package, so each
    must read the same one however long the steps before took."""

    def test_wixl_and_msibuild_read_one_unmoving_time(self):
        temp = OPTIONS.temp / "clock"
        temp.mkdir()
        readings = temp / "readings"
        # Reads the clock, takes longer than a second, reads it again, and
        # writes the package wixl would.
        tool = temp / "tool"
        tool.write_text(f"""#!{sys.executable}
import sys, time
def read():
    with open({str(readings)!r}, "a") as out:
        out.write(repr(time.time()) + "\\n")
read()
time.sleep(1.1)
read()
if "--output" in sys.argv:
    open(sys.argv[sys.argv.index("--output") + 1], "wb").write(b"package")
""")
        tool.chmod(0o755)
        (temp / "FileCopy.exe").write_bytes(b"program")
        (temp / "FileCopy.wxs").write_text("<Wix/>")
        (temp / "rows.sql").write_text("-- none\n")
        subprocess.run([sys.executable, str(OPTIONS.make_msi), "--msi", str(temp / "out.msi"),
                        "--wxs", str(temp / "FileCopy.wxs"), "--rows", str(temp / "rows.sql"),
                        "--architecture", "x86",
                        "--subject", "FileCopy", "--author", "FileCopy",
                        "--upgrade-code", UPGRADE_CODE, "--wixl", str(tool),
                        "--msibuild", str(tool), "--faketime", OPTIONS.faketime,
                        f"FileCopy.exe={temp / 'FileCopy.exe'}"], check=True)
        fixed = calendar.timegm((1980, 1, 1, 0, 0, 0))
        # wixl once, msibuild twice; each reads it twice.
        self.assertEqual([float(line) for line in readings.read_text().split()], [fixed] * 6)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--msi", required=True, type=Path)
    parser.add_argument("--zip", required=True, type=Path, help="the zip of the same build")
    parser.add_argument("--version", required=True, help="the version the build was given")
    parser.add_argument("--next-version", required=True, type=Path,
                        help="the folder holding the packages of the next version")
    parser.add_argument("--make-msi", required=True, type=Path, help="release/windows/make_msi.py")
    parser.add_argument("--faketime", required=True, help="the faketime the build uses")
    OPTIONS = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="filecopy-msi-tables-") as temp:
        OPTIONS.temp = Path(temp)
        suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(case)
                                   for case in (MsiTablesTest, MsiClockTest))
        result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
