"""The Wine rig: a private Xvfb, a throwaway prefix of one Windows layout with
its persistent wineserver, a tmux server for console cases, and the program
started in it with its output in files."""

import dataclasses
import os
import re
import select
import shlex
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from pe_file import PeFile

# How a program's text "łó" comes out in each locale's ANSI code page, to prove
# the locale took effect: 1252 has no "ł" and writes its best fit "l"; 1250
# has both letters.
ANSI_PROBE = "łó"
ANSI_PROBE_BYTES = {"C.UTF-8": b"l\xf3", "pl_PL.UTF-8": b"\xb3\xf3"}
MACHINES = {0x014C: "win32", 0x8664: "win64"}
WINE64 = ("wine64", "/usr/lib/wine/wine64")
# Where scripts/wine-root-recipe.sh keeps the 32-bit loader: out of the 64-bit
# loader's sight, which would otherwise hand it every 32-bit program.
WINE32 = ("/usr/lib/wine32/wine",)
# Where that recipe records, inside the root, why a group of its packages is missing.
ROOT_RECORDS = Path("/var/lib/filecopy/missing-groups")


@dataclasses.dataclass(frozen=True)
class Layout:
    """Where the program runs: which Wine, which prefix, which system folder
    the program's own rapi.dll comes from, where an administrator installs it,
    the group of packages its Wine comes in, and whether that group is the
    Debian 13 root's (scripts/wine-root.sh, inside which the suite then runs)
    or one of scripts/install-dependencies.sh on the host."""

    title: str
    machine: str
    winearch: str
    loaders: tuple
    system_folder: str
    program_files: str
    group: str
    in_root: bool = False

    @property
    def wow64(self):
        """Whether a 32-bit program runs inside a 64-bit process, as on 64-bit Windows."""
        return self.winearch == "win64" and self.machine == "win32"


LAYOUTS = {
    "win32": Layout("32-bit Windows: Wine 10, 32-bit prefix", "win32", "win32", WINE32,
                    "system32", "Program Files", "i386", in_root=True),
    # File system redirection sends a 32-bit process's system32 to syswow64.
    "wow64": Layout("64-bit Windows running the 32-bit program: Wine 10 in WoW64 mode", "win32",
                    "win64", WINE64, "syswow64", "Program Files (x86)", "i386", in_root=True),
    "win64": Layout("the 64-bit build under 64-bit Wine", "win64", "win64", WINE64, "system32",
                    "Program Files", "windows64"),
}
# A static i386 Linux program that exits with 42: whether the kernel runs
# 32-bit code at all.
I386_EXIT_42 = bytes.fromhex(
    "7f454c46010101000000000000000000020003000100000054800408340000000000000000000000"
    "34002000010000000000000001000000000000000080040800800408600000006000000005000000"
    "00100000b801000000bb2a000000cd80")


def windows_path(path):
    # Wine's Z: drive is the Unix root.
    return "Z:" + str(path).replace("/", "\\")


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
        self.name = options.layout
        self.layout = LAYOUTS[options.layout]
        machine = MACHINES.get(PeFile(self.exe).machine)
        if machine != self.layout.machine:
            raise ValueError(f"{self.exe} is a {machine} program; layout {self.name} runs "
                             f"{self.layout.machine} ones")
        self.loader = find_program(*self.layout.loaders)
        self.wineserver = find_program("wineserver", "/usr/lib/wine/wineserver")
        self.temp = None
        self.prefix = None
        self.display = None
        self.xvfb = None
        self.server = None
        self.tmux_socket = None
        self.tmux_pid = None
        self.case_count = 0

    def missing_wine(self):
        """Why this machine cannot start this layout's Wine at all, or None."""
        if not self.loader or not self.wineserver:
            if self.layout.in_root:
                return (f"the Debian 13 root has no {' or '.join(self.layout.loaders)}: "
                        "scripts/wine-root-recipe.sh did not install it")
            return None  # not a property of the machine: the install step failed
        try:
            probe = subprocess.run([self.loader, "--version"], stdin=subprocess.DEVNULL,
                                   capture_output=True, timeout=60)
        except OSError as error:
            if error.errno == 8:  # ENOEXEC
                return f"{self.loader}: {error.strerror}"
            raise
        if probe.returncode != 0 and b"Exec format error" in probe.stderr:
            return (f"the kernel refuses {self.loader}, so Wine cannot start: "
                    + probe.stderr.decode(errors="replace").strip())
        return None

    def refused_program(self, usage):
        """Why the booted prefix cannot start the program (which, run without
        arguments, writes usage), if the machine explains it: WoW64 runs 32-bit
        Windows code inside a 64-bit process, but only where the kernel runs
        32-bit code. Any other failure to start is the program's or the
        layout's, and is raised, as is the program run in a process unlike
        the layout's."""
        case = self.new_folder("start")
        result = self.start_program([], case, self.environment(debug="err+all,+loaddll"),
                                    case).finish(60)
        if result.status == 0 and result.stdout == usage:
            # Only WoW64 runs the 32-bit program through wow64cpu.dll; a
            # 32-bit process of its own would prove nothing of 64-bit Windows.
            inside_64_bit = "\\wow64cpu.dll" in result.stderr
            if inside_64_bit != self.layout.wow64:
                where = ("inside a 64-bit process (WoW64's wow64cpu.dll)" if inside_64_bit
                         else "in a 32-bit process of its own (no wow64cpu.dll)")
                raise RuntimeError(f"{self.loader} ran FileCopy.exe {where}, unlike layout "
                                   f"{self.name}")
            return None
        failure = f"status {result.status}, stderr: {result.stderr.strip()[-1500:]}"
        kernel = kernel_runs_i386(self.temp)
        if self.layout.machine == "win32" and kernel is not True:
            return (f"the kernel runs no 32-bit code ({kernel}), and {self.loader} could not "
                    f"start the 32-bit FileCopy.exe: {failure}")
        raise RuntimeError(f"{self.loader} could not start FileCopy.exe: {failure}")

    def code_page_check(self):
        """Each locale the cases use must give its ANSI code page, or the cases
        that use it would prove nothing. cmd writes to a file in that page."""
        for locale, expected in ANSI_PROBE_BYTES.items():
            shown = self.wine_tool("cmd.exe", "/c", "echo", ANSI_PROBE, locale=locale,
                                   raw=True).rstrip(b"\r\n ")
            if shown != expected:
                raise RuntimeError(f"under LC_ALL={locale} Wine wrote {ANSI_PROBE!r} as {shown!r}"
                                   f", not {expected!r}: is the locale installed (locales-all)?")

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
        self.system_dir = self.prefix / "drive_c" / "windows" / self.layout.system_folder
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

    def wine_tool(self, *command, locale="C.UTF-8", raw=False):
        # Files, not pipes: Wine's helper processes inherit them and live on.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            status = subprocess.run([self.loader, *command],
                                    env=self.environment(locale=locale),
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    timeout=60).returncode
            out.seek(0)
            err.seek(0)
            if status != 0:
                raise RuntimeError(f"{command} failed: {err.read().decode(errors='replace')}")
            return out.read() if raw else out.read().decode(errors="replace")

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

    def environment(self, debug="-all", simulator=None, locale="C.UTF-8"):
        # The host's own FileCopy settings would change what each case sets.
        env = {name: value for name, value in os.environ.items()
               if not name.startswith(("FILECOPY_", "WINE"))
               and name not in ("DISPLAY", "WAYLAND_DISPLAY", "LANGUAGE")}
        env.update(WINEPREFIX=str(self.prefix), WINEARCH=self.layout.winearch, WINEDEBUG=debug,
                   WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=", LC_ALL=locale)
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

    def start_program(self, arguments, cwd, env, folder, program=None):
        return Running([self.loader, str(program or self.program), *arguments], cwd, env, folder)

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

    def start_in_console(self, session, command):
        """Runs command in a tmux session of its own: a terminal that Wine
        gives the program as its console. The first one starts the server."""
        first = self.tmux_socket is None
        self.tmux_socket = self.temp / "tmux.socket"
        options = ["-f", "/dev/null"] if first else []
        started = subprocess.run(
            ["tmux", "-S", str(self.tmux_socket), *options, "new-session", "-d",
             "-s", session, "-x", "120", "-y", "40", command],
            env=self.tmux_environment(), stdin=subprocess.DEVNULL, capture_output=True,
            text=True, timeout=20)
        if started.returncode != 0:
            raise RuntimeError("tmux did not start: " + started.stderr)
        if first:
            pid = self.tmux("display-message", "-p", "#{pid}").stdout.strip()
            self.tmux_pid = int(pid) if pid.isdigit() else None


class Console:
    """FileCopy.exe run by a shell in a console of its own, as from a console
    window: what the console shows can be read and keys typed into it, and
    the exit status lands in a file. The shell survives the Ctrl+C it passes
    on, so it records the status. The session ends with the rig."""

    def __init__(self, rig, folder, arguments, env, cwd, stderr=None, program=None):
        self.rig = rig
        self.session = folder.name
        self.status_file = folder / "status"
        script = folder / "run.sh"
        redirect = f" 2>{shlex.quote(str(stderr))}" if stderr else ""
        command = " ".join(shlex.quote(str(word)) for word in
                           (rig.loader, program or rig.program, *arguments))
        script.write_text(
            "".join(f"export {name}={shlex.quote(value)}\n" for name, value in env.items()
                    if name.isidentifier())
            + "trap ':' INT\n"
            + f"cd {shlex.quote(str(cwd))}\n"
            + f"{command}{redirect}\n"
            + f"echo $? > {shlex.quote(str(self.status_file))}.part && "
            + f"mv {shlex.quote(str(self.status_file))}.part {shlex.quote(str(self.status_file))}\n"
            # The console stays, showing what the program left on it.
            + "exec sleep 3600\n")
        rig.start_in_console(self.session, "sh " + shlex.quote(str(script)))

    def screen(self):
        return self.rig.tmux("capture-pane", "-p", "-t", self.session).stdout

    def type(self, *keys):
        self.rig.tmux("send-keys", "-t", self.session, *keys)

    def status(self):
        return int(self.status_file.read_text()) if self.status_file.exists() else None

    def wait_for(self, done, timeout):
        deadline = time.monotonic() + timeout
        while not done():
            if time.monotonic() > deadline:
                return False
            time.sleep(0.05)
        return True


def find_program(*names):
    for name in names:
        found = shutil.which(name)
        if found:
            return found
    return None


def kernel_runs_i386(folder):
    """True, or why not."""
    probe = Path(folder) / "i386-probe"
    probe.write_bytes(I386_EXIT_42)
    probe.chmod(0o755)
    try:
        status = subprocess.run([str(probe)], stdin=subprocess.DEVNULL, capture_output=True,
                                timeout=10).returncode
    except OSError as error:
        return f"an i386 Linux program fails: {error.strerror}"
    finally:
        probe.unlink()
    return True if status == 42 else f"an i386 Linux program ended with {status}, not 42"


def command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(
            errors="replace")
    except OSError:
        return ""
