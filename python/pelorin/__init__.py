"""Pelorin from Python: recordings, live capture, panel tests and firmware.

Recordings load as numpy arrays (read_recording, write_recording); capture and stream run
the viewer's acquisition; check_limits, compare_golden and noise_report judge a panel as
pelorin-capture does; devices and Device run the corlink tool's commands. Everything is
the C++ of the programs, bound with pybind11.
"""

from ._pelorin import (
    DeviceError,
    Device,
    Frame,
    NoiseReport,
    PanelResult,
    Recording,
    Source,
    Stream,
    capture,
    check_limits,
    compare_golden,
    devices,
    noise_report,
    read_recording,
    stream,
    write_recording,
)

__all__ = [
    "DeviceError",
    "Device",
    "Frame",
    "NoiseReport",
    "PanelResult",
    "Recording",
    "Source",
    "Stream",
    "capture",
    "check_limits",
    "compare_golden",
    "devices",
    "noise_report",
    "read_recording",
    "stream",
    "write_recording",
]
