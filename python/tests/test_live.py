"""Live capture and stream against panelsim: what a capture returns is what its recording
holds; the panel checks agree with pelorin-capture's; a lost device and Ctrl-C end a run
with the frames read so far."""

import csv
import json
import os
import signal
import threading
import time

import numpy as np
import pytest

import pelorin
from conftest import assert_matches_text, run_program

# A lost device must end a run within the library's time-outs; generous for a loaded CI.
LOST_BOUND_S = 20


def test_capture_returns_what_its_recording_holds(panel, tmp_path):
    out = tmp_path / "every3.csv"
    seen = []
    rec = pelorin.capture("diff", 20, every=3, out=out, progress=lambda d, n: seen.append((d, n)))
    assert_matches_text(rec, out)
    np.testing.assert_array_equal(rec.frame_no, [1, 4, 7, 10, 13, 16, 19])
    assert rec.source == "Diff" and rec.chips == "12" and rec.path == str(out)
    assert seen[-1] == (20, 20) and not rec.interrupted
    # Kept in memory only: no file stays behind.
    mem = pelorin.capture("base", 3)
    assert mem.path is None and mem.frames.shape[0] == 3


def test_pelorin_capture_recording_loads_with_its_shape(panel, tmp_path):
    out = tmp_path / "viewer.csv"
    r = run_program("pelorin-capture", "--source", "base", "--frames", "6", "--out", str(out),
                    "--json", "--quiet")
    assert r.returncode == 0, r.stderr
    summary = json.loads(r.stdout[r.stdout.index("{"):])
    rec = pelorin.read_recording(out)
    assert rec.frames.shape == (6, summary["width"], summary["height"])
    assert rec.frames.dtype == np.int32 and rec.source == "Base"
    assert_matches_text(rec, out)


def failure_rows(result):
    return sorted((str(f["check"]), int(f["x"]), int(f["y"]), round(float(f["value"]), 3),
                   round(float(f["limit"]), 3), "min" if f["below"] else "max")
                  for f in result.failures)


def test_limits_and_golden_agree_with_pelorin_capture(panel, tmp_path):
    golden = tmp_path / "golden.csv"
    pelorin.capture("diff", 8, out=golden)
    limits = tmp_path / "limits.csv"
    limits.write_text("source, Diff\nvalue, *, *, , 50\nvalue, 2, *, -1, 5\nnoise_pp, *, *, , 20\n")
    out, failures = tmp_path / "run.csv", tmp_path / "failures.csv"
    r = run_program("pelorin-capture", "--source", "diff", "--frames", "12", "--out", str(out),
                    "--limits", str(limits), "--golden", str(golden), "--tolerance", "1",
                    "--failures", str(failures), "--quiet")
    assert r.returncode in (0, 3), r.stderr
    with open(failures) if failures.exists() else open(os.devnull) as f:
        want = sorted((row["check"], int(row["x"]), int(row["y"]), round(float(row["value"]), 3),
                       round(float(row["limit"]), 3), row["bound"]) for row in csv.DictReader(f))

    rec = pelorin.read_recording(out)
    by_limits = pelorin.check_limits(rec, limits)
    by_golden = pelorin.compare_golden(rec, golden, 1)
    # Every kind of check fails somewhere, so the comparison covers each.
    assert {row[0] for row in want} == {"value", "noise_pp", "golden"}
    assert sorted(failure_rows(by_limits) + failure_rows(by_golden)) == want
    assert (r.returncode == 0) == (by_limits.passed and by_golden.passed)
    # Rows in memory judge as the file does.
    rows = [("source", "Diff"), ("value", None, None, None, 50), ("value", 2, "*", -1, 5),
            ("noise_pp", "*", "*", None, 20)]
    assert failure_rows(pelorin.check_limits(rec, rows)) == failure_rows(by_limits)
    with pytest.raises(ValueError, match="the limits are for Base"):
        pelorin.check_limits(rec, [("source", "Base"), ("value", "*", "*", None, 50)])


def later(seconds, action):
    timer = threading.Timer(seconds, action)
    timer.start()
    return timer


def test_lost_device_raises_in_bounded_time(panel, tmp_path):
    unplugged = []

    def progress(done, total):
        if done >= 3 and not unplugged:
            unplugged.append(time.monotonic())
            panel.unplug()

    with pytest.raises(pelorin.DeviceError) as caught:
        pelorin.capture("diff", 1_000_000, out=tmp_path / "lost.csv", progress=progress)
    assert time.monotonic() - unplugged[0] < LOST_BOUND_S
    err = caught.value
    assert "lost" in err.message and err.code != 0
    assert err.recording is not None and len(err.recording.frames) > 0
    assert_matches_text(err.recording, tmp_path / "lost.csv")


def test_lost_device_ends_a_stream(panel_factory):
    panel = panel_factory("--chips", "1")
    with pytest.raises(pelorin.DeviceError, match="lost"):
        with pelorin.stream("diff") as frames:
            for f in frames:
                if f.frame_no == 3:
                    panel.unplug()


def test_keyboard_interrupt_stops_capture_and_keeps_frames(panel, tmp_path):
    def interrupt_once(done, total):
        if done >= 3 and not sent:
            sent.append(later(0.05, lambda: os.kill(os.getpid(), signal.SIGINT)))

    sent = []
    out = tmp_path / "stopped.csv"
    rec = pelorin.capture("diff", 1_000_000, out=out, progress=interrupt_once)
    assert rec.interrupted and 0 < len(rec.frames) < 1_000_000
    assert_matches_text(rec, out)

    # In a stream, Ctrl-C lands either while it waits for a frame (the iteration ends) or
    # in the loop's own code (KeyboardInterrupt there, the with block stops the run).
    got = []
    with pelorin.stream("base", out=tmp_path / "stream.csv") as s:
        try:
            for f in s:
                got.append(f.frame_no)
                if f.frame_no == 3:
                    later(0.05, lambda: os.kill(os.getpid(), signal.SIGINT))
        except KeyboardInterrupt:
            pass
    assert got and got == list(range(1, len(got) + 1))
    assert len(pelorin.read_recording(s.recording_path).frames) == s.frames_read >= len(got)


def test_no_device_and_bad_options(tmp_path, monkeypatch):
    monkeypatch.setenv("CORLINK_VIRTUAL_DIR", str(tmp_path))
    with pytest.raises(pelorin.DeviceError, match="open device error!"):
        pelorin.capture("diff", 5)
    for kwargs in ({"source": "colour"}, {"chip": "slave9"}, {"order": "9"}, {"frames": 0}):
        with pytest.raises(ValueError):
            pelorin.capture(**kwargs)
