# Type stubs of the pelorin module (the extension pelorin._pelorin).
import os
from typing import Any, Callable, Iterator, Sequence, TypedDict, overload

import numpy as np
import numpy.typing as npt

_Path = str | os.PathLike[str]
_RecordingLike = Recording | Source | Sequence[Source] | _Path

class DeviceError(RuntimeError):
    code: int
    message: str
    recording: Recording | None

class Source:
    frames: npt.NDArray[np.int32]
    valid: npt.NDArray[np.bool_]
    time_ms: npt.NDArray[np.int32]
    frame_no: npt.NDArray[np.int32]
    read_errors: npt.NDArray[np.int32]
    source: str
    chips: str
    @property
    def width(self) -> int: ...
    @property
    def height(self) -> int: ...
    def __init__(
        self,
        frames: npt.ArrayLike,
        valid: npt.ArrayLike | None = None,
        time_ms: npt.ArrayLike | None = None,
        frame_no: npt.ArrayLike | None = None,
        read_errors: npt.ArrayLike | None = None,
        source: str = "Diff",
        chips: str = "",
    ) -> None: ...
    def __len__(self) -> int: ...

class Recording:
    sources: list[Source]
    path: str | None
    declared_frames: int
    interrupted: bool
    messages: list[str]
    frames: npt.NDArray[np.int32]
    valid: npt.NDArray[np.bool_]
    time_ms: npt.NDArray[np.int32]
    frame_no: npt.NDArray[np.int32]
    read_errors: npt.NDArray[np.int32]
    source: str
    chips: str
    def __len__(self) -> int: ...
    def __getitem__(self, index: int) -> Source: ...

def read_recording(path: _Path) -> Recording: ...
def write_recording(
    path: _Path, recording: Recording | Source | Sequence[Source] | npt.ArrayLike
) -> None: ...

class Frame:
    cells: npt.NDArray[np.int32]
    valid: npt.NDArray[np.bool_]
    frame_no: int
    time_ms: int
    read_errors: int

class Stream(Iterator[Frame]):
    frames_read: int
    dropped: int
    interrupted: bool
    recording_path: str | None
    chips: str
    messages: list[str]
    def __iter__(self) -> Stream: ...
    def __next__(self) -> Frame: ...
    def close(self) -> None: ...
    def __enter__(self) -> Stream: ...
    def __exit__(self, *args: Any) -> None: ...

def capture(
    source: str = "diff",
    frames: int = 100,
    device: str | Device | None = None,
    every: int = 1,
    order: str | None = None,
    chip: str | int = "all",
    progress: Callable[[int, int], Any] | None = None,
    out: _Path | None = None,
    delay_ms: int = 10,
) -> Recording: ...
def stream(
    source: str = "diff",
    frames: int | None = None,
    device: str | Device | None = None,
    every: int = 1,
    order: str | None = None,
    chip: str | int = "all",
    out: _Path | None = None,
    delay_ms: int = 10,
) -> Stream: ...

class PanelResult:
    passed: bool
    failures: np.ndarray  # structured: check, x, y, value, limit, below
    lines: list[str]
    frames: int
    def __bool__(self) -> bool: ...

class NoiseReport:
    noise_pp: npt.NDArray[np.float64]
    noise_rms: npt.NDArray[np.float64]
    signal: npt.NDArray[np.float64]
    snr: npt.NDArray[np.float64]
    snr_db: npt.NDArray[np.float64]
    noise_zero: npt.NDArray[np.bool_]
    untouched_frames: int
    touched_frames: int
    summary: dict[str, Any]

_LimitRow = tuple[str, int | str | None, int | str | None, float | None, float | None]

def check_limits(
    recording: _RecordingLike, limits: _Path | Sequence[_LimitRow | tuple[str, str] | str]
) -> PanelResult: ...
def compare_golden(
    recording: _RecordingLike, golden: _RecordingLike, tolerance: float | str = 0
) -> PanelResult: ...
def noise_report(recording: _RecordingLike, untouched: int = 100) -> NoiseReport: ...

class DeviceInfo(TypedDict):
    type: int
    type_name: str
    path: str

def devices() -> list[DeviceInfo]: ...

class Device:
    path: str
    def __init__(self, path: str | None = None) -> None: ...
    def info(self) -> dict[str, Any]: ...
    def reset(self) -> None: ...
    def calibrate(self) -> None: ...
    def read_memory(self, address: int) -> list[int]: ...
    def block_crc(self, address: int, length: int) -> int: ...
    def power_mode(self, mode: int | None = None) -> int: ...
    def flash(
        self,
        path: _Path,
        progress: Callable[[str, int, int], Any] | None = None,
        address: int | None = None,
    ) -> dict[str, Any]: ...
