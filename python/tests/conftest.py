"""Shared fixtures: an emulated panel (panelsim) on a private socket folder, and a
reader of recording text that owes nothing to the module, to hold its results against."""

import os
import signal
import subprocess
import time
from pathlib import Path

import numpy as np
import pytest

BIN = Path(os.environ.get("PELORIN_BIN", ""))


class Panel:
    def __init__(self, folder: Path, *args: str):
        self.folder = folder
        self.log = open(folder / "panelsim.log", "w")
        self.process = subprocess.Popen(
            [str(BIN / "panelsim"), "--folder", str(folder), *args],
            stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 10
        while not list(folder.glob("*.sock")):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("panelsim did not start: " + (folder / "panelsim.log").read_text())
            time.sleep(0.02)

    def unplug(self):
        self.process.kill()
        self.process.wait(timeout=10)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)
        self.log.close()


@pytest.fixture
def panel_factory(tmp_path, monkeypatch):
    folder = tmp_path / "devices"
    folder.mkdir()
    # The library finds the emulated panel through this folder, in this process and in
    # the programs it starts.
    monkeypatch.setenv("CORLINK_VIRTUAL_DIR", str(folder))
    panels = []

    def start(*args: str) -> Panel:
        panels.append(Panel(folder, *args))
        return panels[-1]

    yield start
    for p in panels:
        p.stop()


@pytest.fixture
def panel(panel_factory):
    return panel_factory("--chips", "2", "--drive", "12", "--sense", "10")


def run_program(name: str, *args: str, cwd=None) -> subprocess.CompletedProcess:
    return subprocess.run([str(BIN / name), *args], capture_output=True, text=True,
                          timeout=120, cwd=cwd)


def parse_recording_text(text: str):
    """The block format read plainly: per source a list of (stamp, cells, valid)."""
    lines = text.replace("\r\n", "\n").split("\n")
    assert lines[0] == "Pelorin"
    width = int(lines[2].split(",")[1])
    heights = [int(v) for v in lines[3].split(",")[1:]]
    names = [v.strip() for v in lines[4].split(",")[1:]]
    sources = [[] for _ in heights]
    i = 6
    while i < len(lines) and lines[i].startswith("No "):
        for s, h in enumerate(heights):
            fields = lines[i].split(",")
            stamp = (int(fields[1]), int(fields[2].strip().rstrip("ms")), int(fields[4]))
            rows = [lines[i + 1 + x].split(",")[:h] for x in range(width)]
            cells = np.array([[0 if v == "N/A" else int(v) for v in r] for r in rows], np.int32)
            valid = np.array([[v != "N/A" for v in r] for r in rows])
            sources[s].append((stamp, cells, valid))
            i += width + 2
    return names, sources


def assert_matches_text(recording, path: Path):
    names, sources = parse_recording_text(path.read_text())
    assert [s.source for s in recording.sources] == names
    for src, blocks in zip(recording.sources, sources):
        assert src.frames.shape == (len(blocks),) + blocks[0][1].shape
        np.testing.assert_array_equal(src.frames, np.stack([b[1] for b in blocks]))
        np.testing.assert_array_equal(src.valid, np.stack([b[2] for b in blocks]))
        np.testing.assert_array_equal(src.frame_no, [b[0][0] for b in blocks])
        np.testing.assert_array_equal(src.time_ms, [b[0][1] for b in blocks])
        np.testing.assert_array_equal(src.read_errors, [b[0][2] for b in blocks])
