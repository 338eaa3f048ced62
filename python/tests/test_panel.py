"""The panel checks on frames whose answers are known: the noise report's phases, the
golden reference from memory or from a file, limits given as rows or as a file."""

import math

import numpy as np
import pytest

import pelorin


def frames_with(untouched, touched, shape=(3, 4), noise=(0, 4), signal=40):
    """Untouched frames alternate between noise[0] and noise[1]; touched ones add signal."""
    quiet = [np.full(shape, noise[i % 2], np.int32) for i in range(untouched)]
    busy = [np.full(shape, signal + noise[i % 2], np.int32) for i in range(touched)]
    return pelorin.Source(np.stack(quiet + busy))


@pytest.mark.parametrize("untouched,touched", [(2, 2), (4, 3), (5, 0)])
def test_noise_report_splits_the_phases_where_asked(untouched, touched):
    rep = pelorin.noise_report(frames_with(untouched, touched), untouched=untouched)
    assert (rep.untouched_frames, rep.touched_frames) == (untouched, touched)
    assert rep.noise_pp.shape == (3, 4)
    np.testing.assert_array_equal(rep.noise_pp, 4)
    quiet_mean = np.mean([(0, 4)[i % 2] for i in range(untouched)])
    # The signal is the touch's peak over the untouched mean.
    busy_peak = max(40 + (0, 4)[i % 2] for i in range(touched)) if touched else math.nan
    np.testing.assert_allclose(rep.signal, busy_peak - quiet_mean)
    np.testing.assert_allclose(rep.snr, (busy_peak - quiet_mean) / 4)
    assert rep.summary["noise_pp"]["max"] == 4


def test_noise_zero_cells_have_no_snr():
    rep = pelorin.noise_report(frames_with(3, 3, noise=(7, 7)), untouched=3)
    assert rep.noise_zero.all() and np.isnan(rep.snr).all()


def test_golden_from_memory_judges_as_from_a_file(tmp_path):
    rng = np.random.default_rng(3)
    golden = pelorin.Source(rng.integers(100, 110, size=(5, 4, 6), dtype=np.int32), source="Base")
    pelorin.write_recording(tmp_path / "golden.csv", golden)
    shifted = golden.frames.copy()
    shifted[:, 1, 2] += 9
    rec = pelorin.Source(shifted, source="Base")
    for tolerance in (0, 3, "2%"):
        mem = pelorin.compare_golden(rec, golden, tolerance)
        disk = pelorin.compare_golden(rec, tmp_path / "golden.csv", tolerance)
        assert mem.failures.tolist() == disk.failures.tolist()
        assert [tuple(r)[:3] for r in mem.failures] == [("golden", 1, 2)]
    assert pelorin.compare_golden(rec, golden, 10).passed
    with pytest.raises(ValueError, match="bad tolerance"):
        pelorin.compare_golden(rec, golden, "-1")
    with pytest.raises(ValueError, match="holds Diff"):
        pelorin.compare_golden(rec, pelorin.Source(shifted), 0)


def test_limit_rows_and_file_agree(tmp_path):
    frames = np.arange(2 * 3 * 4, dtype=np.int32).reshape(2, 3, 4)
    rec = pelorin.Source(frames, source="RawData")
    rows = [("source", "Raw Data"), ("value", "*", "*", 1, 20), ("value", 2, None, None, 22),
            "value, 0, 3, , 2  # the cell (0, 3)"]
    path = tmp_path / "limits.csv"
    path.write_text("source, RawData\nvalue, *, *, 1, 20\nvalue, 2, *, , 22\nvalue, 0, 3, , 2\n")
    by_rows, by_file = pelorin.check_limits(rec, rows), pelorin.check_limits(rec, path)
    assert by_rows.failures.tolist() == by_file.failures.tolist()
    got = {(str(r["x"]), str(r["y"]), bool(r["below"])) for r in by_rows.failures}
    # (0, 0) starts at 0 < 1; line 2 may reach 22 (23 fails); (0, 3) holds 3 and 15 > 2.
    assert got == {("0", "0", True), ("2", "3", False), ("0", "3", False)}
    assert not by_rows and len(by_rows.lines) == 3
    for bad in ([("value", 9, "*", 0, 1)], [("value", "*", "*", 0)], ["bogus, *, *, 0, 1"]):
        with pytest.raises(ValueError):
            pelorin.check_limits(rec, bad)
