// IO_ReportToOS: stops the chip's touch reports to the operating system while a host
// streams diagnostic data, and gives the panel back afterwards.
#include <cstdio>
#include <cstring>

#include "commands/raw_data.h"
#include "device_type.h"
#include "hid/hid_port.h"
#include "library_state.h"
#include "log_sink.h"
#include "transport/feature_channel.h"
#include "transport/timing.h"
#include "transport/z2_channel.h"
#include "transport/z3_protocol.h"

namespace corlink::commands {

namespace {

constexpr uint8_t kSetMode = 0x85;
constexpr uint8_t kZ2ReportToOs = 'Z';
constexpr int kBridgeTries = 6;
constexpr unsigned kBetweenWordsMs = 100;  // the chip settles after the first mode word
constexpr unsigned kAfterSwitchMs = 500;   // and after the whole switch
constexpr transport::Z3Timing kModeTiming{20, 20};
constexpr transport::Z3Timing kHidOverI2cModeTiming{20, 20, 3};

// One mode word to the master chip (also when a Z7 slave is selected: only the master
// reports to the OS).
bool SendModeWord(int32_t type, int fd, uint16_t word) {
  const uint8_t payload[2] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8)};
  if (type == DEV_Z3_HID_OVER_I2C)
    return transport::HidOverI2cExchange(fd, kSetMode, payload, sizeof payload,
                                         kHidOverI2cModeTiming, nullptr) == 0;
  return transport::Z3Exchange(fd, kSetMode, payload, sizeof payload, kModeTiming, nullptr) == 0;
}

// The pair of words of one switch; the second follows only when the first was taken.
bool SendWordPair(int32_t type, int fd, bool enable) {
  if (enable)
    return SendModeWord(type, fd, kModeReportOn) && SendModeWord(type, fd, kModeReportOnRaw);
  if (!SendModeWord(type, fd, kModeReportOff)) return false;
  transport::SleepMs(kBetweenWordsMs);
  return SendModeWord(type, fd, kModeReportOffRaw);
}

bool Z3UsbReport(int fd, bool enable) {
  bool ok;
  if (enable) {
    bool first = SendModeWord(DEV_Z3_USB, fd, kModeReportOn);
    bool second = SendModeWord(DEV_Z3_USB, fd, kModeReportOnRaw);
    ok = first && second;
  } else {
    bool first = SendModeWord(DEV_Z3_USB, fd, kModeReportOff);
    transport::SleepMs(kBetweenWordsMs);
    bool second = SendModeWord(DEV_Z3_USB, fd, kModeReportOffRaw);
    ok = first && second;
  }
  if (ok) transport::SleepMs(kAfterSwitchMs);
  return ok;
}

// Z3 bridge and HID-over-I2C: up to six tries of the pair; the bridge brackets the switch
// with its own words.
bool Z3TriedReport(int32_t type, int fd, bool enable) {
  const bool bridge = type == DEV_Z3_USB_BRG;
  const unsigned delay = State().retry[bridge ? kRetryZ3Usb : kRetryHidOverI2c].delay_ms;
  if (bridge && !enable) (void)SendModeWord(type, fd, kModeBridgeOff);
  bool ok = false;
  for (int i = 0; i < kBridgeTries && !ok; ++i) {
    ok = SendWordPair(type, fd, enable);
    // The bridge rests after every failed try, HID-over-I2C only between tries.
    if (!ok && (bridge || i + 1 < kBridgeTries)) transport::SleepMs(delay);
  }
  if (bridge && enable) (void)SendModeWord(type, fd, kModeBridgeOn);
  if (ok) transport::SleepMs(kAfterSwitchMs);
  return ok;
}

bool FeatureReport(int fd, bool enable, bool skip_confirm) {
  uint8_t report[transport::kFeatureReportSize];
  if (enable) {
    if (!skip_confirm && !FeatureGetOpcode(fd, kOpConfirmResume, report)) return false;
    return FeatureSetOpcode(fd, kOpResumeReport);
  }
  if (!FeatureSetOpcode(fd, kOpStopReport)) return false;
  if (skip_confirm) return true;
  return FeatureGetOpcode(fd, kOpConfirmStop, report);
}

// A 'Z' report to the Z2 master; 1 once a write went through.
bool Z2Report(int fd, uint8_t byte2, uint8_t byte3) {
  uint8_t* report = transport::Z2ClearReport(kZ2ReportToOs);
  report[2] = byte2;
  report[3] = byte3;
  return transport::Z2Command(fd, report) == 0;
}

// Masters of these two products take the plain 'Z' form also while a slave is selected.
bool TakesPlainZ(const char* path) {
  return path && (std::strstr(path, "vid_6b3e&pid_3a04") || std::strstr(path, "vid_6b3e&pid_3a05"));
}

}  // namespace

bool FeatureSetOpcode(int fd, uint8_t opcode) {
  uint8_t report[transport::kFeatureReportSize] = {};
  report[0] = transport::kFeatureReportId;
  report[1] = opcode;
  return hid::SetFeature(fd, report, sizeof report) == 1;
}

bool FeatureGetOpcode(int fd, uint8_t opcode, uint8_t* report) {
  std::memset(report, 0, transport::kFeatureReportSize);
  report[0] = transport::kFeatureReportId;
  report[1] = opcode;
  int n = hid::GetFeature(fd, report, transport::kFeatureReportSize);
  if (n <= 0) {
    std::memset(report, 0, transport::kFeatureReportSize);
    return false;
  }
  return true;
}

bool ReportToOS(int32_t type, int fd, bool enable, bool skip_confirm, const char* device_path) {
  switch (type) {
    case NOT_SET:
    case DEV_Z2_I2C:
    case DEV_Z2_USB_BRG: return FeatureReport(fd, enable, skip_confirm);
    case DEV_Z3_USB:
    case DEV_USB_Z7SLAVE: return Z3UsbReport(fd, enable);
    case DEV_Z3_USB_BRG:
    case DEV_Z3_HID_OVER_I2C: return Z3TriedReport(type, fd, enable);
    case DEV_Z2_USB: return Z2Report(fd, enable ? '1' : '0', 0);
    case DEV_USB_Z6SLAVE:
      if (TakesPlainZ(device_path)) return Z2Report(fd, enable ? '1' : '0', 0);
      return enable ? Z2Report(fd, 0x00, '1') : Z2Report(fd, 0xA5, '0');
    default: Log("Not support, type = %s", DeviceTypeName(type)); return false;
  }
}

}  // namespace corlink::commands
