#!/usr/bin/env python3
"""FileCopy.exe as a Windows user meets it: its file, then the program under
Wine with the device simulator installed as the system's rapi.dll.

--group file  checks the executable file with objdump; needs no Wine.
--group wine  boots a throwaway prefix of one Windows layout (--layout) under
              a private Xvfb and runs the program: usage, transfers, failures
              with their message window, Unicode names in two code pages,
              planted libraries. Exits 77, saying why, when this machine
              cannot run that layout.

These are the cases; rig.py sets up and runs Wine, pe_file.py reads PE files.
"""

import argparse
import hashlib
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import time
import unittest
import zipfile
from pathlib import Path
from xml.etree import ElementTree

from pe_file import PeFile, message_table, version_blocks
from rig import LAYOUTS, ROOT_RECORDS, Console, Rig, windows_path

SKIP_EXIT = 77
CHUNK = 10240
DEVICE_EXPORT = "remanx.imp"  # what -d fetches
DEVICE_IMPORT = "remanx.exp"  # what -u stores
# Where -u writes before it moves the file into place.
STAGED_IMPORT = "\\Tarvel\\remanx.exp.filecopy"
CAPTION = "Filecopy"
# Wine's msgbox trace prints each non-ASCII UTF-16 unit as \XXXX.
MESSAGE_TRACE = 'trace:msgbox:MSGBOX_OnInit L"B\\0142\\0105d podczas kopiowania pliku"'
# Wine keeps no Application log, but says what each ReportEventW call wrote:
# its type and ID in a fixme of advapi, then each line of its strings on the
# eventlog channel (err: an error, warn: a warning, trace: information).
EVENT_DEBUG = "fixme+advapi,err+eventlog,warn+eventlog,trace+eventlog"
EVENT_TYPES = {1: "error", 2: "warning", 4: "information"}
# The event of each failure's exit status, of a stop and of a copy made, as
# README.txt lists them.
FAILURE_EVENTS = {1: ("error", 101), 2: ("warning", 102)}
STOP_EVENT = ("warning", 103)
COPY_EVENT = ("information", 100)
# The message table's languages, and how many inserts each event's message takes.
MESSAGE_LANGUAGES = {0x409: "English", 0x415: "Polish"}
EVENT_INSERTS = {100: 4, 101: 3, 102: 3, 103: 3}
USAGE = (
    "*** Program do kopiowania plikow dla aplikacji Remanex ***\n"
    "\nOpcje wywolania: \n"
    "   -d [nazwa_pliku]\tkopiowanie pliku wyeksportowanego przez \n"
    "\t\t\tRemanex do pliku [nazwa_pliku]\n\n"
    "   -u [nazwa_pliku]\tkopiowanie pliku [nazwa_pliku]\n"
    "\t\t\tdla programu Remanex\n\n"
).replace("\n", "\r\n").encode("ascii")
# Beside the zip: the next version's packages, which the ctest fixture
# windows_package_next_version builds for the MSI case to upgrade to.
NEXT_VERSION_FOLDER = "next-version"
# What msiexec ends with when an installation fails (ERROR_INSTALL_FAILURE);
# Wine's exit status keeps its low byte.
INSTALL_FAILURE_STATUS = 1603 & 0xFF
SERVICE_KEYS = r"HKLM\SYSTEM\CurrentControlSet\Services"
EVENT_SOURCE_KEY = SERVICE_KEYS + r"\EventLog\Application\FileCopy"
# What the MSI log says where WMDCFIX=1 restarts a service.
RESTART_NOTE = "WMDCFIX: starting the service {}"
RESTART_FINISHES = "a restart of the PC finishes the fix"
# Names of local files per locale: under C.UTF-8 (ANSI code page 1252) one no
# single-byte code page holds, so only the wide API can open it; under the
# Polish locale (code page 1250, as on a Polish Windows) what the staff type.
LOCAL_NAMES = {"C.UTF-8": "zażółć_日本.txt", "pl_PL.UTF-8": "spis_łódź.txt"}
# Every function FileCopy.exe may import, each one checked to be exported by
# Windows XP SP3's own DLLs (SetDllDirectoryW since XP SP1, the rest since
# Windows 2000 or earlier, or XP: MSDN's "Minimum supported client" says so for
# CreateThread, GetCurrentProcess, GetVersionExW, TerminateProcess, CompareFileTime,
# GetFileType and GetProcessTimes too). A new import fails the test until it has
# been checked the same way and added here. advapi32's service, registry and
# event log calls, and what came after XP (the Restart Manager,
# GetFinalPathNameByHandleW, QueryFullProcessImageNameW), are found at run time.
XP_SP3_IMPORTS = {
    "kernel32.dll": set("""
        CloseHandle CompareFileTime CreateEventW CreateFileA CreateFileW CreateSemaphoreW
        CreateThread DeleteCriticalSection DeleteFileW EnterCriticalSection FindClose
        FindFirstFileW FindNextFileW FlushFileBuffers FormatMessageW FreeLibrary GetConsoleMode
        GetCurrentProcess GetCurrentProcessId GetCurrentThreadId GetEnvironmentVariableW
        GetFileAttributesW GetFileInformationByHandle GetFileSizeEx GetFileType
        GetFullPathNameW GetVersionExW
        GetLastError GetModuleFileNameW GetModuleHandleA GetModuleHandleW GetProcAddress
        GetProcessTimes GetStartupInfoW GetStdHandle GetSystemDirectoryA GetUserDefaultUILanguage
        InitializeCriticalSection
        IsDBCSLeadByteEx LeaveCriticalSection LoadLibraryA LoadLibraryExA LoadLibraryW
        LocalFree MoveFileExW MultiByteToWideChar OpenProcess QueryPerformanceCounter
        QueryPerformanceFrequency ReadConsoleInputA ReadFile ReleaseSemaphore ResetEvent
        SetConsoleCtrlHandler SetConsoleMode SetDllDirectoryW SetEvent SetLastError
        SetUnhandledExceptionFilter Sleep TerminateProcess TlsAlloc TlsFree TlsGetValue
        TlsSetValue
        VirtualProtect VirtualQuery WaitForMultipleObjects WaitForSingleObject
        WideCharToMultiByte WriteConsoleW WriteFile
    """.split()),
    "msvcrt.dll": set("""
        __mb_cur_max __p__commode __p__fmode __p__wcmdln __set_app_type __setusermatherr
        __wgetmainargs __winitenv _amsg_exit _cexit _close _errno _initterm _iob _onexit _read
        abort atoi calloc exit fflush fprintf fputc fputs free fwrite localeconv malloc memchr
        memcmp memcpy memmove memset realloc setlocale signal strchr strcmp strerror strlen
        strncmp vfprintf wcslen wcstoul
    """.split()),
}
# The 64-bit build is not shipped: it runs this suite under 64-bit-only Wine.
# Its start-up and unwinding code imports these as well, from 64-bit Windows' own DLLs.
WIN64_TEST_BUILD_IMPORTS = {
    "kernel32.dll": set("""
        RaiseException RtlCaptureContext RtlLookupFunctionEntry RtlUnwindEx RtlVirtualUnwind
        __C_specific_handler
    """.split()),
    "msvcrt.dll": set("___lc_codepage_func ___mb_cur_max_func __iob_func _commode _fmode _wcmdln"
                      .split()),
}
MANIFEST_ARCHITECTURES = {0x014C: "x86", 0x8664: "amd64"}
RT_MESSAGETABLE = 11
RT_VERSION = 16
RT_MANIFEST = 24
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V2 = "urn:schemas-microsoft-com:asm.v2"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
MANIFEST_NAMESPACES = {
    "v1": ASM_V1, "v3": ASM_V3, "compatibility": "urn:schemas-microsoft-com:compatibility.v1",
    "smi2005": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
    "smi2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
}
SUPPORTED_OS = {  # Vista, 7, 8, 8.1, 10 and 11
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}

# Every rapi.dll has CeRapiInitEx, so the program waits for its event.
CONNECTED = "CeRapiInitEx(ptr) = 0x00000000"
# The Polish locale gives Wine a Polish user interface language, and with it
# the program's Polish lines.
STOPPED_LINES = {"C.UTF-8": b"FileCopy: copy stopped before it was complete\r\n",
                 "pl_PL.UTF-8": b"FileCopy: kopiowanie przerwane przed jego zakonczeniem\r\n"}
WAIT_LINE_IN_POLISH = "Czekam na polaczenie z terminalem... (Ctrl+C przerywa)"

OPTIONS = None
RIG = None


def random_bytes(size, seed):
    return random.Random(seed).randbytes(size)


def files_in(folder):
    return sorted(os.listdir(folder))


# How Wine's debug output writes the characters it escapes (\XXXX: UTF-16).
ESCAPES = {"\\": "\\", '"': '"', "r": "\r", "n": "\n", "t": "\t"}


def events(stderr):
    """The events a run wrote under EVENT_DEBUG, each (type, ID, [strings])."""
    written = []
    for line in stderr.splitlines():
        call = re.search(r":fixme:advapi:ReportEventW \(\w+,0x(\w{4}),0x\w{4},0x(\w{8}),", line)
        if call:
            written.append((EVENT_TYPES[int(call.group(1), 16)], int(call.group(2), 16), []))
            continue
        piece = re.search(r':(?:err|warn|trace):eventlog:ReportEventW L"(.*)"(\.\.\.)?$', line)
        if piece and written:
            strings = written[-1][2]
            text = re.sub(r'\\(\\|"|r|n|t|[0-9a-fA-F]{4})', lambda escape: ESCAPES.get(
                escape.group(1)) or chr(int(escape.group(1), 16)), piece.group(1))
            text += piece.group(2) or ""  # cut short by Wine
            # Wine writes a string a line at a time.
            if strings and strings[-1].endswith("\n"):
                strings[-1] += text
            else:
                strings.append(text)
    return written


def said(result):
    """The program's lines on standard error as one text, without its name."""
    return "\r\n".join(line.decode("utf-8")[len("FileCopy: "):].rstrip("\r\n")
                       for line in result.error_lines())


def download_calls(size):
    calls = [
        CONNECTED,
        f'CeCreateFile("\\Tarvel\\{DEVICE_EXPORT}", 0xC0000000, 0, null, 4, 0x00000080, null)'
        " = 0x00000100",
    ]
    remaining = size
    while True:
        count = min(remaining, CHUNK)
        calls.append(f"CeReadFile(0x00000100, ptr, {CHUNK}, ptr, null) = 1 [{count}]")
        remaining -= count
        if count == 0:
            break
    return calls + ["CeCloseHandle(0x00000100) = 1", "CeRapiUninit() = 0x00000000"]


def upload_calls(size, replaces=False):
    """The upload's calls: the file is written under a temporary name, then the
    old one (if any: replaces) is deleted and the new one moved into its place."""
    calls = [
        CONNECTED,
        f'CeCreateFile("{STAGED_IMPORT}", 0xC0000000, 0, null, 2, 0x00000080, null)'
        " = 0x00000100",
    ]
    for start in range(0, size, CHUNK):
        count = min(size - start, CHUNK)
        calls.append(f"CeWriteFile(0x00000100, ptr, {count}, ptr, null) = 1 [{count}]")
    return calls + [
        "CeCloseHandle(0x00000100) = 1",
        f'CeDeleteFile("\\Tarvel\\{DEVICE_IMPORT}") = {1 if replaces else 0}',
        f'CeMoveFile("{STAGED_IMPORT}", "\\Tarvel\\{DEVICE_IMPORT}") = 1',
        "CeRapiUninit() = 0x00000000",
    ]


# The executable file.

class ProgramFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.headers = subprocess.run([OPTIONS.objdump, "-p", OPTIONS.exe], capture_output=True,
                                     text=True, check=True, timeout=60).stdout
        cls.pe = PeFile(OPTIONS.exe)
        cls.resources = cls.pe.resources()

    def test_is_a_console_program_for_the_intended_processor(self):
        found = re.search(r"file format (\S+)", self.headers)
        self.assertIsNotNone(found)
        self.assertEqual(found.group(1), OPTIONS.pe_format)
        subsystem = re.search(r"^Subsystem\s+(\w+)", self.headers, re.MULTILINE)
        self.assertIsNotNone(subsystem)
        self.assertEqual(int(subsystem.group(1), 16), 3, "not a console (CUI) program")
        # XP is 5.1; its 64-bit edition 5.2.
        oldest = (5, 1) if self.pe.machine == 0x014C else (5, 2)
        for field in ("OSystem", "Subsystem"):
            with self.subTest(field=field):
                version = tuple(
                    int(re.search(rf"^{kind}{field}Version\s+(\d+)", self.headers,
                                  re.MULTILINE).group(1)) for kind in ("Major", "Minor"))
                self.assertLessEqual(version, oldest, "Windows XP would refuse to start it")

    def test_imports_only_windows_own_libraries(self):
        imported = {}
        library = None
        for line in self.headers.splitlines():
            named = re.match(r"\s*DLL Name: (\S+)$", line)
            entry = re.match(r"\t[0-9a-f]+\t +\d+ +(\S+)$", line)
            if named:
                library = named.group(1).lower()
                imported[library] = set()
            elif entry and library:
                imported[library].add(entry.group(1))
        self.assertIn("CloseHandle", imported.get("kernel32.dll", ()))
        allowed = {name: set(functions) for name, functions in XP_SP3_IMPORTS.items()}
        if self.pe.machine == 0x8664:
            for name, functions in WIN64_TEST_BUILD_IMPORTS.items():
                allowed[name] |= functions
        for name, functions in imported.items():
            with self.subTest(dll=name):
                self.assertFalse(name.startswith(("libgcc", "libstdc++", "libwinpthread")),
                                 "the C++ runtime must be linked in")
                self.assertNotEqual(name, "rapi.dll", "rapi.dll must be loaded at run time")
                self.assertEqual(sorted(functions - allowed.get(name, set())), [],
                                 f"imports from {name} not yet checked against Windows XP SP3")

    def test_version_resource_names_this_version(self):
        blocks = [data for key, data in self.resources.items() if key[0] == RT_VERSION]
        self.assertEqual(len(blocks), 1, "expected one version resource")
        key, fixed, children = version_blocks(blocks[0])
        self.assertEqual(key, "VS_VERSION_INFO")
        signature, _, *numbers = struct.unpack_from("<6I", fixed)
        self.assertEqual(signature, 0xFEEF04BD)
        major, minor, patch = (int(part) for part in OPTIONS.version.split("."))
        self.assertEqual(numbers, [major << 16 | minor, patch << 16] * 2,
                         "file and product version")
        blocks = {child[0]: child[2] for child in children}
        (table,) = blocks["StringFileInfo"]
        strings = {name: value for name, value, _ in table[2]}
        self.assertEqual({name: strings.get(name) for name in (
            "FileVersion", "ProductVersion", "OriginalFilename", "InternalName", "ProductName")},
            {"FileVersion": OPTIONS.version, "ProductVersion": OPTIONS.version,
             "OriginalFilename": "FileCopy.exe", "InternalName": "FileCopy",
             "ProductName": "FileCopy"})
        self.assertTrue(strings.get("FileDescription"))
        self.assertTrue(strings.get("LegalCopyright"))
        ((name, translation, _),) = blocks["VarFileInfo"]
        self.assertEqual(name, "Translation")
        language, codepage = struct.unpack("<HH", translation)
        self.assertEqual(codepage, 1200, "the strings are Unicode")
        self.assertEqual(table[0].upper(), f"{language:04X}{codepage:04X}",
                         "the string table and the translation name different languages")

    def test_message_table_has_each_event_in_english_and_polish(self):
        tables = {key[2]: message_table(data) for key, data in self.resources.items()
                  if key[0] == RT_MESSAGETABLE}
        self.assertEqual(sorted(tables), sorted(MESSAGE_LANGUAGES))
        for language, messages in tables.items():
            with self.subTest(language=MESSAGE_LANGUAGES[language]):
                self.assertEqual(sorted(messages), sorted(EVENT_INSERTS))
                for number, inserts in EVENT_INSERTS.items():
                    self.assertEqual(sorted(set(re.findall(r"%([1-9])", messages[number]))),
                                     [str(insert) for insert in range(1, inserts + 1)], number)
        for number in EVENT_INSERTS:
            self.assertNotEqual(tables[0x409][number], tables[0x415][number], "not translated")

    def test_manifest_is_one_that_windows_xp_to_11_accept(self):
        manifests = [(key, data) for key, data in self.resources.items() if key[0] == RT_MANIFEST]
        self.assertEqual([key[1] for key, _ in manifests], [1], "expected one manifest, id 1")
        text = manifests[0][1].decode("utf-8")
        root = ElementTree.fromstring(text)
        ns = MANIFEST_NAMESPACES
        self.assertEqual(root.tag, f"{{{ASM_V1}}}assembly")
        architecture = MANIFEST_ARCHITECTURES[self.pe.machine]
        self.assertEqual(root.find("v1:assemblyIdentity", ns).get("processorArchitecture"),
                         architecture)
        levels = [element.attrib for uri in (ASM_V2, ASM_V3) for element in root.iterfind(
            "{0}trustInfo/{0}security/{0}requestedPrivileges/{0}requestedExecutionLevel".format(
                f"{{{uri}}}"))]
        self.assertEqual(levels, [{"level": "asInvoker", "uiAccess": "false"}])
        self.assertEqual({element.get("Id") for element in root.iterfind(
            "compatibility:compatibility/compatibility:application/compatibility:supportedOS", ns)},
            SUPPORTED_OS)
        dependencies = [element.attrib for element in root.iterfind(
            "v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", ns)]
        self.assertEqual(len(dependencies), 1, dependencies)
        self.assertIn(dependencies[0].pop("processorArchitecture", None), (architecture, "*"))
        self.assertEqual(dependencies[0], {
            "type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
            "publicKeyToken": "6595b64144ccf1df", "language": "*"})
        settings = root.find("v3:application/v3:windowsSettings", ns)
        self.assertIsNotNone(settings)
        self.assertEqual(settings.findtext("smi2005:dpiAware", None, ns).strip().lower(),
                         "true/pm")
        self.assertEqual(re.sub(r"\s", "", settings.findtext("smi2016:dpiAwareness", "", ns)),
                         "PerMonitorV2,PerMonitor")
        # Windows XP's parser: a namespace declared twice on one element crashes
        # XP SP2 (KB921337), and the Vista elements must come through a prefix.
        for tag in re.findall(r"<[A-Za-z][^>]*>", text):
            declared = re.findall(r'xmlns(?::[\w.-]+)?="([^"]*)"', tag)
            self.assertEqual(len(declared), len(set(declared)), tag)
        self.assertNotIn(f'xmlns="{ASM_V3}"', text)

    def test_is_stripped_and_holds_no_build_time_or_folder(self):
        self.assertEqual(self.pe.timestamp, 0, "the linker's time stamp")
        self.assertEqual(self.pe.symbol_count, 0, "symbols")
        self.assertEqual([name for name in self.pe.section_names() if name.startswith(".debug")],
                         [])
        for folder in OPTIONS.build_folder:
            for encoding in ("utf-8", "utf-16-le"):
                with self.subTest(folder=folder, encoding=encoding):
                    self.assertNotIn(folder.encode(encoding), self.pe.data)


# The program under Wine.

class Case:
    """One run's folders: the simulated device's root, the current folder and
    the call log."""

    def __init__(self, label):
        self.folder = RIG.new_folder(label)
        self.device = self.folder / "device"
        self.tarvel = self.device / "Tarvel"
        self.tarvel.mkdir(parents=True)
        self.local = self.folder / "local"
        self.local.mkdir()
        self.log = self.folder / "calls.log"

    def simulator(self, **faults):
        return dict(ROOT=windows_path(self.device), LOG=windows_path(self.log), **faults)

    def calls(self):
        return self.log.read_text("utf-8").splitlines() if self.log.exists() else []

    def environment(self, debug, locale, bound, faults, call_bound=None, event_log=None):
        env = RIG.environment(debug, self.simulator(**faults), locale)
        for name, value in (("FILECOPY_CONNECT_TIMEOUT", bound),
                            ("FILECOPY_CALL_TIMEOUT", call_bound),
                            ("FILECOPY_EVENT_LOG", event_log)):
            if value is not None:
                env[name] = value
        return env

    def start(self, *arguments, debug="-all", cwd=None, locale="C.UTF-8", program=None,
              bound=None, call_bound=None, event_log=None, **faults):
        env = self.environment(debug, locale, bound, faults, call_bound, event_log)
        return RIG.start_program(arguments, cwd or self.local, env, self.folder, program)

    def console(self, *arguments, stderr_to_console=False, locale="C.UTF-8", debug="-all",
                **faults):
        """The program in a console; its standard error to a file unless asked."""
        stderr = None if stderr_to_console else self.folder / "stderr"
        return Console(RIG, self.folder, arguments, self.environment(debug, locale, None, faults),
                       self.local, stderr)

    def run(self, *arguments, timeout=60, **options):
        return self.start(*arguments, **options).finish(timeout)


class WineTest(unittest.TestCase):
    maxDiff = 4000

    def new_case(self, label):
        return Case(re.sub(r"[^A-Za-z0-9]+", "-", f"{type(self).__name__}-{label}"))

    def assertSucceeded(self, result):
        self.assertEqual(result.status, 0, result.describe())
        self.assertEqual(result.error_lines(), [], result.describe())

    def fail_with_window(self, case, arguments, key, screenshot=None, status=1, lines=1,
                         **options):
        """Runs a copy that must fail: it shows the message window, waits for
        it, ends with status (1, or 2 for no device) once key answers it, and
        says why on stderr, in lines lines (a second one: the advice), which
        one event of the status's type holds (none with event_log="off")."""
        running = case.start(*arguments, debug="-all,+msgbox," + EVENT_DEBUG, **options)
        try:
            deadline = time.monotonic() + 45
            windows = []
            while not windows and running.running() and time.monotonic() < deadline:
                time.sleep(0.1)
                windows = RIG.visible_windows()
            if not running.running():
                self.fail("ended without a message window: " + running.finish(5).describe())
            self.assertTrue(windows, "no message window appeared")
            self.window_shown_after = time.monotonic() - running.started
            time.sleep(0.5)  # painted before it is looked at
            windows = RIG.visible_windows()
            self.assertEqual(len(windows), 1, "expected exactly one window")
            name = RIG.x("xdotool", "getwindowname", windows[0]).stdout.rstrip("\n")
            self.assertEqual(name, CAPTION)
            if screenshot:
                screenshot.unlink(missing_ok=True)
                taken = RIG.x("import", "-window", "root", str(screenshot))
                self.assertEqual(taken.returncode, 0, taken.stderr)
                self.assertEqual(screenshot.read_bytes()[:8], b"\x89PNG\r\n\x1a\n")
            time.sleep(0.5)
            self.assertTrue(running.running(), "did not wait for the window to be answered")
            RIG.x("xdotool", "key", "--window", windows[0], key)
            result = running.finish(20)
        finally:
            if running.running():
                running.process.kill()
                running.process.wait()
        self.assertEqual(result.status, status, result.describe())
        self.assertEqual(result.stderr.count(MESSAGE_TRACE), 1, result.describe())
        self.assertEqual(len(result.error_lines()), lines, result.describe())
        self.assertTrue(result.error_lines()[0].endswith(b"\r\n"), result.describe())
        self.assertEqual(RIG.visible_windows(), [], "a window stayed open")
        self.assertEqual(events(result.stderr), [] if options.get("event_log") == "off" else [
            FAILURE_EVENTS[status] + (arguments[:2] + [said(result)],)], result.describe())
        return result


class SystemLibraries:
    """The system folder holds these DLLs (name: file) instead of the usual
    rapi.dll; the usual one is put back after."""

    def __init__(self, libraries):
        self.libraries = libraries

    def __enter__(self):
        RIG.system_library().unlink()
        for name, source in self.libraries.items():
            shutil.copyfile(source, RIG.system_dir / name)

    def __exit__(self, *exception):
        for name in self.libraries:
            (RIG.system_dir / name).unlink(missing_ok=True)
        shutil.copyfile(RIG.dll, RIG.system_library())


class UsageTest(WineTest):
    ARGUMENT_LISTS = ([], ["-d"], ["-u"], ["-D", "a.txt"], ["/u", "a.txt"], ["-dx", "a.txt"],
                      ["a.txt", "-d"])

    def test_without_a_console_writes_the_text_and_ends_at_once(self):
        for arguments in self.ARGUMENT_LISTS:
            with self.subTest(arguments=arguments):
                case = self.new_case("usage")
                result = case.run(*arguments, debug="-all,+loaddll," + EVENT_DEBUG, timeout=30)
                self.assertEqual(result.status, 0, result.describe())
                self.assertEqual(result.stdout, USAGE)
                self.assertLess(result.elapsed, 15)
                self.assertEqual(result.error_lines(), [])
                self.assertEqual(events(result.stderr), [])
                # The usage screen never touches the remote library.
                self.assertNotIn("rapi.dll", result.stderr.lower())
                self.assertFalse(case.log.exists())

    def test_with_a_terminal_waits_for_one_key(self):
        case = self.new_case("terminal")
        console = Console(RIG, case.folder, [], RIG.environment(), case.local)
        words = " ".join(USAGE.decode("ascii").split())
        self.assertTrue(console.wait_for(lambda: words in " ".join(console.screen().split()), 45),
                        "the usage text is not on the screen")
        time.sleep(2)
        self.assertIsNone(console.status(), "ended without waiting for a key")
        console.type("-l", "x")
        self.assertTrue(console.wait_for(lambda: console.status() is not None, 20),
                        "one key did not end the wait")
        self.assertEqual(console.status(), 0)


class TransferTest(WineTest):
    SIZES = (0, CHUNK, CHUNK + 1, 3 * 1024 * 1024 + 7)

    def test_download_copies_the_device_file_exactly(self):
        for size in self.SIZES:
            with self.subTest(size=size):
                case = self.new_case(f"download-{size}")
                content = random_bytes(size, size + 1)
                (case.tarvel / DEVICE_EXPORT).write_bytes(content)
                result = case.run("-d", "stock.txt", debug="-all," + EVENT_DEBUG)
                self.assertSucceeded(result)
                # By default a copy made writes no event.
                self.assertEqual(events(result.stderr), [])
                self.assertEqual((case.local / "stock.txt").read_bytes(), content)
                self.assertEqual(files_in(case.local), ["stock.txt"])
                self.assertEqual((case.tarvel / DEVICE_EXPORT).read_bytes(), content)
                self.assertEqual(case.calls(), download_calls(size))

    def test_upload_copies_the_local_file_exactly(self):
        for size in self.SIZES:
            with self.subTest(size=size):
                case = self.new_case(f"upload-{size}")
                content = random_bytes(size, size + 2)
                (case.local / "stock.txt").write_bytes(content)
                result = case.run("-u", "stock.txt", debug="-all," + EVENT_DEBUG, event_log="all")
                self.assertSucceeded(result)
                ((kind, number, strings),) = events(result.stderr)
                self.assertEqual((kind, number), COPY_EVENT)
                self.assertEqual(strings[:3], ["-u", "stock.txt", str(size)])
                self.assertRegex(strings[3], r"^\d+\.\d$", "the seconds it took")
                self.assertEqual((case.tarvel / DEVICE_IMPORT).read_bytes(), content)
                self.assertEqual((case.local / "stock.txt").read_bytes(), content)
                self.assertEqual(files_in(case.tarvel), [DEVICE_IMPORT])
                self.assertEqual(case.calls(), upload_calls(size))

    def test_download_replaces_a_longer_target_wholly(self):
        case = self.new_case("replace")
        content = random_bytes(CHUNK + 1, 3)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        (case.local / "stock.txt").write_bytes(random_bytes(30000, 4))
        self.assertSucceeded(case.run("-d", "stock.txt"))
        self.assertEqual((case.local / "stock.txt").read_bytes(), content)
        self.assertEqual(files_in(case.local), ["stock.txt"])

    def test_download_flushes_its_data_before_the_rename_and_the_rename_after(self):
        # Wine traces the calls on its file channel, each with the handle.
        case = self.new_case("flushes")
        content = random_bytes(2 * CHUNK + 3, 26)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        (case.local / "stock.txt").write_bytes(b"old")
        result = case.run("-d", "stock.txt", debug="-all,+file")
        self.assertSucceeded(result)
        self.assertEqual((case.local / "stock.txt").read_bytes(), content)
        self.assertEqual(temporary_file_calls(result.stderr)[:4],
                         ["write", "flush", "rename", "flush"])

    def test_download_of_an_absent_export_creates_it_and_an_empty_target(self):
        case = self.new_case("absent")
        self.assertSucceeded(case.run("-d", "stock.txt"))
        self.assertEqual((case.tarvel / DEVICE_EXPORT).read_bytes(), b"")
        self.assertEqual((case.local / "stock.txt").read_bytes(), b"")
        self.assertEqual(files_in(case.local), ["stock.txt"])
        self.assertEqual(case.calls(), download_calls(0))


def temporary_file_calls(trace):
    """What was done to the download's temporary file, in order, each run of
    one kind once: write, flush, rename."""
    lines = trace.splitlines()
    created = next(number for number, line in enumerate(lines)
                   if "CreateFileW L" in line and ".filecopy-" in line)
    handle = next(int(found.group(1), 16) for line in lines[created:]
                  if (found := re.search(r"CreateFileW returning ([0-9a-fA-F]+)", line)))
    kinds = {f"NtWriteFile (0x{handle:x},": "write",
             f"NtFlushBuffersFileEx (0x{handle:x},": "flush",
             f"NtSetInformationFile (0x{handle:x},": "rename"}
    calls = []
    for line in lines[created:]:
        for call, kind in kinds.items():
            # FileRenameInformation is class 10.
            if call in line and (kind != "rename" or line.rstrip().endswith(",0x0000000a)")):
                if not calls or calls[-1] != kind:
                    calls.append(kind)
    return calls


class FailureTest(WineTest):
    def download_case(self, label):
        case = self.new_case(label)
        self.device_content = random_bytes(50000, 5)
        self.old_target = random_bytes(5000, 6)
        (case.tarvel / DEVICE_EXPORT).write_bytes(self.device_content)
        (case.local / "stock.txt").write_bytes(self.old_target)
        return case

    def assertTargetIntact(self, case):
        self.assertEqual((case.local / "stock.txt").read_bytes(), self.old_target)
        self.assertEqual(files_in(case.local), ["stock.txt"], "a temporary file was left")
        self.assertEqual((case.tarvel / DEVICE_EXPORT).read_bytes(), self.device_content)

    def test_without_the_system_library(self):
        # As a Polish stock-taking PC shows it.
        case = self.download_case("no-library")
        with SystemLibraries({}):
            result = self.fail_with_window(
                case, ["-d", "stock.txt"], "Return", locale="pl_PL.UTF-8",
                screenshot=RIG.output / f"message-window-{RIG.name}.png")
        self.assertTargetIntact(case)
        self.assertEqual(case.calls(), [])
        # The library is looked for in the system directory and nowhere else.
        self.assertIn(b"c:\\windows\\system32\\rapi.dll", result.error_lines()[0].lower())
        # In the PC's language, with what to install for it.
        self.assertTrue(result.error_lines()[0].startswith(b"FileCopy: nie mozna wywolac CeRapiInit"),
                        result.error_lines()[0])
        self.assertTrue(result.error_lines()[0].endswith(
            b" (dostarcza ja: Centrum obslugi urzadzen z systemem Windows Mobile)\r\n"),
            result.error_lines()[0])

    def test_when_the_connection_fails(self):
        # A fresh prefix has no Windows Mobile Device Center.
        case = self.download_case("connect")
        result = self.fail_with_window(case, ["-d", "stock.txt"], "Escape", status=2, lines=2,
                                       FAIL_CONNECT=1)
        self.assertEqual(result.error_lines()[1], NO_DEVICE_CENTER)
        self.assertTargetIntact(case)
        self.assertEqual(case.calls(), [CONNECTED, "CeRapiUninit() = 0x00000000"])

    def test_why_no_device_when_the_services_are_stopped_or_disabled(self):
        for label, start_types, advice in SERVICE_CASES:
            with self.subTest(services=label):
                for name, start in start_types.items():
                    RIG.wine_tool("sc.exe", "create", name, "binpath=",
                                  "C:\\windows\\system32\\notepad.exe", "start=", start)
                    self.addCleanup(RIG.wine_tool, "sc.exe", "delete", name)
                case = self.download_case(f"services-{label}")
                result = self.fail_with_window(case, ["-d", "stock.txt"], "Return", status=2,
                                               lines=2, FAIL_CONNECT=1)
                self.assertEqual(result.error_lines()[1], advice)
                self.doCleanups()

    def test_why_no_device_when_the_services_run_apart(self):
        # Wine 10 tells the program it is Windows 10 (build 19043), whose
        # services manager runs each of these in a process of its own.
        service = windows_path(Path(OPTIONS.idle_service).resolve())
        for name in ("RapiMgr", "WcesComm"):
            RIG.wine_tool("sc.exe", "create", name, "binpath=", service, "type=", "own")
            self.addCleanup(RIG.wine_tool, "sc.exe", "delete", name)
            RIG.wine_tool("sc.exe", "start", name)
            self.addCleanup(RIG.wine_tool, "sc.exe", "stop", name)
        # The split is undone only where both keys say so.
        for split_disabled, advice in (((), SERVICES_SPLIT), (("RapiMgr",), SERVICES_SPLIT),
                                       (("RapiMgr", "WcesComm"), CHECK_THE_HANDHELD)):
            with self.subTest(split_disabled=split_disabled):
                for name in ("RapiMgr", "WcesComm"):
                    RIG.wine_tool("reg.exe", "add", rf"HKLM\SYSTEM\CurrentControlSet\Services\{name}",
                                  "/v", "SvcHostSplitDisable", "/t", "REG_DWORD", "/d",
                                  "1" if name in split_disabled else "0", "/f")
                case = self.download_case(f"services-apart-{len(split_disabled)}")
                result = self.fail_with_window(case, ["-d", "stock.txt"], "Return", status=2,
                                               lines=2, FAIL_CONNECT=1)
                self.assertEqual(result.error_lines()[1], advice)

    def test_when_the_handheld_is_locked(self):
        case = self.download_case("locked")
        result = self.fail_with_window(case, ["-d", "stock.txt"], "Return", status=2, lines=2,
                                       event_log="off", CONNECT_RESULT="0x80070056")
        self.assertIn(b"the connection failed with 0x80070056", result.error_lines()[0])
        self.assertEqual(result.error_lines()[1],
                         b"FileCopy: the handheld is locked: unlock it and run again\r\n")
        self.assertTargetIntact(case)

    def test_when_the_handheld_stops_answering(self):
        # The bound's thread reports, shows the window and ends the program.
        case = self.download_case("hang")
        result = self.fail_with_window(case, ["-d", "stock.txt"], "Return", status=2,
                                       call_bound="2", HANG_AFTER=2 * CHUNK)
        self.assertEqual(result.error_lines()[0], b"FileCopy: the handheld stopped answering "
                         b"during CeReadFile; dock it and run again\r\n")
        self.assertTargetIntact(case)
        self.assertEqual(case.calls()[-1],
                         "CeReadFile(0x00000100, ptr, 10240, ptr, null) hangs")

    def test_when_no_device_connects_within_the_bound(self):
        case = self.download_case("bound")
        result = self.fail_with_window(case, ["-d", "stock.txt"], "Return", status=2, bound="2",
                                       lines=2, NO_DEVICE=1)
        self.assertIn(b"no device connected within 2 s", result.error_lines()[0])
        self.assertEqual(result.error_lines()[1], NO_DEVICE_CENTER)
        self.assertGreater(result.elapsed, 2)
        self.assertTargetIntact(case)
        self.assertEqual(case.calls(), [CONNECTED, "CeRapiUninit() = 0x00000000"])

    def test_when_the_bound_is_not_a_number_of_seconds(self):
        case = self.download_case("bad-bound")
        result = self.fail_with_window(case, ["-d", "stock.txt"], "Return", bound="10s")
        self.assertIn(b'FILECOPY_CONNECT_TIMEOUT is "10s"', result.error_lines()[0])
        self.assertTargetIntact(case)
        self.assertEqual(case.calls(), [], "the device was contacted")

    def test_when_the_event_log_setting_is_unknown(self):
        for locale, line in BAD_EVENT_LOG_LINES.items():
            with self.subTest(locale=locale):
                case = self.download_case(f"bad-event-log-{locale}")
                result = self.fail_with_window(case, ["-d", "stock.txt"], "Return",
                                               locale=locale, event_log="of")
                self.assertEqual(result.error_lines()[0], line)
                self.assertTargetIntact(case)
                self.assertEqual(case.calls(), [], "the device was contacted")

    def test_when_a_device_read_fails_part_way(self):
        case = self.download_case("read")
        self.fail_with_window(case, ["-d", "stock.txt"], "Return", FAIL_READ_AFTER=25000)
        self.assertTargetIntact(case)
        calls = case.calls()
        self.assertEqual(calls[:2], download_calls(50000)[:2])
        reads = [call for call in calls if call.startswith("CeReadFile(")]
        self.assertEqual(reads[:2], [download_calls(50000)[2]] * 2, "failed too early")
        self.assertRegex(reads[-1], r"^CeReadFile\(0x00000100, ptr, 10240, ptr, null\) = 0\b")
        # After the failed read the link and the device are asked why (the
        # fault gives no reason), then the handle and the connection released.
        self.assertEqual(calls[calls.index(reads[-1]) + 1:],
                         FAILURE_ASKED + ["CeCloseHandle(0x00000100) = 1",
                                          "CeRapiUninit() = 0x00000000"])

    def test_when_a_device_write_fails_part_way_the_old_file_stays(self):
        case = self.new_case("write")
        old = random_bytes(3000, 11)
        (case.tarvel / DEVICE_IMPORT).write_bytes(old)
        (case.local / "stock.txt").write_bytes(random_bytes(50000, 12))
        self.fail_with_window(case, ["-u", "stock.txt"], "Return", FAIL_WRITE_AFTER=25000)
        self.assertEqual((case.tarvel / DEVICE_IMPORT).read_bytes(), old)
        self.assertEqual(files_in(case.tarvel), [DEVICE_IMPORT], "a temporary file was left")
        calls = case.calls()
        self.assertEqual(calls[:2], upload_calls(50000)[:2])
        self.assertRegex(calls[-6], r"^CeWriteFile\(0x00000100, ptr, 10240, ptr, null\) = 0\b")
        self.assertEqual(calls[-5:-3], FAILURE_ASKED)
        # The handle is closed before its file is removed, the connection last.
        self.assertEqual(calls[-3:], ["CeCloseHandle(0x00000100) = 1",
                                      f'CeDeleteFile("{STAGED_IMPORT}") = 1',
                                      "CeRapiUninit() = 0x00000000"])

    def test_when_the_local_source_cannot_be_opened(self):
        case = self.new_case("source")
        (case.tarvel / DEVICE_IMPORT).write_bytes(b"kept")
        self.fail_with_window(case, ["-u", "absent.txt"], "Escape")
        self.assertEqual((case.tarvel / DEVICE_IMPORT).read_bytes(), b"kept")
        self.assertEqual(files_in(case.tarvel), [DEVICE_IMPORT])
        self.assertEqual(files_in(case.local), [])
        self.assertEqual(case.calls(), [])


BAD_EVENT_LOG_LINES = {
    "C.UTF-8": b'FileCopy: FILECOPY_EVENT_LOG is "of", not off, failures or all\r\n',
    "pl_PL.UTF-8": b'FileCopy: FILECOPY_EVENT_LOG ma wartosc "of", a nie off, failures ani all\r\n'}
# What a failed call is followed by: the link held, the device gave no reason.
FAILURE_ASKED = ["CeRapiGetError() = 0x00000000", "CeGetLastError() = 0"]
NO_DEVICE_CENTER = (b"FileCopy: Windows Mobile Device Center is not installed or is damaged (there "
                    b"is no service RapiMgr): install it, README.txt says where from\r\n")
SERVICES_SPLIT = (b"FileCopy: Windows runs the services RapiMgr and WcesComm in separate "
                  b"processes, where they do not work together: an administrator must set "
                  b"SvcHostSplitDisable to 1 for both and restart them, as README.txt shows, or "
                  b"install FileCopy's MSI with WMDCFIX=1\r\n")
CHECK_THE_HANDHELD = (b"FileCopy: check that the handheld is docked, switched on and unlocked, and "
                      b"that Windows Mobile Device Center shows it as connected\r\n")
# The services as Wine's sc makes them: installed but stopped, or disabled.
SERVICE_CASES = (
    ("stopped", {"RapiMgr": "demand", "WcesComm": "demand"},
     b"FileCopy: the service RapiMgr of Windows Mobile Device Center is not running: an "
     b"administrator must start it (net start RapiMgr) or set its start type to Automatic\r\n"),
    ("disabled", {"RapiMgr": "demand", "WcesComm": "disabled"},
     b"FileCopy: the service WcesComm of Windows Mobile Device Center is disabled: an "
     b"administrator must set its start type to Automatic and start it (net start WcesComm), or "
     b"install FileCopy's MSI with WMDCFIX=1\r\n"),
)


class UnattendedTest(WineTest):
    """FileCopy.exe in a window station nobody sees, as Task Scheduler runs a
    task "whether the user is logged on or not": nothing may wait for anyone.
    The helper starts it there (status 124: it had to be ended after 30 s)."""

    def test_a_failure_ends_by_itself_with_its_line_and_no_window(self):
        case = self.new_case("failure")
        (case.local / "stock.txt").write_bytes(b"old")
        result = case.start(windows_path(RIG.program), "-d", "stock.txt",
                            debug="-all,+msgbox," + EVENT_DEBUG, bound="10s",
                            program=Path(OPTIONS.invisible_station).resolve()).finish(60)
        self.assertEqual(result.status, 1, result.describe())
        self.assertEqual(len(result.error_lines()), 1, result.describe())
        self.assertIn(b'FILECOPY_CONNECT_TIMEOUT is "10s"', result.error_lines()[0])
        # What the task's administrator finds in the Application log.
        self.assertEqual(events(result.stderr),
                         [FAILURE_EVENTS[1] + (["-d", "stock.txt", said(result)],)])
        self.assertNotIn("MSGBOX_OnInit", result.stderr, "a message window was shown")
        self.assertEqual(RIG.visible_windows(), [])
        self.assertEqual(case.calls(), [])
        self.assertEqual((case.local / "stock.txt").read_bytes(), b"old")

    def test_the_systems_reason_is_in_the_users_language_only_in_a_run_that_speaks_it(self):
        # Wine has the system's texts in Polish as well as English, as a Windows
        # with both languages has: a Polish PC's run gets them in Polish, and
        # one that FILECOPY_LANGUAGE makes English gets English ones there.
        for language, line in (
                (None, 'FileCopy: nie mozna otworzyc pliku lokalnego "absent.txt": '
                       'Nie znaleziono pliku.\r\n'),
                ("en", 'FileCopy: cannot open local file "absent.txt": File not found.\r\n')):
            with self.subTest(language=language):
                case = self.new_case(f"reason-{language}")
                env = case.environment("-all", "pl_PL.UTF-8", None, {})
                if language:
                    env["FILECOPY_LANGUAGE"] = language
                result = RIG.start_program(
                    [windows_path(RIG.program), "-u", "absent.txt"], case.local, env, case.folder,
                    Path(OPTIONS.invisible_station).resolve()).finish(60)
                self.assertEqual(result.status, 1, result.describe())
                self.assertEqual(result.error_lines(), [line.encode()])

    def test_the_usage_screen_in_a_console_ends_without_a_key(self):
        case = self.new_case("usage")
        console = Console(RIG, case.folder, [windows_path(RIG.program)], RIG.environment(),
                          case.local, program=Path(OPTIONS.invisible_station).resolve())
        self.assertTrue(console.wait_for(lambda: console.status() is not None, 45),
                        "still waiting for a key: " + console.screen())
        self.assertEqual(console.status(), 0)
        words = " ".join(USAGE.decode("ascii").split())
        self.assertIn(words, " ".join(console.screen().split()))


class LocalFileTest(WineTest):
    """The PC's own files as Windows has them: held by another program (the
    helper, holding it without sharing), device names, paths past MAX_PATH,
    and what a killed run leaves."""

    def hold(self, path, milliseconds):
        folder = RIG.new_folder("holder")
        holder = RIG.start_program([windows_path(path), str(milliseconds)], folder,
                                   RIG.environment(), folder, Path(OPTIONS.hold_file).resolve())
        self.addCleanup(stop_if_running, holder)
        held = lambda: (folder / "stdout").read_bytes().startswith(b"held")
        if not (eventually(lambda: held() or not holder.running(), 30) and held()):
            self.fail("the helper did not hold it: " + holder.finish(5).describe())
        return holder

    def test_a_target_held_for_a_moment_is_replaced_once_let_go(self):
        case = self.new_case("held-briefly")
        content = random_bytes(CHUNK + 1, 21)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        (case.local / "stock.txt").write_bytes(b"old")
        holder = self.hold(case.local / "stock.txt", 1500)
        result = case.run("-d", "stock.txt")
        self.assertSucceeded(result)
        self.assertGreater(result.elapsed, 1, "it did not wait for the file to be let go")
        self.assertEqual(holder.finish(10).status, 0)
        self.assertEqual((case.local / "stock.txt").read_bytes(), content)
        self.assertEqual(files_in(case.local), ["stock.txt"])

    def test_a_target_held_for_good_fails_within_6_s_saying_it_is_held(self):
        case = self.new_case("held")
        (case.tarvel / DEVICE_EXPORT).write_bytes(random_bytes(CHUNK, 22))
        (case.local / "stock.txt").write_bytes(b"old")
        self.hold(case.local / "stock.txt", 120000)
        result = self.fail_with_window(case, ["-d", "stock.txt"], "Return")
        self.assertGreater(self.window_shown_after, 4.5, "it was not waited for")
        self.assertLess(self.window_shown_after, 8)
        # Wine's Restart Manager lists no program for it, so the line names none;
        # on Windows it reads "it is open in Microsoft Excel (EXCEL.EXE); ...".
        self.assertEqual(result.error_lines(), [
            b'FileCopy: cannot replace local file "stock.txt": it is open in another program; '
            b"close it there and run again\r\n"])
        self.assertEqual(case.calls(), [], "the device was contacted")
        self.assertEqual((case.local / "stock.txt").read_bytes(), b"old")
        self.assertEqual(files_in(case.local), ["stock.txt"])

    def test_the_uploads_source_cannot_be_opened_by_another_program_meanwhile(self):
        case = self.new_case("source-unshared")
        content = random_bytes(30 * CHUNK, 25)
        (case.local / "stock.txt").write_bytes(content)
        uploading = case.start("-u", "stock.txt", CALL_DELAY_MS=50)
        self.addCleanup(stop_if_running, uploading)
        self.assertTrue(eventually(
            lambda: sum("CeWriteFile(" in call for call in case.calls()) >= 2, 45))
        # Only to read it, as a viewer would: a sharing violation while the
        # upload holds it, and allowed once it is done.
        reader = [windows_path(case.local / "stock.txt"), "0", "read"]
        folder = RIG.new_folder("reader")
        during = RIG.start_program(reader, folder, RIG.environment(), folder,
                                   Path(OPTIONS.hold_file).resolve()).finish(30)
        self.assertTrue(uploading.running(), "the upload ended too soon to tell")
        self.assertEqual(during.status, 1, during.describe())
        self.assertIn("cannot open it: 32\r\n", during.stderr)
        self.assertSucceeded(uploading.finish(60))
        self.assertEqual((case.tarvel / DEVICE_IMPORT).read_bytes(), content)
        folder = RIG.new_folder("reader")
        after = RIG.start_program(reader, folder, RIG.environment(), folder,
                                  Path(OPTIONS.hold_file).resolve()).finish(30)
        self.assertEqual(after.status, 0, after.describe())

    def test_a_device_name_is_refused(self):
        for name in ("NUL", "com1.txt", "COM\u00b9.txt"):
            with self.subTest(name=name):
                case = self.new_case(f"device-{name}")
                result = self.fail_with_window(case, ["-d", name], "Return")
                self.assertEqual(result.error_lines(), [
                    f'FileCopy: cannot create local file "{name}": it is not a regular file\r\n'
                    .encode()])
                self.assertEqual(case.calls(), [])
                self.assertEqual(files_in(case.local), [])

    def test_a_path_of_300_characters_both_ways(self):
        case = self.new_case("long-path")
        content = random_bytes(CHUNK + 7, 23)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        folders = ["a" * 120, "b" * 120]
        name = "stock-" + "c" * 52
        typed = "\\".join(folders + [name])
        self.assertEqual(len(typed), 300)
        folder = case.local.joinpath(*folders)
        folder.mkdir(parents=True)
        self.assertSucceeded(case.run("-d", typed))
        self.assertEqual((folder / name).read_bytes(), content)
        self.assertEqual(files_in(folder), [name])
        self.assertSucceeded(case.run("-u", typed))
        self.assertEqual((case.tarvel / DEVICE_IMPORT).read_bytes(), content)

    def test_a_killed_download_is_tidied_by_the_next_and_two_at_once_end_whole(self):
        case = self.new_case("killed")
        content = random_bytes(50 * CHUNK, 24)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        reads = lambda: sum("CeReadFile(" in call for call in case.calls())
        killed = case.start("-d", "stock.txt", CALL_DELAY_MS=20)
        self.assertTrue(eventually(lambda: reads() >= 3, 45), case.calls()[-3:])
        killed.process.kill()
        killed.process.wait()
        self.assertTrue(any(name.startswith("stock.txt.filecopy-") for name in files_in(case.local)),
                        "nothing to tidy up")
        # The second starts part-way through the first.
        before = reads()
        first = case.start("-d", "stock.txt", CALL_DELAY_MS=10)
        self.assertTrue(eventually(lambda: reads() >= before + 3, 45))
        second = RIG.start_program(["-d", "stock.txt"], case.local,
                                   case.environment("-all", "C.UTF-8", None, {}),
                                   RIG.new_folder("second"))
        self.assertSucceeded(second.finish(60))
        self.assertSucceeded(first.finish(60))
        self.assertEqual((case.local / "stock.txt").read_bytes(), content)
        self.assertEqual(files_in(case.local), ["stock.txt"])

class UnicodeNameTest(WineTest):
    def test_a_file_with_a_national_name_both_ways(self):
        for locale, name in LOCAL_NAMES.items():
            with self.subTest(locale=locale):
                case = self.new_case(locale)
                content = random_bytes(25000, 7)
                (case.tarvel / DEVICE_EXPORT).write_bytes(content)
                (case.tarvel / DEVICE_IMPORT).write_bytes(b"old")
                self.assertSucceeded(case.run("-d", name, locale=locale))
                self.assertEqual(files_in(case.local), [name])
                self.assertEqual((case.local / name).read_bytes(), content)
                self.assertSucceeded(case.run("-u", name, locale=locale))
                self.assertEqual((case.tarvel / DEVICE_IMPORT).read_bytes(), content)
                self.assertEqual(files_in(case.tarvel), sorted([DEVICE_EXPORT, DEVICE_IMPORT]))
                self.assertEqual(case.calls(),
                                 download_calls(25000) + upload_calls(25000, replaces=True))


class PlantedLibraryTest(WineTest):
    """Copies of rapi.dll, and of a DLL a rapi.dll needs, beside the program and
    in the current folder: Windows would find them there before the system
    folder if the program asked for the bare name, or loaded rapi.dll with the
    default search order."""

    @staticmethod
    def variants():
        """The simulator alone, and the one that needs rapihelp.dll; and which
        DLL each leaves out of the system folder to see if a planted copy
        stands in for it."""
        helped = Path(OPTIONS.dll_with_helper).resolve()
        return {"alone": ({"rapi.dll": RIG.dll}, "rapi.dll"),
                "with-helper": ({"rapi.dll": helped,
                                 "rapihelp.dll": helped.parent / "rapihelp.dll"}, "rapihelp.dll")}

    def plant(self, libraries, folders):
        for name, source in libraries.items():
            for folder in folders:
                shutil.copyfile(source, folder / name)
            self.addCleanup((RIG.app / name).unlink, missing_ok=True)

    def test_planted_copies_are_not_loaded_in_place_of_missing_system_ones(self):
        for variant, (libraries, left_out) in self.variants().items():
            with self.subTest(library=variant):
                case = self.new_case(f"missing-{variant}")
                (case.tarvel / DEVICE_EXPORT).write_bytes(random_bytes(20000, 9))
                # Wine keeps the current folder in the search path for a DLL's
                # own DLLs, after the system folders, even once the program
                # has taken it out; Windows does not. So the missing helper is
                # planted beside the program only.
                folders = [RIG.app] if left_out == "rapihelp.dll" else [RIG.app, case.local]
                self.plant(libraries, folders)
                installed = {name: file for name, file in libraries.items() if name != left_out}
                with SystemLibraries(installed):
                    self.fail_with_window(case, ["-d", "stock.txt"], "Return")
                self.assertEqual(case.calls(), [], "a planted copy was loaded")

    def test_the_system_copies_are_the_ones_loaded(self):
        for variant, (libraries, _) in self.variants().items():
            with self.subTest(library=variant):
                case = self.new_case(f"present-{variant}")
                content = random_bytes(20000, 10)
                (case.tarvel / DEVICE_EXPORT).write_bytes(content)
                self.plant(libraries, [RIG.app, case.local])
                with SystemLibraries(libraries):
                    result = case.run("-d", "stock.txt", debug="-all,+loaddll")
                self.assertSucceeded(result)
                self.assertEqual((case.local / "stock.txt").read_bytes(), content)
                for name in libraries:
                    loads = [line for line in result.stderr.splitlines()
                             if "Loaded" in line and f"\\\\{name}" in line.lower()]
                    self.assertTrue(loads, f"no load of {name} was traced:\n"
                                    + result.stderr[-2000:])
                    for line in loads:
                        # A 32-bit process on 64-bit Windows sees syswow64 as system32.
                        self.assertIn(f"c:\\\\windows\\\\system32\\\\{name}", line.lower())


class StopTest(WineTest):
    """Ctrl+C in the console that runs the program, at each moment of a copy:
    Wine turns the terminal's interrupt into CTRL_C_EVENT."""

    MOMENTS = {
        # moment: (option, simulator, the state to stop in, locale)
        "waiting-for-the-event": ("-d", dict(NO_DEVICE=1), "connecting", "C.UTF-8"),
        "in-ceRapiInit": ("-d", dict(NO_DEVICE=1), "connecting", "C.UTF-8"),
        "downloading": ("-d", dict(CALL_DELAY_MS=20), "CeReadFile(", "C.UTF-8"),
        "uploading": ("-u", dict(CALL_DELAY_MS=20), "CeWriteFile(", "pl_PL.UTF-8"),
        # A read that never returns: the stop cannot wait for it.
        "in-a-hung-read": ("-d", dict(HANG_AFTER=2 * CHUNK), ") hangs", "C.UTF-8"),
    }

    def test_ctrl_c_stops_the_copy_and_leaves_everything_as_it_was(self):
        for moment, (option, faults, state, locale) in self.MOMENTS.items():
            with self.subTest(moment=moment):
                case = self.new_case(f"stop-{moment}")
                (case.tarvel / DEVICE_EXPORT).write_bytes(random_bytes(50 * CHUNK, 13))
                (case.tarvel / DEVICE_IMPORT).write_bytes(b"old")
                (case.local / "stock.txt").write_bytes(random_bytes(50 * CHUNK, 14))
                before = {folder: snapshot(folder) for folder in (case.local, case.tarvel)}
                # Without CeRapiInitEx, CeRapiInit blocks until CeRapiUninit comes from
                # the thread that handles the Ctrl+C.
                libraries = ({"rapi.dll": Path(OPTIONS.dll_without_init_ex).resolve()}
                             if moment == "in-ceRapiInit" else {"rapi.dll": RIG.dll})
                with SystemLibraries(libraries):
                    console = case.console(option, "stock.txt", locale=locale,
                                           debug="-all," + EVENT_DEBUG, **faults)
                    if state == "connecting":
                        started = console.wait_for(
                            lambda: any(name.startswith("stock.txt.filecopy-")
                                        for name in files_in(case.local)), 45)
                        time.sleep(1)
                    else:
                        calls = 1 if moment == "in-a-hung-read" else 3
                        started = console.wait_for(
                            lambda: sum(state in call for call in case.calls()) >= calls, 45)
                    self.assertTrue(started, f"never got to {state}: {case.calls()[-3:]}")
                    stopped_at = time.monotonic()
                    console.type("C-c")
                    self.assertTrue(console.wait_for(lambda: console.status() is not None, 20),
                                    "Ctrl+C did not end it")
                self.assertLess(time.monotonic() - stopped_at, 5)
                self.assertEqual(console.status(), 1)
                written = (case.folder / "stderr").read_bytes()
                self.assertEqual(re.sub(rb"(?m)^\w+:(fixme|err|warn|trace):.*\n", b"", written),
                                 STOPPED_LINES[locale])
                self.assertEqual(events(written.decode("utf-8")), [STOP_EVENT + (
                    [option, "stock.txt", STOPPED_LINES[locale].decode()[10:-2]],)])
                self.assertEqual(RIG.visible_windows(), [], "a window was shown")
                for folder, files in before.items():
                    self.assertEqual(snapshot(folder), files, f"{folder.name} changed")
                calls = case.calls()
                if moment == "in-ceRapiInit":
                    # The Uninit from the stop's thread makes the blocked CeRapiInit fail.
                    self.assertIn("CeRapiUninit() = 0x00000000", calls)
                    self.assertRegex(calls[-1], r"^CeRapiInit\(\) = 0x[89A-F]")
                elif moment == "in-a-hung-read":
                    # Within two seconds of the stop, the read still hanging.
                    self.assertLess(time.monotonic() - stopped_at, 3)
                    self.assertRegex(calls[-1], r"hangs$")
                else:
                    self.assertEqual(calls[-1], "CeRapiUninit() = 0x00000000", calls[-3:])

    def test_the_wait_for_a_late_device_is_shown_on_the_console_and_then_cleared(self):
        case = self.new_case("wait-line")
        content = random_bytes(CHUNK + 1, 15)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        console = case.console("-d", "stock.txt", stderr_to_console=True, locale="pl_PL.UTF-8",
                               CONNECT_DELAY_MS=3000)
        self.assertTrue(console.wait_for(lambda: WAIT_LINE_IN_POLISH in console.screen(), 45),
                        "the wait is not on the console: " + console.screen())
        self.assertTrue(console.wait_for(lambda: console.status() is not None, 30))
        self.assertEqual(console.status(), 0)
        self.assertEqual(console.screen().strip(), "", "the line was not cleared")
        self.assertEqual((case.local / "stock.txt").read_bytes(), content)


def eventually(done, timeout):
    deadline = time.monotonic() + timeout
    while not done():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


def stop_if_running(running):
    if running.running():
        running.process.kill()
        running.process.wait()


def snapshot(folder):
    return {path.name: path.read_bytes() for path in sorted(folder.iterdir())}


def skip_without_packages(test):
    if OPTIONS.packages_missing:
        test.skipTest("the package target cannot make the packages here, missing: "
                      + OPTIONS.packages_missing)


class PackageTest(WineTest):
    """The zip's program where an administrator puts it, with the zip's
    simulator as the system's rapi.dll."""

    def setUp(self):
        skip_without_packages(self)
        self.program = rf"C:\{RIG.layout.program_files}\FileCopy\FileCopy.exe"
        folder = RIG.prefix / "drive_c" / RIG.layout.program_files / "FileCopy"
        folder.mkdir(parents=True, exist_ok=True)
        self.addCleanup(shutil.rmtree, folder)
        with zipfile.ZipFile(OPTIONS.zip) as package:
            (folder / "FileCopy.exe").write_bytes(package.read("FileCopy.exe"))
            simulator = RIG.temp / "packaged-rapi.dll"
            simulator.write_bytes(package.read("symulator/rapi.dll"))
        self.enterContext(SystemLibraries({"rapi.dll": simulator}))

    def test_download_and_upload(self):
        case = self.new_case("transfers")
        content = random_bytes(2 * CHUNK + 5, 11)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        result = case.run("-d", "stock.txt", debug="-all,+actctx", program=self.program)
        self.assertSucceeded(result)
        self.assertEqual((case.local / "stock.txt").read_bytes(), content)
        # Wine read the manifest through, without complaint.
        self.assertNotIn("err:actctx", result.stderr)
        for setting in ("Microsoft.Windows.Common-Controls", "dpiAwareness"):
            self.assertTrue(setting in result.stderr, f"{setting} was not read from the manifest")
        content = random_bytes(CHUNK + 3, 12)
        (case.local / "prices.txt").write_bytes(content)
        self.assertSucceeded(case.run("-u", "prices.txt", program=self.program))
        self.assertEqual((case.tarvel / DEVICE_IMPORT).read_bytes(), content)
        self.assertEqual(case.calls(), download_calls(2 * CHUNK + 5) + upload_calls(CHUNK + 3))


class MsiPackageTest(WineTest):
    """The MSI as a deployment script runs it, silently: msiexec /i installs it
    for the whole machine with its event source, the next version's package
    replaces it, this one is then refused, and msiexec /x removes it all; and
    WMDCFIX=1 with and without Windows Mobile Device Center's services. In each
    layout, as a 32-bit package lands elsewhere on 64-bit Windows."""

    def setUp(self):
        skip_without_packages(self)
        self.package = Path(OPTIONS.zip).resolve().with_suffix(".msi")
        (self.next_package,) = (self.package.parent / NEXT_VERSION_FOLDER).glob(
            "FileCopy-*.msi")
        self.folder = RIG.prefix / "drive_c" / RIG.layout.program_files / "FileCopy"
        self.program = rf"C:\{RIG.layout.program_files}\FileCopy\FileCopy.exe"
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)
        # A 32-bit package on 64-bit Windows lists itself in the 32-bit view.
        redirected = RIG.layout.winearch == "win64" and RIG.layout.machine == "win32"
        view = "Wow6432Node\\" if redirected else ""
        self.uninstall_key = rf"HKLM\Software\{view}Microsoft\Windows\CurrentVersion\Uninstall"

    def msiexec(self, action, package, *properties):
        """msiexec's status and its whole log."""
        folder = RIG.new_folder("msiexec")
        log = folder / "msiexec.log"
        arguments = [action, windows_path(package), "/qn", "/l*v", windows_path(log), *properties]
        result = RIG.start_program(arguments, folder, RIG.environment(), folder,
                                   "msiexec.exe").finish(120)
        return result.status, log.read_text("latin-1") if log.exists() else "no log"

    @staticmethod
    def values(key):
        """A registry key's values, {name: (type, data)}, or None where it is missing."""
        try:
            text = RIG.wine_tool("reg.exe", "query", key)
        except RuntimeError:
            return None
        return {name: (kind, data) for name, kind, data
                in re.findall(r"^    (\S+)    (REG_\w+)    (.*?)\r?$", text, re.MULTILINE)}

    def event_source(self):
        return {"EventMessageFile": ("REG_EXPAND_SZ", self.program),
                "TypesSupported": ("REG_DWORD", "0x7")}

    @staticmethod
    def digest(content):
        return hashlib.sha256(content).hexdigest()

    def installed(self):
        """The installed files' digests, and the version of each FileCopy entry
        in the Uninstall key with whether it offers Modify."""
        files = {name: self.digest((self.folder / name).read_bytes())
                 for name in files_in(self.folder)} if self.folder.exists() else {}
        entries, values = [], None
        for line in RIG.wine_tool("reg.exe", "query", self.uninstall_key, "/s").splitlines():
            if line.startswith("HKEY_"):
                values = {}
                entries.append(values)
            elif values is not None and (value := re.match(r"    (.+?)    REG_\w+    (.*)", line)):
                values[value.group(1)] = value.group(2)
        return files, [(entry.get("DisplayVersion"), entry.get("NoModify")) for entry in entries
                       if entry.get("DisplayName") == "FileCopy"]

    def test_install_upgrade_refusal_of_the_older_and_removal(self):
        def shipped(package, version):
            with zipfile.ZipFile(package.with_suffix(".zip")) as archive:
                files = {name: self.digest(archive.read(name))
                         for name in ("FileCopy.exe", "README.txt")}
            return files, [(version, "0x1")]

        older = shipped(self.package, OPTIONS.version)
        newer = shipped(self.next_package, self.next_package.name.split("-")[1])
        # Windows Mobile Device Center is not installed: the fix makes no key.
        ended, log = self.msiexec("/i", self.package, "WMDCFIX=1")
        self.assertEqual(ended, 0, log[-3000:])
        self.assertEqual(self.installed(), older)
        self.assertEqual(self.values(EVENT_SOURCE_KEY), self.event_source())
        for name in ("RapiMgr", "WcesComm"):
            self.assertIsNone(self.values(rf"{SERVICE_KEYS}\{name}"), f"{name}'s key was made")
        self.assertNotIn(RESTART_FINISHES, log)

        case = self.new_case("installed")
        content = random_bytes(CHUNK + 9, 13)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        self.assertSucceeded(case.run("-d", "stock.txt", program=self.program))
        self.assertSucceeded(case.run("-u", "stock.txt", program=self.program))
        self.assertEqual((case.local / "stock.txt").read_bytes(), content)
        self.assertEqual((case.tarvel / DEVICE_IMPORT).read_bytes(), content)

        # Each step starts from what the one before left; the event source
        # stays registered while any version is installed.
        for action, package, status, left, source in (
                ("/i", self.next_package, 0, newer, self.event_source()),
                ("/i", self.package, INSTALL_FAILURE_STATUS, newer, self.event_source()),
                ("/x", self.next_package, 0, ({}, []), None)):
            step = f"msiexec {action} {package.name}"
            ended, log = self.msiexec(action, package)
            self.assertEqual(ended, status, f"{step}:\n{log[-3000:]}")
            self.assertEqual(self.installed(), left, step)
            self.assertEqual(self.values(EVENT_SOURCE_KEY), source, step)
        self.assertFalse(self.folder.exists(), "the folder stayed")

    def test_wmdcfix_sets_both_services_and_enables_the_disabled_one(self):
        services = {"RapiMgr": "demand", "WcesComm": "disabled"}
        for name, start in services.items():
            # No such program: the service cannot start, at once.
            RIG.wine_tool("sc.exe", "create", name, "binpath=",
                          f"C:\\windows\\{name}-missing.exe", "start=", start)
            self.addCleanup(RIG.wine_tool, "sc.exe", "delete", name)
        keys = {name: rf"{SERVICE_KEYS}\{name}" for name in services}
        before = {name: self.values(key) for name, key in keys.items()}
        fixed = {name: dict(values, SvcHostSplitDisable=("REG_DWORD", "0x1"))
                 for name, values in before.items()}
        fixed["WcesComm"]["Start"] = ("REG_DWORD", "0x2")  # Automatic, as WMDC installs it
        # Without the property nothing of theirs changes; with it, even where
        # this version is already installed, both are set (neither can start,
        # so the log says what finishes the fix); removing FileCopy leaves them.
        for action, properties, left, notes in (("/i", (), before, set()),
                                                ("/i", ("WMDCFIX=1",), fixed, set(services)),
                                                ("/x", (), fixed, set())):
            step = f"msiexec {action} {' '.join(properties)}"
            ended, log = self.msiexec(action, self.package, *properties)
            self.assertEqual(ended, 0, f"{step}:\n{log[-3000:]}")
            self.assertEqual({name: self.values(key) for name, key in keys.items()}, left, step)
            said = {name for name in services for line in log.splitlines()
                    if RESTART_NOTE.format(name) in line and RESTART_FINISHES in line}
            self.assertEqual(said, notes, step)


class WindowsUnitTest(WineTest):
    """The Windows build's unit tests (tests/windows), for what the program
    cannot show under Wine: links, the Restart Manager's list, a Service
    Control Manager that denies, logoff, a replaced file's permissions. Run
    by a ctest of their own (windows_unit_tests_<layout>), not with the rest."""

    def test_all_pass(self):
        folder = RIG.new_folder("unit-tests")
        result = RIG.start_program(["--gtest_brief=1"], folder, RIG.environment(), folder,
                                   Path(OPTIONS.unit_tests).resolve()).finish(240)
        report = result.stdout.decode("utf-8", "replace")
        print(report, flush=True)
        self.assertEqual(result.status, 0, result.describe())
        self.assertRegex(report, r"\[  PASSED  \] [1-9]\d* tests")


def interrupt(number, _frame):
    raise KeyboardInterrupt(f"signal {number}: stopping the Wine suite")


def main():
    global OPTIONS, RIG
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True, help="FileCopy.exe")
    parser.add_argument("--dll", required=True, help="the device simulator's rapi.dll")
    parser.add_argument("--dll-with-helper",
                        help="the simulator's rapi.dll that needs rapihelp.dll, beside it")
    parser.add_argument("--dll-without-init-ex", help="the simulator's rapi.dll without CeRapiInitEx")
    parser.add_argument("--invisible-station",
                        help="the helper that runs a program in a window station nobody sees")
    parser.add_argument("--hold-file", help="the helper that holds a file without sharing")
    parser.add_argument("--idle-service", help="the helper that runs as a service")
    parser.add_argument("--unit-tests", help="the Windows build's unit tests")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--pe-format", default="pei-i386", help="objdump's name of the format")
    parser.add_argument("--output", required=True, help="folder for logs and the screenshot")
    parser.add_argument("--version", required=True, help="the version the build was given")
    parser.add_argument("--zip", required=True, help="the Windows package")
    parser.add_argument("--packages-missing",
                        help="what the package target lacks here, to skip the packages' cases")
    parser.add_argument("--missing-groups", required=True,
                        help="where scripts/install-dependencies.sh records the groups of "
                             "packages it could not install")
    parser.add_argument("--build-folder", action="append", default=[],
                        help="a folder of the build, which the program must not name")
    parser.add_argument("--group", choices=("file", "wine"), required=True)
    parser.add_argument("--layout", choices=sorted(LAYOUTS), default="win32",
                        help="the Windows layout the wine group runs in")
    parser.add_argument("--deadline", type=int, default=600, help="seconds before giving up")
    parser.add_argument("tests", nargs="*", help="unittest names, e.g. FailureTest")
    OPTIONS = parser.parse_args()
    Path(OPTIONS.output).mkdir(parents=True, exist_ok=True)

    loader = unittest.defaultTestLoader
    module = sys.modules[__name__]
    if OPTIONS.group == "file":
        classes = [ProgramFileTest]
    else:
        classes = [UsageTest, TransferTest, FailureTest, StopTest, UnattendedTest, LocalFileTest,
                   UnicodeNameTest, PlantedLibraryTest, PackageTest, MsiPackageTest]
    if OPTIONS.tests:
        suite = loader.loadTestsFromNames(OPTIONS.tests, module)
    else:
        suite = unittest.TestSuite(loader.loadTestsFromTestCase(c) for c in classes)
    runner = unittest.TextTestRunner(stream=sys.stdout, verbosity=2)
    if OPTIONS.group == "file":
        return 0 if runner.run(suite).wasSuccessful() else 1

    # What happened to the layout, for scripts/test.sh to tell whether any
    # 32-bit layout ran.
    outcome = Path(OPTIONS.output) / f"layout-{OPTIONS.layout}.outcome"
    if not OPTIONS.tests:
        outcome.unlink(missing_ok=True)
    layout = LAYOUTS[OPTIONS.layout]
    print(f"layout {OPTIONS.layout}: {layout.title}", flush=True)
    reason = missing_group(layout)
    if reason:
        return skip(outcome, reason)
    RIG = Rig(OPTIONS)
    reason = RIG.missing_wine()
    if reason:
        return skip(outcome, reason)
    signal.signal(signal.SIGTERM, interrupt)
    signal.signal(signal.SIGALRM, interrupt)
    signal.alarm(OPTIONS.deadline)
    began = time.monotonic()
    try:
        RIG.start()
        reason = RIG.refused_program(USAGE)
        if reason:
            return skip(outcome, reason)
        RIG.code_page_check()
        print(f"prefix ready in {time.monotonic() - began:.1f} s on display {RIG.display}",
              flush=True)
        result = runner.run(suite)
    except BaseException as error:
        said = str(error).splitlines()
        outcome.write_text(f"failed: {said[0] if said else type(error).__name__}\n")
        raise
    finally:
        signal.alarm(0)
        RIG.stop()
        print(f"Wine suite took {time.monotonic() - began:.1f} s", flush=True)
    # Only the whole suite tells whether the layout ran.
    if not OPTIONS.tests:
        outcome.write_text("ran\n" if result.wasSuccessful() else "failed\n")
    return 0 if result.wasSuccessful() else 1


def missing_group(layout):
    """Why the layout's Wine could not be installed, or None: as the Debian 13
    root's recipe recorded it inside the root, or scripts/install-dependencies.sh
    on the host."""
    record = (ROOT_RECORDS if layout.in_root else Path(OPTIONS.missing_groups)) / layout.group
    if not record.is_file():
        return None
    where = " in the Debian 13 root" if layout.in_root else ""
    return (f"the packages of group {layout.group} could not be installed{where}: "
            + record.read_text().strip())


def skip(outcome, reason):
    print(f"SKIPPED: layout {OPTIONS.layout} ({LAYOUTS[OPTIONS.layout].title}) cannot run on "
          f"this machine: {reason}", flush=True)
    if not OPTIONS.tests:
        outcome.write_text(f"skipped: {reason}\n")
    return SKIP_EXIT


if __name__ == "__main__":
    sys.exit(main())
