"""The corlink tool's commands through pelorin.Device against panelsim: the same results
and the same failure messages as the `corlink` program, and a flash that verifies."""

import json

import pytest

import pelorin
from conftest import run_program


def intel_hex(data: bytes, address: int) -> str:
    lines = [":02000004%04X" % (address >> 16)]
    lines[0] += "%02X" % ((-(2 + 4 + (address >> 24) + ((address >> 16) & 0xFF))) & 0xFF)
    for off in range(0, len(data), 32):
        chunk = data[off:off + 32]
        a = (address + off) & 0xFFFF
        body = bytes([len(chunk), a >> 8, a & 0xFF, 0]) + chunk
        lines.append(":" + body.hex().upper() + "%02X" % ((-sum(body)) & 0xFF))
    lines.append(":00000001FF")
    return "\n".join(lines) + "\n"


def test_commands_answer_as_the_tool(panel):
    found = pelorin.devices()
    assert len(found) == 1
    dev = pelorin.Device()
    assert dev.path == found[0]["path"]
    tool = json.loads(run_program("corlink", "--json", "info").stdout)
    info = dev.info()
    assert {k: info[k] for k in ("type_name", "vid", "pid", "unit_length")} == \
        {k: tool[k] for k in ("type_name", "vid", "pid", "unit_length")}
    assert len(dev.read_memory(0x3000)) == 4
    crc = json.loads(run_program("corlink", "--json", "crc", "0x3000", "64").stdout)
    assert dev.block_crc(0x3000, 64) == int(crc["crc"], 16)
    dev.reset()
    dev.calibrate()


def test_flash_verifies_and_reports_progress(panel, tmp_path):
    image = bytes((i * 7 + 3) & 0xFF for i in range(10 * 1024))
    path = tmp_path / "image.hex"
    path.write_text(intel_hex(image, 0x3000))
    phases = []
    result = pelorin.Device().flash(path, progress=lambda p, d, t: phases.append((p, d, t)))
    assert result["bytes"] == len(image) and result["verified_blocks"] == 3
    assert ("write", len(image), len(image)) in phases
    assert ("verify", len(image), len(image)) in phases
    assert pelorin.Device().block_crc(0x3000, 1024) == \
        int(json.loads(run_program("corlink", "--json", "crc", "0x3000", "1024").stdout)["crc"], 16)


@pytest.mark.parametrize("content,args", [
    (":0400000001020304F1\n:00000001FF\n", []),  # bad checksum
    ("not hex at all", []),
])
def test_failures_carry_the_tools_message(panel, tmp_path, content, args):
    path = tmp_path / "bad.hex"
    path.write_text(content)
    tool = run_program("corlink", "flash", str(path), *args)
    assert tool.returncode == 2
    with pytest.raises(ValueError) as caught:
        pelorin.Device().flash(path)
    assert "corlink: " + str(caught.value) in tool.stderr


def test_device_error_has_code_and_message(panel, tmp_path, monkeypatch):
    tool = run_program("corlink", "power")
    if tool.returncode == 0:
        pytest.skip("this panel answers the power mode")
    with pytest.raises(pelorin.DeviceError) as caught:
        pelorin.Device().power_mode()
    assert caught.value.code == tool.returncode
    assert "corlink: " + caught.value.message in tool.stderr
    monkeypatch.setenv("CORLINK_VIRTUAL_DIR", str(tmp_path))
    with pytest.raises(pelorin.DeviceError, match="no device found"):
        pelorin.Device()
