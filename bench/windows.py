#!/usr/bin/env python3
"""The Windows side of the benchmark (not a test), run by bench/run.py: the
32-bit FileCopy.exe in one Wine layout, through the simulator's rapi.dll in the
prefix's system folder, against bench/direct_copy-win32.cpp's bare loop over
the same DLL, and its usage path against an exe that only returns. Each pair
runs alternately in the same prefix; medians. Writes the figures as JSON.
"""

import argparse
import filecmp
import json
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "wine"))
import rig as wine_rig  # noqa: E402  (the Wine suite's rig, not its cases)
from wine_suite import USAGE  # noqa: E402
from run import ratios, spread  # noqa: E402  (this folder's figures, computed alike)

MIB = 1024 * 1024
SIZE = 64 * MIB
COPY_RUNS = 15
USAGE_RUNS = 31


def timed(rig, program, arguments, cwd, env):
    """(wall seconds, standard output) of one run. A plain wait: one with a
    timeout polls, and its steps would swamp the differences measured."""
    folder = rig.new_folder("run")
    with open(folder / "stdout", "wb") as out, open(folder / "stderr", "wb") as err:
        started = time.perf_counter()
        process = subprocess.Popen([rig.loader, str(program), *arguments], cwd=cwd, env=env,
                                   stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        status = process.wait()
        elapsed = time.perf_counter() - started
    if status != 0:
        sys.exit(f"{program.name} {' '.join(arguments)} exited with {status}:\n"
                 + (folder / "stderr").read_text(errors="replace")[-2000:])
    output = (folder / "stdout").read_bytes()
    shutil.rmtree(folder)
    return elapsed, output


def measure_copies(rig, programs):
    device = rig.temp / "device"
    tarvel = device / "Tarvel"
    local = rig.temp / "local"
    tarvel.mkdir(parents=True)
    local.mkdir()
    env = rig.environment(simulator={"ROOT": wine_rig.windows_path(device)})
    block = os.urandom(MIB)
    for path in (tarvel / "remanx.imp", local / "to-upload"):
        with open(path, "wb") as out:
            for _ in range(SIZE // MIB):
                out.write(block)
    results = {}
    for direction, source, destination, argument in (
            ("-d", tarvel / "remanx.imp", local / "downloaded", "downloaded"),
            ("-u", local / "to-upload", tarvel / "remanx.exp", "to-upload")):
        seconds = {name: [] for name in programs}
        for index in range(COPY_RUNS):
            order = list(programs) if index % 2 == 0 else list(reversed(programs))
            for name in order:
                destination.unlink(missing_ok=True)
                os.sync()
                elapsed, _ = timed(rig, programs[name], [direction, argument], local, env)
                if index == 0 and not filecmp.cmp(source, destination, shallow=False):
                    sys.exit(f"{name} {direction}: the copy differs from its source")
                seconds[name].append(elapsed)
        results[direction] = {
            "seconds": {name: spread(values) for name, values in seconds.items()},
            "mib_per_s": {name: SIZE / MIB / statistics.median(values)
                          for name, values in seconds.items()},
            "filecopy_ratio_to_direct": ratios(seconds, "direct"),
        }
    return results


def measure_usage(rig, programs):
    env = rig.environment()
    folder = rig.temp / "usage"
    folder.mkdir()
    seconds = {name: [] for name in programs}
    for index in range(USAGE_RUNS):
        order = list(programs) if index % 2 == 0 else list(reversed(programs))
        for name in order:
            elapsed, output = timed(rig, programs[name], [], folder, env)
            if name == "filecopy" and output != USAGE:
                sys.exit("FileCopy.exe did not print the usage text")
            seconds[name].append(elapsed * 1000)
    return {name: spread(values) for name, values in seconds.items()}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--layout", choices=("win32", "wow64"), required=True)
    parser.add_argument("--build", required=True, help="the windows preset's build folder")
    parser.add_argument("--output", required=True, help="the JSON file to write")
    options = parser.parse_args()
    build = Path(options.build)
    rig_options = argparse.Namespace(exe=str(build / "FileCopy.exe"),
                                     dll=str(build / "sim" / "rapi.dll"),
                                     output=str(Path(options.output).parent / "wine"),
                                     layout=options.layout)
    rig = wine_rig.Rig(rig_options)
    try:
        rig.start()
        programs = {"filecopy": rig.program}
        for name, exe in (("direct", "direct_copy.exe"), ("at_once", "returns_at_once.exe")):
            programs[name] = rig.app / exe
            shutil.copyfile(build / "bench" / exe, programs[name])
        results = {
            "layout": options.layout,
            "title": rig.layout.title,
            "size_mib": SIZE // MIB,
            "copy_runs": COPY_RUNS,
            "usage_runs": USAGE_RUNS,
            "throughput": measure_copies(
                rig, {name: programs[name] for name in ("filecopy", "direct")}),
            "usage_ms": measure_usage(
                rig, {name: programs[name] for name in ("filecopy", "at_once")}),
        }
    finally:
        rig.stop()
    Path(options.output).write_text(json.dumps(results, indent=2) + "\n")


if __name__ == "__main__":
    main()
