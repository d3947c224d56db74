#!/usr/bin/env python3
"""FileCopy.exe as a Windows user meets it: its file, then the program under
Wine with the device simulator installed as the system's rapi.dll.

--group file  checks the executable file with objdump; needs no Wine.
--group wine  boots a throwaway prefix under a private Xvfb and runs the
              program: usage, transfers, failures with their message window,
              Unicode names, planted libraries. Exits 77 when this machine
              cannot run the Wine the program's architecture needs.
"""

import argparse
import os
import random
import re
import select
import shlex
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

SKIP_EXIT = 77
CHUNK = 10240
DEVICE_EXPORT = "remanx.imp"  # what -d fetches
DEVICE_IMPORT = "remanx.exp"  # what -u stores
# Where -u writes before it moves the file into place.
STAGED_IMPORT = "\\Tarvel\\remanx.exp.filecopy"
CAPTION = "Filecopy"
# Wine's msgbox trace prints each non-ASCII UTF-16 unit as \XXXX.
MESSAGE_TRACE = 'trace:msgbox:MSGBOX_OnInit L"B\\0142\\0105d podczas kopiowania pliku"'
USAGE = (
    "*** Program do kopiowania plikow dla aplikacji Remanex ***\n"
    "\nOpcje wywolania: \n"
    "   -d [nazwa_pliku]\tkopiowanie pliku wyeksportowanego przez \n"
    "\t\t\tRemanex do pliku [nazwa_pliku]\n\n"
    "   -u [nazwa_pliku]\tkopiowanie pliku [nazwa_pliku]\n"
    "\t\t\tdla programu Remanex\n\n"
).replace("\n", "\r\n").encode("ascii")
# Outside every single-byte ANSI code page, so only the wide API can open it.
UNICODE_NAME = "zażółć_日本.txt"
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "msvcrt.dll", "advapi32.dll", "gdi32.dll", "shell32.dll",
    "ole32.dll", "oleaut32.dll", "ws2_32.dll", "ntdll.dll", "ucrtbase.dll", "shlwapi.dll",
    "comctl32.dll", "version.dll",
}
MACHINES = {0x014C: "win32", 0x8664: "win64"}

OPTIONS = None
RIG = None


def pe_machine(path):
    data = Path(path).read_bytes()
    (offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[offset:offset + 4] != b"PE\0\0":
        raise ValueError(f"{path} is not a PE file")
    (machine,) = struct.unpack_from("<H", data, offset + 4)
    return machine


def random_bytes(size, seed):
    return random.Random(seed).randbytes(size)


def windows_path(path):
    # Wine's Z: drive is the Unix root.
    return "Z:" + str(path).replace("/", "\\")


def files_in(folder):
    return sorted(os.listdir(folder))


def download_calls(size):
    calls = [
        "CeRapiInit() = 0x00000000",
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
        "CeRapiInit() = 0x00000000",
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


class Result:
    def __init__(self, status, stdout, stderr, elapsed):
        self.status = status
        self.stdout = stdout
        self.stderr_bytes = stderr
        self.stderr = stderr.decode("utf-8", "replace")
        self.elapsed = elapsed

    def error_lines(self):
        return re.findall(rb"^FileCopy: [^\r\n]*\r?\n", self.stderr_bytes, re.MULTILINE)

    def describe(self):
        return f"status {self.status}, stderr:\n{self.stderr[-3000:]}"


class Running:
    """A started FileCopy.exe whose output goes to files in its case folder."""

    def __init__(self, command, cwd, env, folder):
        self.folder = folder
        self.started = time.monotonic()
        with open(folder / "stdout", "wb") as out, open(folder / "stderr", "wb") as err:
            self.process = subprocess.Popen(
                command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                start_new_session=True)

    def running(self):
        return self.process.poll() is None

    def finish(self, timeout):
        try:
            status = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise AssertionError(
                f"FileCopy.exe did not end within {timeout} s; stderr:\n"
                + (self.folder / "stderr").read_text("utf-8", "replace")[-3000:]) from None
        return Result(status, (self.folder / "stdout").read_bytes(),
                      (self.folder / "stderr").read_bytes(), time.monotonic() - self.started)


class Rig:
    """A private Xvfb, a throwaway prefix and its persistent wineserver; stops
    exactly what it started."""

    def __init__(self, options):
        self.exe = Path(options.exe).resolve()
        self.dll = Path(options.dll).resolve()
        self.output = Path(options.output).resolve()
        self.arch = MACHINES.get(pe_machine(self.exe))
        if self.arch is None:
            raise ValueError(f"{self.exe}: not an i386 or x86-64 program")
        if self.arch == "win32":
            self.loader = shutil.which("wine")
        else:
            self.loader = shutil.which("wine64") or (
                "/usr/lib/wine/wine64" if os.access("/usr/lib/wine/wine64", os.X_OK) else None)
        self.wineserver = shutil.which("wineserver")
        self.temp = None
        self.prefix = None
        self.display = None
        self.xvfb = None
        self.server = None
        self.tmux_socket = None
        self.tmux_pid = None
        self.case_count = 0

    def missing_wine(self):
        """Why this machine cannot run this program's Wine, or None."""
        if not self.loader or not self.wineserver:
            return None  # not a property of the machine: the install step failed
        try:
            probe = subprocess.run([self.loader, "--version"], stdin=subprocess.DEVNULL,
                                   capture_output=True, timeout=60)
        except OSError as error:
            if error.errno == 8:  # ENOEXEC
                return f"{self.loader}: {error.strerror}"
            raise
        if probe.returncode != 0 and b"Exec format error" in probe.stderr:
            return (f"the kernel refuses {'32' if self.arch == 'win32' else '64'}-bit Linux "
                    f"programs, so {self.loader} cannot start: "
                    + probe.stderr.decode(errors="replace").strip())
        return None

    # Setting up and tearing down.

    def start(self):
        if not self.loader or not self.wineserver:
            raise RuntimeError("Wine is not installed (scripts/install-dependencies.sh)")
        self.output.mkdir(parents=True, exist_ok=True)
        self.temp = Path(tempfile.mkdtemp(prefix="filecopy-wine-"))
        self.prefix = self.temp / "prefix"
        self.app = self.temp / "app"
        self.app.mkdir()
        # The caption comes from the program's name, so the copy keeps it.
        self.program = self.app / "FileCopy.exe"
        shutil.copyfile(self.exe, self.program)
        self.start_xvfb()
        self.boot()
        self.system_dir = self.prefix / "drive_c" / "windows" / "system32"
        shutil.copyfile(self.dll, self.system_library())

    def start_xvfb(self):
        read_end, write_end = os.pipe()
        try:
            with open(self.output / "xvfb.log", "wb") as log:
                self.xvfb = subprocess.Popen(
                    ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log,
                    stderr=subprocess.STDOUT, start_new_session=True)
        finally:
            os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        try:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([read_end], [], [], 1)
                if ready:
                    piece = os.read(read_end, 16)
                    if not piece:
                        break
                    number += piece
        finally:
            os.close(read_end)
        if not number.strip().isdigit():
            raise RuntimeError("Xvfb did not report its display; see xvfb.log")
        self.display = ":" + number.strip().decode()

    def boot(self):
        env = self.environment()
        with open(self.output / "boot.log", "wb") as log:
            for command, limit in (([self.loader, "wineboot.exe", "--init"], 240),
                                   ([self.wineserver, "-w"], 120)):
                status = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                        stderr=subprocess.STDOUT, timeout=limit).returncode
                if status != 0:
                    raise RuntimeError(f"{command} failed with {status}; see boot.log")
        with open(self.output / "wineserver.log", "wb") as log:
            self.server = subprocess.Popen([self.wineserver, "-p", "-f"], env=env,
                                           stdin=subprocess.DEVNULL, stdout=log,
                                           stderr=subprocess.STDOUT, start_new_session=True)
        # A client that found no socket yet would start a server of its own.
        deadline = time.monotonic() + 20
        while not self.server_socket():
            if self.server.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the persistent wineserver did not start; see wineserver.log")
            time.sleep(0.05)
        # Let Wine draw the caption itself, as there is no window manager.
        self.wine_tool("reg.exe", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated",
                       "/d", "N", "/f")
        mapped = self.wine_tool("winepath.exe", "-w", str(self.temp)).strip()
        if mapped.lower() != windows_path(self.temp).lower():
            raise RuntimeError(f"Z: does not map the Unix root: {self.temp} -> {mapped}")

    def server_base(self):
        # Debian's Wine names a private folder in the prefix; upstream uses a fixed one.
        named = self.prefix / "wineserver"
        if named.is_file():
            return Path(tempfile.gettempdir()) / named.read_text().strip()
        return Path(f"/tmp/.wine-{os.getuid()}")

    def server_socket(self):
        info = os.stat(self.prefix)
        socket = self.server_base() / f"server-{info.st_dev:x}-{info.st_ino:x}" / "socket"
        return socket.exists()

    def wine_tool(self, *command):
        # Files, not pipes: Wine's helper processes inherit them and live on.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            status = subprocess.run([self.loader, *command], env=self.environment(),
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    timeout=60).returncode
            out.seek(0)
            err.seek(0)
            if status != 0:
                raise RuntimeError(f"{command} failed: {err.read().decode(errors='replace')}")
            return out.read().decode(errors="replace")

    def stop(self):
        if self.prefix is not None:
            try:
                subprocess.run([self.wineserver, "-k"], env=self.environment(),
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=30)
            except (OSError, subprocess.TimeoutExpired):
                pass
        self.end(self.server)
        if self.prefix is not None and (self.prefix / "wineserver").is_file():
            shutil.rmtree(self.server_base(), ignore_errors=True)
        if self.tmux_socket is not None:
            subprocess.run(["tmux", "-S", str(self.tmux_socket), "kill-server"],
                           env=self.tmux_environment(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
            # The pid may have been reused once the server ended on its own.
            if self.tmux_pid is not None and str(self.tmux_socket) in command_line(self.tmux_pid):
                os.kill(self.tmux_pid, signal.SIGTERM)
        self.end(self.xvfb)
        if self.temp is not None:
            shutil.rmtree(self.temp, ignore_errors=True)

    @staticmethod
    def end(process):
        if process is None or process.poll() is not None:
            return
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()

    # Running things.

    def environment(self, debug="-all", simulator=None):
        env = {name: value for name, value in os.environ.items()
               if not name.startswith(("FILECOPY_SIM_", "WINE"))
               and name not in ("DISPLAY", "WAYLAND_DISPLAY", "LANGUAGE")}
        env.update(WINEPREFIX=str(self.prefix), WINEARCH=self.arch, WINEDEBUG=debug,
                   WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=", LC_ALL="C.UTF-8")
        if self.display:
            env["DISPLAY"] = self.display
        for name, value in (simulator or {}).items():
            env["FILECOPY_SIM_" + name] = str(value)
        return env

    def system_library(self):
        return self.system_dir / "rapi.dll"

    def new_folder(self, label):
        self.case_count += 1
        folder = self.temp / "cases" / f"{self.case_count:03d}-{label}"
        folder.mkdir(parents=True)
        return folder

    def start_program(self, arguments, cwd, env, folder):
        return Running([self.loader, str(self.program), *arguments], cwd, env, folder)

    def x(self, *command):
        env = dict(os.environ, DISPLAY=self.display)
        return subprocess.run(command, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                              text=True, timeout=20)

    def visible_windows(self):
        return self.x("xdotool", "search", "--onlyvisible", "--name", ".").stdout.split()

    def tmux_environment(self):
        return {name: value for name, value in os.environ.items() if name != "TMUX"}

    def tmux(self, *arguments):
        return subprocess.run(["tmux", "-S", str(self.tmux_socket), *arguments],
                              env=self.tmux_environment(), stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=20)

    def start_tmux(self, command):
        self.tmux_socket = self.temp / "tmux.socket"
        started = subprocess.run(
            ["tmux", "-S", str(self.tmux_socket), "-f", "/dev/null", "new-session", "-d",
             "-s", "filecopy", "-x", "120", "-y", "40", command],
            env=self.tmux_environment(), stdin=subprocess.DEVNULL, capture_output=True,
            text=True, timeout=20)
        if started.returncode != 0:
            raise RuntimeError("tmux did not start: " + started.stderr)
        pid = self.tmux("display-message", "-p", "#{pid}").stdout.strip()
        self.tmux_pid = int(pid) if pid.isdigit() else None


def command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(
            errors="replace")
    except OSError:
        return ""


# The executable file.

class ProgramFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.headers = subprocess.run([OPTIONS.objdump, "-p", OPTIONS.exe], capture_output=True,
                                     text=True, check=True, timeout=60).stdout

    def test_is_a_console_program_for_the_intended_processor(self):
        found = re.search(r"file format (\S+)", self.headers)
        self.assertIsNotNone(found)
        self.assertEqual(found.group(1), OPTIONS.pe_format)
        subsystem = re.search(r"^Subsystem\s+(\w+)", self.headers, re.MULTILINE)
        self.assertIsNotNone(subsystem)
        self.assertEqual(int(subsystem.group(1), 16), 3, "not a console (CUI) program")

    def test_imports_only_windows_own_libraries(self):
        imported = [name.lower() for name in re.findall(r"DLL Name: (\S+)", self.headers)]
        self.assertIn("kernel32.dll", imported)
        for name in imported:
            with self.subTest(dll=name):
                self.assertFalse(name.startswith(("libgcc", "libstdc++", "libwinpthread")),
                                 "the C++ runtime must be linked in")
                self.assertNotEqual(name, "rapi.dll", "rapi.dll must be loaded at run time")
                self.assertTrue(name in SYSTEM_DLLS or name.startswith("api-ms-win-"),
                                f"{name} is not part of Windows")


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

    def start(self, *arguments, debug="-all", cwd=None, **faults):
        env = RIG.environment(debug, self.simulator(**faults))
        return RIG.start_program(arguments, cwd or self.local, env, self.folder)

    def run(self, *arguments, timeout=60, **options):
        return self.start(*arguments, **options).finish(timeout)


class WineTest(unittest.TestCase):
    maxDiff = 4000

    def new_case(self, label):
        return Case(re.sub(r"[^A-Za-z0-9]+", "-", f"{type(self).__name__}-{label}"))

    def assertSucceeded(self, result):
        self.assertEqual(result.status, 0, result.describe())
        self.assertEqual(result.error_lines(), [], result.describe())

    def fail_with_window(self, case, arguments, key, screenshot=None, **options):
        """Runs a copy that must fail: it shows the message window, waits for
        it, ends with status 1 once key answers it, and says why on stderr."""
        running = case.start(*arguments, debug="-all,+msgbox", **options)
        try:
            deadline = time.monotonic() + 45
            windows = []
            while not windows and running.running() and time.monotonic() < deadline:
                time.sleep(0.1)
                windows = RIG.visible_windows()
            if not running.running():
                self.fail("ended without a message window: " + running.finish(5).describe())
            self.assertTrue(windows, "no message window appeared")
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
        self.assertEqual(result.status, 1, result.describe())
        self.assertEqual(result.stderr.count(MESSAGE_TRACE), 1, result.describe())
        self.assertEqual(len(result.error_lines()), 1, result.describe())
        self.assertTrue(result.error_lines()[0].endswith(b"\r\n"), result.describe())
        self.assertEqual(RIG.visible_windows(), [], "a window stayed open")
        return result


class SystemLibraryRemoved:
    def __enter__(self):
        self.aside = RIG.temp / "rapi.dll.aside"
        RIG.system_library().rename(self.aside)

    def __exit__(self, *exception):
        self.aside.rename(RIG.system_library())


class UsageTest(WineTest):
    ARGUMENT_LISTS = ([], ["-d"], ["-u"], ["-D", "a.txt"], ["/u", "a.txt"], ["-dx", "a.txt"],
                      ["a.txt", "-d"])

    def test_without_a_console_writes_the_text_and_ends_at_once(self):
        for arguments in self.ARGUMENT_LISTS:
            with self.subTest(arguments=arguments):
                case = self.new_case("usage")
                result = case.run(*arguments, debug="-all,+loaddll", timeout=30)
                self.assertEqual(result.status, 0, result.describe())
                self.assertEqual(result.stdout, USAGE)
                self.assertLess(result.elapsed, 15)
                self.assertEqual(result.error_lines(), [])
                # The usage screen never touches the remote library.
                self.assertNotIn("rapi.dll", result.stderr.lower())
                self.assertFalse(case.log.exists())

    def test_with_a_terminal_waits_for_one_key(self):
        case = self.new_case("terminal")
        status = case.folder / "status"
        env = RIG.environment()
        script = case.folder / "run.sh"
        script.write_text(
            "".join(f"export {name}={shlex.quote(value)}\n" for name, value in env.items()
                    if name.isidentifier())
            + f"cd {shlex.quote(str(case.local))}\n"
            + f"{shlex.quote(RIG.loader)} {shlex.quote(str(RIG.program))}\n"
            + f"echo $? > {shlex.quote(str(status))}.part && "
            + f"mv {shlex.quote(str(status))}.part {shlex.quote(str(status))}\n")
        RIG.start_tmux("sh " + shlex.quote(str(script)))
        screen = ""
        deadline = time.monotonic() + 45
        while "dla programu Remanex" not in screen and time.monotonic() < deadline:
            time.sleep(0.2)
            screen = RIG.tmux("capture-pane", "-p", "-t", "filecopy").stdout
        words = " ".join(USAGE.decode("ascii").split())
        self.assertIn(words, " ".join(screen.split()), "the usage text is not on the screen")
        time.sleep(2)
        self.assertFalse(status.exists(), "ended without waiting for a key")
        RIG.tmux("send-keys", "-t", "filecopy", "-l", "x")
        deadline = time.monotonic() + 20
        while not status.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertTrue(status.exists(), "one key did not end the wait")
        self.assertEqual(status.read_text().strip(), "0")


class TransferTest(WineTest):
    SIZES = (0, CHUNK, CHUNK + 1, 3 * 1024 * 1024 + 7)

    def test_download_copies_the_device_file_exactly(self):
        for size in self.SIZES:
            with self.subTest(size=size):
                case = self.new_case(f"download-{size}")
                content = random_bytes(size, size + 1)
                (case.tarvel / DEVICE_EXPORT).write_bytes(content)
                result = case.run("-d", "stock.txt")
                self.assertSucceeded(result)
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
                result = case.run("-u", "stock.txt")
                self.assertSucceeded(result)
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

    def test_download_of_an_absent_export_creates_it_and_an_empty_target(self):
        case = self.new_case("absent")
        self.assertSucceeded(case.run("-d", "stock.txt"))
        self.assertEqual((case.tarvel / DEVICE_EXPORT).read_bytes(), b"")
        self.assertEqual((case.local / "stock.txt").read_bytes(), b"")
        self.assertEqual(files_in(case.local), ["stock.txt"])
        self.assertEqual(case.calls(), download_calls(0))


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
        case = self.download_case("no-library")
        with SystemLibraryRemoved():
            result = self.fail_with_window(case, ["-d", "stock.txt"], "Return",
                                           screenshot=RIG.output / "message-window.png")
        self.assertTargetIntact(case)
        self.assertEqual(case.calls(), [])
        # The library is looked for in the system directory and nowhere else.
        self.assertIn(b"c:\\windows\\system32\\rapi.dll", result.error_lines()[0].lower())

    def test_when_the_connection_fails(self):
        case = self.download_case("connect")
        self.fail_with_window(case, ["-d", "stock.txt"], "Escape", FAIL_CONNECT=1)
        self.assertTargetIntact(case)
        calls = case.calls()
        self.assertEqual(len(calls), 1, calls)
        self.assertRegex(calls[0], r"^CeRapiInit\(\) = 0x[89A-F][0-9A-F]{7}$")

    def test_when_a_device_read_fails_part_way(self):
        case = self.download_case("read")
        self.fail_with_window(case, ["-d", "stock.txt"], "Return", FAIL_READ_AFTER=25000)
        self.assertTargetIntact(case)
        calls = case.calls()
        self.assertEqual(calls[:2], download_calls(50000)[:2])
        reads = [call for call in calls if call.startswith("CeReadFile(")]
        self.assertEqual(reads[:2], [download_calls(50000)[2]] * 2, "failed too early")
        self.assertRegex(reads[-1], r"^CeReadFile\(0x00000100, ptr, 10240, ptr, null\) = 0\b")
        # After the failed read only the handle and the connection are released.
        self.assertEqual(calls[calls.index(reads[-1]) + 1:],
                         ["CeCloseHandle(0x00000100) = 1", "CeRapiUninit() = 0x00000000"])

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
        self.assertRegex(calls[-4], r"^CeWriteFile\(0x00000100, ptr, 10240, ptr, null\) = 0\b")
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


class UnicodeNameTest(WineTest):
    def test_upload_of_a_file_named_outside_the_ansi_code_page(self):
        case = self.new_case("upload")
        content = random_bytes(25000, 7)
        (case.local / UNICODE_NAME).write_bytes(content)
        (case.tarvel / DEVICE_IMPORT).write_bytes(b"old")
        self.assertSucceeded(case.run("-u", UNICODE_NAME))
        self.assertEqual((case.tarvel / DEVICE_IMPORT).read_bytes(), content)
        self.assertEqual(files_in(case.tarvel), [DEVICE_IMPORT])
        self.assertEqual(case.calls(), upload_calls(25000, replaces=True))

    def test_download_to_a_file_named_outside_the_ansi_code_page(self):
        case = self.new_case("download")
        content = random_bytes(25000, 8)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        self.assertSucceeded(case.run("-d", UNICODE_NAME))
        self.assertEqual(files_in(case.local), [UNICODE_NAME])
        self.assertEqual((case.local / UNICODE_NAME).read_bytes(), content)


class PlantedLibraryTest(WineTest):
    """Copies of rapi.dll beside the program and in the current folder: Windows
    would find either before the system directory if the program asked for the
    bare name."""

    def plant(self, case):
        for folder in (RIG.app, case.local):
            shutil.copyfile(RIG.dll, folder / "rapi.dll")
        self.addCleanup((RIG.app / "rapi.dll").unlink)

    def test_planted_copies_are_not_loaded_in_place_of_a_missing_system_one(self):
        case = self.new_case("missing")
        content = random_bytes(20000, 9)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        self.plant(case)
        with SystemLibraryRemoved():
            self.fail_with_window(case, ["-d", "stock.txt"], "Return")
        self.assertEqual(case.calls(), [], "a planted copy was loaded")
        self.assertEqual(files_in(case.local), ["rapi.dll"])

    def test_the_system_copy_is_the_one_loaded(self):
        case = self.new_case("present")
        content = random_bytes(20000, 10)
        (case.tarvel / DEVICE_EXPORT).write_bytes(content)
        self.plant(case)
        result = case.run("-d", "stock.txt", debug="-all,+loaddll")
        self.assertSucceeded(result)
        self.assertEqual((case.local / "stock.txt").read_bytes(), content)
        loads = [line for line in result.stderr.splitlines()
                 if "Loaded" in line and "rapi.dll" in line.lower()]
        self.assertTrue(loads, "no load of rapi.dll was traced:\n" + result.stderr[-2000:])
        for line in loads:
            self.assertIn("c:\\\\windows\\\\system32\\\\rapi.dll", line.lower())


def interrupt(number, _frame):
    raise KeyboardInterrupt(f"signal {number}: stopping the Wine suite")


def main():
    global OPTIONS, RIG
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True, help="FileCopy.exe")
    parser.add_argument("--dll", required=True, help="the device simulator's rapi.dll")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--pe-format", default="pei-i386", help="objdump's name of the format")
    parser.add_argument("--output", required=True, help="folder for logs and the screenshot")
    parser.add_argument("--group", choices=("file", "wine"), required=True)
    parser.add_argument("--deadline", type=int, default=600, help="seconds before giving up")
    parser.add_argument("tests", nargs="*", help="unittest names, e.g. FailureTest")
    OPTIONS = parser.parse_args()
    Path(OPTIONS.output).mkdir(parents=True, exist_ok=True)

    loader = unittest.defaultTestLoader
    module = sys.modules[__name__]
    if OPTIONS.group == "file":
        classes = [ProgramFileTest]
    else:
        classes = [UsageTest, TransferTest, FailureTest, UnicodeNameTest, PlantedLibraryTest]
    if OPTIONS.tests:
        suite = loader.loadTestsFromNames(OPTIONS.tests, module)
    else:
        suite = unittest.TestSuite(loader.loadTestsFromTestCase(c) for c in classes)
    runner = unittest.TextTestRunner(stream=sys.stdout, verbosity=2)
    if OPTIONS.group == "file":
        return 0 if runner.run(suite).wasSuccessful() else 1

    RIG = Rig(OPTIONS)
    reason = RIG.missing_wine()
    if reason:
        print(f"SKIPPED: this machine cannot run {RIG.arch} Wine: {reason}")
        return SKIP_EXIT
    signal.signal(signal.SIGTERM, interrupt)
    signal.signal(signal.SIGALRM, interrupt)
    signal.alarm(OPTIONS.deadline)
    began = time.monotonic()
    try:
        RIG.start()
        print(f"prefix {RIG.arch} ready in {time.monotonic() - began:.1f} s on display "
              f"{RIG.display}", flush=True)
        result = runner.run(suite)
    finally:
        signal.alarm(0)
        RIG.stop()
        print(f"Wine suite took {time.monotonic() - began:.1f} s", flush=True)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
