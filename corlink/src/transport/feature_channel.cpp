#include "transport/feature_channel.h"

#include <algorithm>
#include <cstring>

#include "hid/hid_port.h"

namespace corlink::transport {

bool FeatureGetOpcode(int fd, uint8_t opcode, uint8_t* report) {
  std::memset(report, 0, kFeatureReportSize);
  report[0] = kFeatureReportId;
  report[1] = opcode;
  int n = hid::GetFeature(fd, report, kFeatureReportSize);
  if (n <= 0) {
    std::memset(report, 0, kFeatureReportSize);
    return false;
  }
  if (static_cast<size_t>(n) < kFeatureReportSize)
    std::memset(report + n, 0, kFeatureReportSize - n);
  return true;
}

bool FeatureSetOpcode(int fd, uint8_t opcode) {
  uint8_t report[kFeatureReportSize] = {};
  report[0] = kFeatureReportId;
  report[1] = opcode;
  return hid::SetFeature(fd, report, sizeof report) == 1;
}

namespace {

// Polls while the device answers "not ready yet"; a get-feature that fails (time-out, the
// device gone) ends the poll at once: 200 more would only wait 200 time-outs longer.
bool PollReady(int fd, uint8_t opcode, uint8_t* report) {
  for (int i = 0; i < kFeatureStatusPolls; ++i) {
    if (!FeatureGetOpcode(fd, opcode, report)) return false;
    if (FeatureReady(report)) return true;
  }
  return false;
}

}  // namespace

bool FeatureReady(const uint8_t* report) {
  return report[2] == 0x02 && report[3] == 0xAB && report[4] == 0xCD;
}

bool FeatureWrite(int fd, uint8_t command, const uint8_t* payload, size_t n) {
  if (n > kFeatureMaxPayload) return false;
  uint8_t report[kFeatureReportSize] = {};
  report[0] = kFeatureReportId;
  report[1] = 0xD9;
  report[2] = static_cast<uint8_t>(n + 2);
  report[3] = command;
  report[4] = static_cast<uint8_t>(n);
  if (n) std::memcpy(report + 5, payload, n);
  if (hid::SetFeature(fd, report, sizeof report) != 1) return false;
  return PollReady(fd, 0xDC, report);
}

bool FeatureRead(int fd, uint8_t command, uint8_t* out, size_t cap, size_t* out_len) {
  *out_len = 0;
  uint8_t report[kFeatureReportSize] = {};
  report[0] = kFeatureReportId;
  report[1] = 0xDD;
  report[2] = 1;
  report[3] = command;
  (void)hid::SetFeature(fd, report, sizeof report);  // judged by what the reads show

  bool ok = FeatureGetOpcode(fd, 0xD8, report);
  if (!ok || !FeatureReady(report)) return ok;
  if (!PollReady(fd, 0xDB, report)) return false;
  ok = FeatureGetOpcode(fd, 0xD8, report);
  if (ok) {
    size_t n = std::min<size_t>({report[2], kFeatureMaxResponse, cap});
    std::memcpy(out, report + 3, n);
    *out_len = n;
  }
  return ok;
}

}  // namespace corlink::transport
