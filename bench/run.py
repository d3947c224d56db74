#!/usr/bin/env python3
"""Benchmark of filecopy through the device simulator (not a test).

Measures, with the posix preset's Release build:
  - throughput of -d and -u against bench/direct_copy (the bare loop of calls
    into the simulator) and dd bs=10240 (conv=fsync for -d), each run timing
    all of them in turn, filecopy twice: with standard error redirected, and
    on a pseudo-terminal, where a copy of more than a second shows its
    progress line;
  - peak resident memory of -d and -u for a small and a large file, the lower
    quartile of the runs at each size, so the resident set's run-to-run noise
    cannot decide the growth;
  - start-to-exit time of the usage path without a terminal, against /bin/true;
and, with the windows preset's build, the 32-bit FileCopy.exe under Wine
(bench/windows.py) in the first Windows layout whose Wine tests last ran here:
WoW64 (64-bit Windows), else 32-bit Windows.
Prints a table and writes build/bench/results.md and results.json.
"""

import filecmp
import itertools
import json
import os
import platform
import pty
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "posix"
WINDOWS_BUILD = ROOT / "build" / "windows"
FILECOPY = BUILD / "simulated" / "filecopy"
DIRECT = BUILD / "bench" / "direct_copy"
OUT = ROOT / "build" / "bench"
# Beside the build, so every side reads and writes the same filesystem.
SCRATCH = OUT / "scratch"

MIB = 1024 * 1024
CHUNK = 10240
# 2 GiB: long enough for the progress line to show, which it does after a second.
THROUGHPUT_SIZES = [1 * MIB, 64 * MIB, 512 * MIB, 2048 * MIB]
THROUGHPUT_RUNS = 11
MEMORY_SIZES = [1 * MIB, 512 * MIB]
MEMORY_RUNS = 11
USAGE_WARMUP = 20
USAGE_RUNS = 500

# The goals the figures are held to.
MIN_RATIO_TO_DIRECT = 0.95
RATIO_SIZES = [64 * MIB, 512 * MIB, 2048 * MIB]
MAX_MEMORY_GROWTH_KIB = 64
MAX_USAGE_OVERHEAD_MS = 2.0

# "progress" is filecopy with standard error on a terminal.
SIDES = ["filecopy", "progress", "direct", "dd"]
PROGRESS_TEXT = b"Copied "


def build():
    for command in (["cmake", "--preset", "posix"],
                    ["cmake", "--build", "--preset", "posix",
                     "--target", "filecopy_simulated", "direct_copy"],
                    ["cmake", "--preset", "windows"],
                    ["cmake", "--build", "--preset", "windows",
                     "--target", "filecopy", "filecopy_simulator", "direct_copy",
                     "returns_at_once"]):
        result = subprocess.run(command, cwd=ROOT, capture_output=True, text=True)
        if result.returncode != 0:
            sys.exit(f"{' '.join(command)} failed:\n{result.stdout}{result.stderr}")


def simulator_environment(device_root):
    # Nothing inherited may log calls or inject faults into the measured runs.
    env = {k: v for k, v in os.environ.items() if not k.startswith("FILECOPY_SIM_")}
    env["FILECOPY_SIM_ROOT"] = str(device_root)
    # The progress line is looked for in its English words.
    env["FILECOPY_LANGUAGE"] = "en"
    return env


def write_file(path, size):
    block = os.urandom(MIB)
    with open(path, "wb") as out:
        for offset in range(0, size, MIB):
            out.write(block[: min(MIB, size - offset)])


def label(size):
    return f"{size // MIB} MiB"


class Layout:
    """The scratch device and local folder, and the files of one transfer."""

    def __init__(self):
        shutil.rmtree(SCRATCH, ignore_errors=True)
        self.device = SCRATCH / "device"
        self.tarvel = self.device / "Tarvel"
        self.local = SCRATCH / "local"
        self.tarvel.mkdir(parents=True)
        self.local.mkdir(parents=True)
        self.env = simulator_environment(self.device)

    def files(self, direction):
        """(source, destination) of a transfer."""
        if direction == "-d":
            return self.tarvel / "remanx.imp", self.local / "downloaded"
        return self.local / "to-upload", self.tarvel / "remanx.exp"

    def command(self, side, direction):
        source, destination = self.files(direction)
        if side == "dd":
            # A download reaches the disk before filecopy reports it done; so must dd's.
            synced = ["conv=fsync"] if direction == "-d" else []
            return ["dd", f"if={source}", f"of={destination}", f"bs={CHUNK}", "status=none",
                    *synced]
        local = destination if direction == "-d" else source
        program = DIRECT if side == "direct" else FILECOPY
        return [str(program), direction, str(local)]


class Terminal:
    """A pseudo-terminal for a child's standard error. Nothing reads it while
    the child runs, so nothing competes with it: what a run shows (a few
    lines a second) fits in the terminal's buffer, and is read at the end."""

    def __init__(self):
        self.master, self.slave = pty.openpty()
        os.set_blocking(self.master, False)
        self.shown = b""

    def finished(self):
        os.close(self.slave)
        while True:
            try:
                piece = os.read(self.master, 4096)
            except OSError:  # nothing left (EAGAIN), or no writer left (EIO)
                break
            if not piece:
                break
            self.shown += piece
        os.close(self.master)
        return self.shown


def run(command, env, terminal=None):
    """Runs command to its end: (wall seconds, CPU seconds of user and system)."""
    with open(SCRATCH / "stderr", "w+") as errors:
        start = time.perf_counter()
        process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL,
                                   stderr=terminal.slave if terminal else errors)
        # wait4, for the child's own CPU time: wall time alone also counts
        # whatever else the machine is running.
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        shown = terminal.finished() if terminal else b""
        process.returncode = os.waitstatus_to_exitcode(status)
        if process.returncode != 0:
            errors.seek(0)
            sys.exit(f"{' '.join(command)} exited with {process.returncode}:\n{errors.read()}"
                     f"{shown.decode(errors='replace')}")
    return wall, usage.ru_utime + usage.ru_stime


def timed_copy(layout, side, direction, size, verify):
    """The run's seconds, and whether it showed its progress line."""
    source, destination = layout.files(direction)
    # Every side creates its destination afresh, and starts with no dirty pages
    # of an earlier run being written back; sync needs no privilege.
    destination.unlink(missing_ok=True)
    os.sync()
    terminal = Terminal() if side == "progress" else None
    elapsed, _ = run(layout.command(side, direction), layout.env, terminal)
    if destination.stat().st_size != size or (verify and not filecmp.cmp(source, destination,
                                                                        shallow=False)):
        sys.exit(f"{side} {direction} {label(size)}: the copy differs from its source")
    return elapsed, bool(terminal and PROGRESS_TEXT in terminal.shown)


def spread(values):
    return {"median": statistics.median(values), "min": min(values), "max": max(values)}


def ratios(seconds, other, mine="filecopy"):
    """filecopy's speed over the other side's: run by run, and best against best,
    as other work on the machine only ever adds time."""
    figures = spread([theirs / ours for theirs, ours in zip(seconds[other], seconds[mine])])
    figures["best"] = min(seconds[other]) / min(seconds[mine])
    return figures


def measure_throughput(layout, size):
    results = {}
    orders = itertools.cycle(itertools.permutations(SIDES))
    for direction in ("-d", "-u"):
        times = {side: [] for side in SIDES}
        progress_shown = 0
        for run_index in range(THROUGHPUT_RUNS):
            # The order of sides changes from run to run, so none always goes first.
            for side in next(orders):
                elapsed, shown = timed_copy(layout, side, direction, size, run_index == 0)
                times[side].append(elapsed)
                progress_shown += shown
        results[direction] = {
            "seconds": {side: spread(times[side]) for side in SIDES},
            "seconds_raw": times,
            "mib_per_s": {side: size / MIB / statistics.median(times[side]) for side in SIDES},
            "filecopy_ratio_to": {other: ratios(times, other) for other in ("direct", "dd")},
            "progress_ratio_to_direct": ratios(times, "direct", "progress"),
            "progress_line_runs": progress_shown,
        }
    return results


def peak_memory_kib(layout, direction):
    report = SCRATCH / "time-report"
    _, destination = layout.files(direction)
    destination.unlink(missing_ok=True)
    run(["/usr/bin/time", "-v", "-o", str(report)] + layout.command("filecopy", direction),
        layout.env)
    return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)",
                         report.read_text()).group(1))


def measure_memory(layout):
    return {direction: [peak_memory_kib(layout, direction) for _ in range(MEMORY_RUNS)]
            for direction in ("-d", "-u")}


def measure_usage(env):
    # setsid leaves the program without a controlling terminal, so the usage
    # path must not wait for a key.
    commands = {"filecopy": ["setsid", "-w", str(FILECOPY)],
                "true": ["setsid", "-w", "/bin/true"]}
    shown = subprocess.run(commands["filecopy"], env=env, stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=10)
    if shown.returncode != 0 or "-d [nazwa_pliku]" not in shown.stdout:
        sys.exit(f"the usage path failed ({shown.returncode}):\n{shown.stdout}{shown.stderr}")
    wall = {name: [] for name in commands}
    cpu = {name: [] for name in commands}
    for index in range(USAGE_WARMUP + USAGE_RUNS):
        # Alternating, so both see the same state of the machine.
        for name in (("filecopy", "true") if index % 2 == 0 else ("true", "filecopy")):
            elapsed, used = run(commands[name], env)
            if index >= USAGE_WARMUP:
                wall[name].append(elapsed)
                cpu[name].append(used)
    return {"wall": {name: spread(values) for name, values in wall.items()},
            "cpu": {name: spread(values) for name, values in cpu.items()}}


def measure_windows():
    """The Windows side's figures, or why there are none."""
    outcomes = WINDOWS_BUILD / "tests" / "wine"
    layout = next((name for name in ("wow64", "win32")
                   if (outcomes / f"layout-{name}.outcome").is_file()
                   and (outcomes / f"layout-{name}.outcome").read_text().strip() == "ran"), None)
    if layout is None:
        return {"skipped": "no 32-bit Windows layout has run its Wine tests on this machine "
                           "(ctest --test-dir build/windows)"}
    output = OUT / f"windows-{layout}.json"
    # Both layouts' Wine is in the Debian 13 root.
    command = [str(ROOT / "scripts" / "wine-root.sh"), "run", str(ROOT), "--",
               "python3", str(ROOT / "bench" / "windows.py"), "--layout", layout,
               "--build", str(WINDOWS_BUILD), "--output", str(output)]
    result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"bench/windows.py failed:\n{result.stdout}{result.stderr}")
    return json.loads(output.read_text())


def windows_report(windows):
    if "skipped" in windows:
        return ["", f"## FileCopy.exe under Wine: not measured ({windows['skipped']})", ""]
    lines = ["", f"## FileCopy.exe under Wine: {windows['title']}", "",
             f"{windows['size_mib']} MiB through the simulator's rapi.dll, {windows['copy_runs']} "
             "alternating runs each, start to exit; ratio as above.", "",
             "| transfer | FileCopy.exe MiB/s | direct_copy.exe MiB/s | FileCopy/direct "
             "| goal ≥ 0.95 of direct |", "|---|---:|---:|---:|---|"]
    for direction, figures in windows["throughput"].items():
        rate, ratio = figures["mib_per_s"], figures["filecopy_ratio_to_direct"]
        lines.append(f"| {direction} | {rate['filecopy']:.0f} | {rate['direct']:.0f} "
                     f"| {ratio_text(ratio)} | {throughput_goal(ratio)} |")
    usage = windows["usage_ms"]
    lines += ["", f"Usage path without a console, ms ({windows['usage_runs']} runs each): "
              f"FileCopy.exe median {usage['filecopy']['median']:.1f} "
              f"(min {usage['filecopy']['min']:.1f}), an exe that only returns median "
              f"{usage['at_once']['median']:.1f} (min {usage['at_once']['min']:.1f}).", ""]
    return lines


def lower_quartile(values):
    """What most runs reach at least: the resident set of one run differs from
    the next by a few hundred KiB either way, as pages are mapped around the
    ones touched or not, and neither a median nor a single lowest run is safe
    from that; a file-sized buffer would add megabytes to all of them."""
    return statistics.quantiles(values, n=4, method="inclusive")[0]


def ratio_text(ratio):
    return f"{ratio['median']:.3f} [{ratio['min']:.3f}–{ratio['max']:.3f}] best {ratio['best']:.3f}"


def throughput_goal(ratio):
    if ratio["median"] >= MIN_RATIO_TO_DIRECT:
        return "met"
    # Only contention can pull the median below the best runs' figure.
    return "best runs only" if ratio["best"] >= MIN_RATIO_TO_DIRECT else "MISSED"


def report(results):
    lines = [f"# filecopy benchmark, {results['when']}", "",
             f"{results['machine']}; commit {results['commit']}", "",
             f"## Throughput ({THROUGHPUT_RUNS} runs; MiB/s from the median time; ratio = "
             "filecopy's throughput over the other's: per-run median [min–max], then the best "
             "run's over the best run's)", "",
             "| size | transfer | filecopy MiB/s | direct MiB/s | dd MiB/s "
             "| filecopy/direct | filecopy/dd | goal ≥ 0.95 of direct |",
             "|---|---|---:|---:|---:|---:|---:|---|"]
    progress = ["", "## Throughput with standard error on a terminal (the progress line shows "
                "in runs of more than a second)", "",
                "| size | transfer | filecopy MiB/s | direct MiB/s | filecopy/direct "
                "| runs that showed the line | goal ≥ 0.95 of direct |", "|---|---|---:|---:|---:|---:|---|"]
    for size_label, by_direction in results["throughput"].items():
        size = int(size_label.split()[0]) * MIB
        for direction, figures in by_direction.items():
            rate = figures["mib_per_s"]
            to_direct = figures["filecopy_ratio_to"]["direct"]
            goal = throughput_goal(to_direct) if size in RATIO_SIZES else "–"
            lines.append(f"| {size_label} | {direction} | {rate['filecopy']:.0f} "
                         f"| {rate['direct']:.0f} | {rate['dd']:.0f} | {ratio_text(to_direct)} "
                         f"| {ratio_text(figures['filecopy_ratio_to']['dd'])} | {goal} |")
            with_line = figures["progress_ratio_to_direct"]
            goal = throughput_goal(with_line) if size in RATIO_SIZES else "–"
            progress.append(f"| {size_label} | {direction} | {rate['progress']:.0f} "
                            f"| {rate['direct']:.0f} | {ratio_text(with_line)} "
                            f"| {figures['progress_line_runs']} of {THROUGHPUT_RUNS} | {goal} |")
    lines += progress
    lines += ["", "## Peak resident memory of filecopy (KiB, the lower quartile of "
              f"{MEMORY_RUNS} runs at each size)", "",
              "| transfer | " + " | ".join(results["memory_kib"]) + " | growth | goal ≤ 64 KiB |",
              "|---|" + "---:|" * (len(results["memory_kib"]) + 1) + "---|"]
    for direction in ("-d", "-u"):
        peaks = [lower_quartile(runs[direction]) for runs in results["memory_kib"].values()]
        growth = peaks[-1] - peaks[0]
        goal = "met" if growth <= MAX_MEMORY_GROWTH_KIB else "MISSED"
        lines.append(f"| {direction} | " + " | ".join(f"{m:.0f}" for m in peaks)
                     + f" | {growth:+.0f} | {goal} |")
    wall, cpu = results["usage_ms"]["wall"], results["usage_ms"]["cpu"]
    overhead = wall["filecopy"]["median"] - wall["true"]["median"]
    lines += ["", f"## Usage path without a terminal, under setsid (ms, {USAGE_RUNS} runs each)",
              "", "| command | wall median | wall min | wall max | CPU median |",
              "|---|---:|---:|---:|---:|"]
    for name, shown in (("setsid filecopy", "filecopy"), ("setsid /bin/true", "true")):
        lines.append(f"| {name} | {wall[shown]['median']:.2f} | {wall[shown]['min']:.2f} "
                     f"| {wall[shown]['max']:.2f} | {cpu[shown]['median']:.2f} |")
    goal = "met" if overhead <= MAX_USAGE_OVERHEAD_MS else "MISSED"
    lines += ["", f"filecopy − /bin/true, wall medians: {overhead:+.2f} ms (goal ≤ 2 ms: {goal}); "
              f"CPU medians: {cpu['filecopy']['median'] - cpu['true']['median']:+.2f} ms", ""]
    lines += windows_report(results["windows"])
    return "\n".join(lines)


def main():
    build()
    OUT.mkdir(parents=True, exist_ok=True)
    layout = Layout()
    results = {
        "when": time.strftime("%Y-%m-%d %H:%M:%S %Z"),
        "machine": f"{platform.platform()}, {os.cpu_count()} CPUs",
        "commit": subprocess.run(["git", "describe", "--always", "--dirty"], cwd=ROOT,
                                 capture_output=True, text=True).stdout.strip(),
        "throughput": {}, "memory_kib": {},
    }
    for size in sorted(set(THROUGHPUT_SIZES) | set(MEMORY_SIZES)):
        for direction in ("-d", "-u"):
            write_file(layout.files(direction)[0], size)
        if size in THROUGHPUT_SIZES:
            results["throughput"][label(size)] = measure_throughput(layout, size)
        if size in MEMORY_SIZES:
            results["memory_kib"][label(size)] = measure_memory(layout)
        for path in itertools.chain(layout.tarvel.iterdir(), layout.local.iterdir()):
            path.unlink()
    usage = measure_usage(layout.env)
    results["usage_ms"] = {
        clock: {name: {k: v * 1000 for k, v in figures.items()} for name, figures in by.items()}
        for clock, by in usage.items()}
    shutil.rmtree(SCRATCH)
    results["windows"] = measure_windows()
    text = report(results)
    (OUT / "results.md").write_text(text)
    (OUT / "results.json").write_text(json.dumps(results, indent=2) + "\n")
    print(text)
    print(f"Written to {OUT / 'results.md'} and {OUT / 'results.json'}")


if __name__ == "__main__":
    main()
