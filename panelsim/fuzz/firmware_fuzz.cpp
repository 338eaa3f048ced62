// Feeds arbitrary host events to the firmware of every device type: the event parser and
// every command family must bound what they read and never hang.
//
// Input: [type selector][chip count][fault selector] then events, each
// [length byte][that many bytes, copied over the start of a uhid_event].
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "panelsim/firmware.h"
#include "wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace panelsim;
  if (size < 3) return 0;
  const auto& types = AllDeviceTypes();
  FirmwareConfig cfg;
  cfg.type = types[data[0] % types.size()];
  cfg.panel.chips = 1 + data[1] % 8;
  cfg.panel.drive = 6;
  cfg.panel.sense = {7};
  cfg.panel.fingers = 1;
  Firmware fw(cfg);
  if (data[2] & 0x80) {
    Fault f;
    f.kind = static_cast<FaultKind>(data[2] % 10);
    f.count = -1;
    fw.faults().Add(f);
  }
  size_t pos = 3;
  int events = 0;
  while (pos < size && events++ < 64) {
    size_t len = data[pos++];
    len = std::min(len, size - pos);
    uhid_event ev;
    std::memset(&ev, 0, sizeof ev);
    std::memcpy(&ev, data + pos, std::min(len, sizeof ev));
    // Short inputs become the three request kinds with the bytes as their report.
    if (len > 0 && len < 80) {
      uint8_t kind = data[pos] % 3;
      std::memset(&ev, 0, sizeof ev);
      if (kind == 0) {
        ev.type = UHID_OUTPUT;
        ev.u.output.size = static_cast<uint16_t>(len);
        std::memcpy(ev.u.output.data, data + pos, len);
        ev.u.output.data[0] = 0x09;
      } else if (kind == 1) {
        ev.type = UHID_SET_REPORT;
        ev.u.set_report.rnum = 9;
        ev.u.set_report.rtype = UHID_FEATURE_REPORT;
        ev.u.set_report.size = static_cast<uint16_t>(len);
        std::memcpy(ev.u.set_report.data, data + pos, len);
        ev.u.set_report.data[0] = 0x09;
      } else {
        ev.type = UHID_GET_REPORT;
        ev.u.get_report.rnum = data[pos + len - 1] & 1 ? 9 : data[pos + len - 1];
        ev.u.get_report.rtype = UHID_FEATURE_REPORT;
      }
      len = sizeof ev;
    }
    pos += std::min(len, size - pos);
    auto req = wire::ParseHostEvent(ev, len, nullptr);
    if (!req) continue;
    Outcome out = fw.Handle(*req);
    for (const Answer& a : out.answers) {
      uhid_event back = wire::FromAnswer(a);
      (void)back;
    }
  }
  std::string text(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64));
  std::string err;
  (void)ParseFault(text, &err);
  (void)ParseDeviceType(text);
  return 0;
}
