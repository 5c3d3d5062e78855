#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Whole-process start-up: Vokabo's menu window against a bare Qt window of the same size.

Runs both programs alternately, each to the moment its window has been shown, and compares the median
wall time and the median peak resident memory. Then starts Vokabo beside a 10 MB Syset.ini whose
[LastDate] section comes after two million lines, which must show its menu within a second.
Usage: startup.py BIN_DIR [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def run(command, env):
    start = time.perf_counter()
    proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit(f"{command[0]} failed: {proc.stderr.read().decode(errors='replace')}")
    return elapsed, usage.ru_maxrss  # seconds, KiB


def main():
    if len(sys.argv) < 2 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) >= 2 else 2
    bin_dir = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    env = dict(os.environ)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    # A data folder of the run's own, with a copy of the course that the build put in its install layout.
    data = tempfile.TemporaryDirectory()
    shutil.copy2(course(bin_dir), data.name)
    programs = {
        "bare window": [os.path.join(bin_dir, "bench_startup_bare")],
        "bare + CJK": [os.path.join(bin_dir, "bench_startup_bare"), "--with-text"],
        "Vokabo menu": [os.path.join(bin_dir, "vokabo"), "--data-dir", data.name, "--quit-after-menu"],
    }
    for command in programs.values():  # warm the page cache
        run(command, env)
    samples = {name: [] for name in programs}
    for _ in range(runs):
        for name, command in programs.items():
            samples[name].append(run(command, env))
    result = {}
    for name, values in samples.items():
        seconds = statistics.median(v[0] for v in values)
        memory = statistics.median(v[1] for v in values)
        result[name] = (seconds, memory)
        print(f"{name:12}  {seconds * 1000:7.1f} ms  {memory / 1024:6.1f} MiB peak  (median of {runs})")
    bare, text, vokabo = result["bare window"], result["bare + CJK"], result["Vokabo menu"]
    time_ratio, memory_ratio = vokabo[0] / bare[0], vokabo[1] / bare[1]
    print(f"Vokabo / bare window   {time_ratio:5.2f}x time (budget 1.25x)   {memory_ratio:5.2f}x memory (budget 1.30x)")
    print(f"Vokabo / bare + CJK    {vokabo[0] / text[0]:5.2f}x time                 {vokabo[1] / text[1]:5.2f}x memory")
    large = large_settings(bin_dir, max(5, runs // 3), env)
    return 0 if time_ratio <= 1.25 and memory_ratio <= 1.30 and large <= 1.0 else 1


def course(bin_dir):
    """The course database of a build tree (share/vokabo beside bin/) or of a portable copy (beside the program)."""
    installed = os.path.join(bin_dir, os.pardir, "share", "vokabo", "MyDatas.db")
    return installed if os.path.exists(installed) else os.path.join(bin_dir, "MyDatas.db")


def large_settings(bin_dir, runs, env):
    """The menu over a data folder whose Syset.ini is 10 MB, with [LastDate] after two million lines."""
    with tempfile.TemporaryDirectory() as folder:
        shutil.copy2(course(bin_dir), folder)
        with open(os.path.join(folder, "Syset.ini"), "wb") as ini:
            ini.write(b"[Other]\r\n" + b"a=1\r\n" * 2_000_000 + b"[LastDate]\r\n")
            for code in (f"{level}{unit}" for level in range(1, 6) for unit in range(1, 5)):
                ini.write(f"{code}=2017/11/1 14:05:09\r\n".encode())
        command = [os.path.join(bin_dir, "vokabo"), "--data-dir", folder, "--quit-after-menu"]
        run(command, env)
        samples = [run(command, env) for _ in range(runs)]
    seconds = statistics.median(v[0] for v in samples)
    memory = statistics.median(v[1] for v in samples)
    print(f"Vokabo menu, 10 MB Syset.ini  {seconds * 1000:7.1f} ms  {memory / 1024:6.1f} MiB peak  "
          f"(median of {runs}; budget 1000 ms)")
    return seconds


if __name__ == "__main__":
    sys.exit(main())
