"""Recordings through the module: what the viewer's writer wrote loads with the right
shapes and values; what the module writes the viewer's reader loads; bad files fail."""

import numpy as np
import pytest

import pelorin
from conftest import assert_matches_text

TBL_KEY = 0x4D


def two_sources(frames=3):
    rng = np.random.default_rng(7)
    a = rng.integers(-500, 500, size=(frames, 4, 5), dtype=np.int32)
    b = rng.integers(0, 3000, size=(frames, 4, 2), dtype=np.int32)
    mask = np.ones((frames, 4, 5), bool)
    mask[1, 2, 3] = False  # a mask that changes from frame to frame
    return [
        pelorin.Source(np.where(mask, a, 0), valid=mask, time_ms=[0, 16, 31][:frames],
                       frame_no=[1, 4, 7][:frames], read_errors=[0, 2, 0][:frames],
                       source="RawData"),
        pelorin.Source(b, time_ms=[0, 16, 31][:frames], source="Diff"),
    ]


@pytest.mark.parametrize("suffix,encode,newline", [
    (".csv", False, "\n"),
    (".txt", False, "\n"),
    (".csv", False, "\r\n"),
    (".tbl", True, "\n"),
])
def test_written_recording_reads_back_whole(tmp_path, suffix, encode, newline):
    sources = two_sources()
    plain = tmp_path / "plain.csv"
    pelorin.write_recording(plain, sources)
    assert_matches_text(pelorin.read_recording(plain), plain)

    data = plain.read_bytes().replace(b"\n", newline.encode())
    if encode:
        data = bytes((b + TBL_KEY) % 256 for b in data)
    path = tmp_path / ("copy" + suffix)
    path.write_bytes(data)
    rec = pelorin.read_recording(path)
    assert len(rec) == 2 and rec.declared_frames == 3
    for got, want in zip(rec.sources, sources):
        assert got.source == want.source
        np.testing.assert_array_equal(got.frames, want.frames)
        np.testing.assert_array_equal(got.valid, want.valid)
        np.testing.assert_array_equal(got.time_ms, rec[0].time_ms)
    np.testing.assert_array_equal(rec.frame_no, [1, 4, 7])
    np.testing.assert_array_equal(rec.read_errors, [0, 2, 0])


def test_shared_mask_costs_no_copy_per_frame(tmp_path):
    mask = np.ones((6, 7), bool)
    mask[0, :] = False
    frames = np.arange(50 * 6 * 7, dtype=np.int32).reshape(50, 6, 7)
    pelorin.write_recording(tmp_path / "m.csv", pelorin.Source(frames, valid=mask))
    rec = pelorin.read_recording(tmp_path / "m.csv")
    assert rec.valid.shape == (50, 6, 7) and rec.valid.strides[0] == 0
    assert not rec.valid.flags.writeable
    np.testing.assert_array_equal(rec.frames, np.where(mask, frames, 0))


def test_existing_file_is_replaced_whole_or_kept(tmp_path):
    target = tmp_path / "keep.csv"
    target.write_text("precious")
    zeros = np.zeros((2, 3, 4), np.int32)
    for bad, reason in [
        ([pelorin.Source(zeros), pelorin.Source(np.zeros((2, 4, 4), np.int32))], "same width"),
        ([pelorin.Source(zeros), pelorin.Source(zeros, time_ms=[0, 9])], "same time_ms"),
        ([pelorin.Source(zeros), pelorin.Source(zeros[:1])], "same number of frames"),
        (pelorin.Source(zeros, source="a,b"), "comma"),
    ]:
        with pytest.raises(ValueError, match=reason):
            pelorin.write_recording(target, bad)
    assert target.read_text() == "precious"
    pelorin.write_recording(target, np.ones((1, 2, 2), np.int32))
    assert pelorin.read_recording(target).frames.sum() == 4
    assert [p.name for p in tmp_path.iterdir()] == ["keep.csv"]


@pytest.mark.parametrize("text,reason", [
    ("Pelorinx\nFrameCount, 1\n", "first line"),
    ("Pelorin\nWidth, 2\n", "FrameCount"),
    ("Pelorin\nFrameCount, 1\nWidth, 2\nHeight, 2\nType, Diff\n\nNo , 1,  0ms, Read Error Times , 0\n1,2,\n",
     "ends inside a frame"),
    ("Pelorin\nFrameCount, 1\nWidth, 2\nHeight, 3\nType, Diff\n\nNo , 1,  0ms, Read Error Times , 0\n1,\n3,\n",
     "fewer than Height"),
    ("Pelorin\nFrameCount, 9\nWidth, 2\nHeight, 2\nType, Diff\n\n", "no frame"),
])
def test_bad_files_fail_with_their_line(tmp_path, text, reason):
    path = tmp_path / "bad.csv"
    path.write_text(text)
    with pytest.raises(ValueError, match=reason):
        pelorin.read_recording(path)


def test_missing_file_and_folder_fail(tmp_path):
    for path in (tmp_path / "none.csv", tmp_path):
        with pytest.raises(ValueError):
            pelorin.read_recording(path)
