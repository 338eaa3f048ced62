// Driving the firmware directly, without a socket.
#pragma once

#include <optional>
#include <vector>

#include "panelsim/firmware.h"

namespace panelsim::test {

inline Outcome SendOutput(Firmware& fw, const std::vector<uint8_t>& report) {
  Request r;
  r.kind = Request::Kind::Output;
  r.data = report;
  r.report = report.empty() ? 0 : report[0];
  return fw.Handle(r);
}

// The single input answer of an output request, if there is exactly one.
inline std::optional<std::vector<uint8_t>> Ask(Firmware& fw, const std::vector<uint8_t>& report) {
  Outcome o = SendOutput(fw, report);
  if (o.answers.size() != 1 || o.answers[0].kind != Answer::Kind::Input) return std::nullopt;
  return o.answers[0].data;
}

inline int SetFeature(Firmware& fw, const std::vector<uint8_t>& report) {
  Request r;
  r.kind = Request::Kind::SetFeature;
  r.report = report.empty() ? 0 : report[0];
  r.data = report;
  Outcome o = fw.Handle(r);
  return o.answers.size() == 1 ? o.answers[0].err : -1;
}

inline std::optional<std::vector<uint8_t>> GetFeature(Firmware& fw, uint8_t report = 0x09) {
  Request r;
  r.kind = Request::Kind::GetFeature;
  r.report = report;
  Outcome o = fw.Handle(r);
  if (o.answers.size() != 1 || o.answers[0].err != 0) return std::nullopt;
  return o.answers[0].data;
}

inline FirmwareConfig ConfigOf(DeviceType type, int chips = 3) {
  FirmwareConfig c;
  c.type = type;
  c.panel.chips = chips;
  c.panel.drive = 20;
  c.panel.sense = {30};
  c.panel.overlap = 2;
  c.panel.seed = 7;
  return c;
}

}  // namespace panelsim::test
