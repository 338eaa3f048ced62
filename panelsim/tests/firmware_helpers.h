// Driving the firmware directly, without a socket.
#pragma once

#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include <algorithm>

#include "packets.h"
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

// --- Z1 on the feature channel ---

// Write a command, then fetch its response the way a host does (request, two status
// gets, the response get). Returns the response bytes.
inline std::vector<uint8_t> Response(Firmware& fw, uint8_t query = 0) {
  EXPECT_EQ(SetFeature(fw, FeatureRequest(query)), 0);
  for (int i = 0; i < 2; ++i) {
    auto s = GetFeature(fw);
    EXPECT_TRUE(s && (*s)[2] == 0x02 && (*s)[3] == 0xAB && (*s)[4] == 0xCD);
  }
  auto r = GetFeature(fw);
  if (!r) return {};
  return std::vector<uint8_t>(r->begin() + 3, r->begin() + 3 + std::min<int>((*r)[2], 17));
}

inline std::vector<uint8_t> Command(Firmware& fw, uint8_t command, std::vector<uint8_t> payload) {
  EXPECT_EQ(SetFeature(fw, FeatureWrite(command, payload)), 0);
  auto s = GetFeature(fw);
  EXPECT_TRUE(s && (*s)[2] == 0x02 && (*s)[3] == 0xAB && (*s)[4] == 0xCD);
  return Response(fw);
}

inline std::vector<uint8_t> WithCrc(std::vector<uint8_t> v) {
  uint16_t crc = Crc16(v.data(), v.size());
  v.push_back(static_cast<uint8_t>(crc >> 8));
  v.push_back(static_cast<uint8_t>(crc));
  return v;
}

}  // namespace panelsim::test
