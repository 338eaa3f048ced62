#!/usr/bin/env python3
"""Checks a pelorin MAT-file against the recording beside it: check_mat.py MAT CSV CHIPS"""
import sys

import numpy as np
import scipy.io


def read_recording(path):
    with open(path) as f:
        lines = f.read().split("\n")
    width, height = int(lines[2].split(",")[1]), int(lines[3].split(",")[1])
    source = lines[4].split(",")[1].strip()
    frames, times, i = [], [], 5
    while i + 1 < len(lines) and lines[i + 1].startswith("No , "):
        times.append(int(lines[i + 1].split(",")[2].strip()[:-2]))
        rows = [[int(v) for v in lines[i + 2 + x].split(",")[:-1]] for x in range(width)]
        frames.append(rows)
        i += 2 + width
    return width, height, source, np.array(frames, dtype=np.int32), np.array(times, dtype=np.uint32)


def main():
    mat_path, csv_path, chips = sys.argv[1:4]
    width, height, source, frames, times = read_recording(csv_path)
    m = scipy.io.loadmat(mat_path)
    count = len(frames)
    assert m["frames"].dtype == np.int32, m["frames"].dtype
    assert m["frames"].shape == (width, height, count), m["frames"].shape
    assert (m["frames"] == frames.transpose(1, 2, 0)).all()
    assert m["valid"].dtype == np.uint8 and m["valid"].shape == (width, height)
    assert (m["valid"] == 1).all()
    assert m["time_ms"].dtype == np.uint32 and m["time_ms"].shape == (count, 1)
    assert (m["time_ms"][:, 0] == times).all()
    assert m["source"][0] == source, m["source"]
    assert m["chips"][0] == chips, m["chips"]
    print("scipy: %d frames of %d x %d match" % (count, width, height))


if __name__ == "__main__":
    main()
