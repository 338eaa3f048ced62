#!/usr/bin/env python3
"""Benchmark of the pelorin module (not a test: it prints figures, it passes nothing).

  read    read_recording of a generated ~100 MB recording against pandas.read_csv on the
          same file (speed ratio; target >= 5), and the reader's peak memory against
          the size of the cells it returns (target <= 1.2)
  capture pelorin.capture against pelorin-capture on panelsim at the full-speed USB pace
          (frames per second ratio; target >= 0.98), run alternately in one process

Usage: PYTHONPATH=build/release/python python3 python/bench/bench_pelorin.py \\
           [--bin build/release/bin] [--mb 100] [--frames 40] [--rounds 3]
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import pelorin

WIDTH, HEIGHT = 40, 60


def generate(path: Path, megabytes: int) -> int:
    # About 4.2 bytes of text per cell ("-123," and "45,"): frames for the size asked.
    frames = int(megabytes * 1e6 / (WIDTH * HEIGHT * 4.2))
    rng = np.random.default_rng(1)
    cells = rng.integers(-200, 1000, size=(frames, WIDTH, HEIGHT), dtype=np.int32)
    pelorin.write_recording(path, pelorin.Source(cells, time_ms=np.arange(frames) * 10))
    return frames


def best_of(n, fn):
    times = []
    for _ in range(n):
        t = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t)
    return min(times)


PEAK_CHILD = r"""
import sys
import numpy as np, pelorin
def status(key):
    return next(int(l.split()[1]) * 1024 for l in open("/proc/self/status") if l.startswith(key))
open("/proc/self/clear_refs", "w").write("5")  # restart the peak (VmHWM) from here
before = status("VmRSS:")
rec = pelorin.read_recording(sys.argv[1])
print(status("VmHWM:") - before, rec.frames.nbytes)
"""


def bench_read(megabytes: int, rounds: int):
    import pandas as pd

    with tempfile.TemporaryDirectory() as d:
        path = Path(d) / "big.csv"
        frames = generate(path, megabytes)
        size = path.stat().st_size
        t_pelorin = best_of(rounds, lambda: pelorin.read_recording(path))
        t_pandas = best_of(rounds, lambda: pd.read_csv(
            path, skiprows=5, header=None, names=range(HEIGHT + 1), usecols=range(HEIGHT),
            na_values=["N/A"], skip_blank_lines=True, low_memory=False))
        # Peak memory in a fresh process, so earlier rounds do not hide it.
        out = subprocess.run([sys.executable, "-c", PEAK_CHILD, str(path)], check=True,
                             capture_output=True, text=True).stdout.split()
        peak, cells = int(out[0]), int(out[1])
    print(f"read: {size / 1e6:.1f} MB, {frames} frames of {WIDTH} x {HEIGHT}")
    print(f"  pelorin.read_recording {t_pelorin:8.3f} s  {size / 1e6 / t_pelorin:7.1f} MB/s")
    print(f"  pandas.read_csv        {t_pandas:8.3f} s  {size / 1e6 / t_pandas:7.1f} MB/s")
    print(f"  speed ratio            {t_pandas / t_pelorin:8.2f} x   (target >= 5)")
    print(f"  peak memory / cells    {peak / cells:8.3f}     (target <= 1.2; "
          f"{peak / 1e6:.1f} MB for {cells / 1e6:.1f} MB of cells)")


def bench_capture(bindir: Path, frames: int, rounds: int):
    with tempfile.TemporaryDirectory() as d:
        folder = Path(d) / "devices"
        folder.mkdir()
        os.environ["CORLINK_VIRTUAL_DIR"] = str(folder)
        sim = subprocess.Popen([str(bindir / "panelsim"), "--folder", str(folder), "--pace", "1000",
                                "--quiet"])
        try:
            deadline = time.monotonic() + 10
            while not list(folder.glob("*.sock")) and time.monotonic() < deadline:
                time.sleep(0.02)
            tool, module = [], []
            for r in range(rounds):
                out = Path(d) / f"tool{r}.csv"
                t = time.perf_counter()
                subprocess.run([str(bindir / "pelorin-capture"), "--source", "diff", "--frames",
                                str(frames), "--out", str(out), "--quiet"], check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                tool.append(frames / (time.perf_counter() - t))
                t = time.perf_counter()
                rec = pelorin.capture("diff", frames, out=Path(d) / f"module{r}.csv")
                module.append(len(rec.frames) / (time.perf_counter() - t))
        finally:
            sim.terminate()
            sim.wait(timeout=10)
    print(f"capture: {frames} Diff frames, panelsim --pace 1000 (full-speed USB), {rounds} rounds")
    print(f"  pelorin-capture        {max(tool):8.2f} frames/s (best; all {', '.join(f'{v:.2f}' for v in tool)})")
    print(f"  pelorin.capture        {max(module):8.2f} frames/s (best; all {', '.join(f'{v:.2f}' for v in module)})")
    print(f"  throughput ratio       {max(module) / max(tool):8.3f}     (target >= 0.98)")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", default="build/release/bin")
    ap.add_argument("--mb", type=int, default=100)
    ap.add_argument("--frames", type=int, default=40)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--only", choices=["read", "capture"])
    a = ap.parse_args()
    if a.only != "capture":
        bench_read(a.mb, a.rounds)
    if a.only != "read":
        bench_capture(Path(a.bin), a.frames, a.rounds)


if __name__ == "__main__":
    main()
