// The families of Z1 chips on the feature channel: plain, behind a Z2 USB bridge, and
// behind the bridge that buffers data itself (EP1).
//
// The bridge's own feature opcodes (report 9, nothing else in the report): 0x54 stop and
// 0x56 resume the report to the OS, 0xD7 / 0xDA confirm them, 0x55 buffered data.
#include <algorithm>
#include <cstring>

#include "commands/family.h"
#include "corlink.h"
#include "log_sink.h"
#include "transport/feature_channel.h"
#include "transport/memory_read.h"
#include "transport/z1_protocol.h"

namespace corlink::commands {

namespace {

using transport::FeatureGetOpcode;
using transport::FeatureSetOpcode;
using transport::Z1Link;
using transport::Z1Next;
using transport::Z1Step;

constexpr uint8_t kSetMode = 0x85;
constexpr uint8_t kOpStopReport = 0x54;
constexpr uint8_t kOpResumeReport = 0x56;
constexpr uint8_t kOpConfirmStop = 0xD7;
constexpr uint8_t kOpConfirmResume = 0xDA;
constexpr uint8_t kOpBufferedData = 0x55;

constexpr auto kFeatureSetRawMode = kOn<transport::FeatureLink, Z1SetMode>;

bool FeatureReportToOS(int fd, bool enable, bool skip_confirm, const char* /*device_path*/) {
  uint8_t report[transport::kFeatureReportSize];
  if (enable) {
    if (!skip_confirm && !FeatureGetOpcode(fd, kOpConfirmResume, report)) return false;
    return FeatureSetOpcode(fd, kOpResumeReport);
  }
  if (!FeatureSetOpcode(fd, kOpStopReport)) return false;
  return skip_confirm || FeatureGetOpcode(fd, kOpConfirmStop, report);
}

// The bridge served on the feature channel confirms the switch with a get-feature.
int Ep1SetRawMode(int fd, int mode) {
  uint8_t report[transport::kFeatureReportSize];
  if (mode == 0) {
    (void)FeatureGetOpcode(fd, kOpConfirmStop, report);
    return kFeatureSetRawMode(fd, 0);
  }
  int result = kFeatureSetRawMode(fd, mode);
  if (!FeatureGetOpcode(fd, kOpConfirmResume, report)) return CORLINK_ERR_FAILED;
  return result;
}

// It buffers data itself: a 0x55 get-feature returns up to 15 bytes (09 55 10 n data...).
int Ep1ReadData(int fd, uint32_t /*address*/, uint8_t* buffer, uint32_t* count) {
  uint8_t report[transport::kFeatureReportSize];
  if (!FeatureGetOpcode(fd, kOpBufferedData, report) || report[2] != 16) return CORLINK_ERR_FAILED;
  const uint32_t n = std::min<uint32_t>(report[3], 15);
  std::memcpy(buffer, report + 4, n);
  *count = n;
  return 0;
}

constexpr FirmwareUnit kZ1Unit{0x3000, 12};

}  // namespace

int Z1SetMode(const Z1Link& link, uint8_t mode) {
  return transport::RunZ1Loop([&](bool) -> Z1Step {
    if (!transport::Z1Send(link, kSetMode, &mode, 1)) return {Z1Next::kDone, CORLINK_ERR_FAILED};
    uint16_t id = 0;
    bool acked = transport::Z1ReadAck(link, transport::kZ1ModeAckId, &id);
    if (id != transport::kZ1ModeAckId) {
      Log("The ack of 0x85 cmd is 0x%x not 0x5a31!\n", id);
      return {Z1Next::kDone, CORLINK_ERR_FAILED};
    }
    return acked ? Z1Step{Z1Next::kDone, 0} : Z1Step{Z1Next::kRetry, CORLINK_ERR_RETRIES};
  });
}

const Family& Z1FeatureFamily() {
  static const Family family{
      .name = "Z1 feature channel",
      .set_raw_mode = kFeatureSetRawMode,
      .report_to_os = FeatureReportToOS,
      .read_data = kOn<transport::FeatureLink, transport::Z1ReadMemory>,
      .maintenance = &Z1MaintenanceTable(),
      .firmware = kZ1Unit,
  };
  return family;
}

const Family& Z2BridgeFamily() {
  static const Family family = [] {
    Family f = Z1FeatureFamily();
    f.name = "Z2 USB bridge";
    f.bridge_controls = true;
    f.interface_test = true;
    return f;
  }();
  return family;
}

const Family& Ep1BridgeFamily() {
  static const Family family{
      .name = "EP1 bridge",
      .set_raw_mode = Ep1SetRawMode,
      .read_data = Ep1ReadData,
      .maintenance = &Z1MaintenanceTable(),
      .firmware = kZ1Unit,
      .bridge_controls = true,
  };
  return family;
}

}  // namespace corlink::commands
