// Maintenance commands of a Z2 master with its own USB interface: one 19-byte letter
// report each. The chip's acceptance of the write is the result, except for wait ready
// and memory access, which read an answer.
#include <cstring>

#include "commands/maintenance.h"
#include "corlink.h"
#include "library_state.h"
#include "transport/timing.h"
#include "transport/z2_channel.h"

namespace corlink::commands {

namespace {

constexpr uint8_t kLetterReset = 'i';
constexpr uint8_t kRecalibrateArg = 0xCA;
constexpr uint8_t kLetterMemory = '-';  // also the firmware information
constexpr uint8_t kLetterData = '<';
constexpr uint8_t kLetterFinish = 'K';  // with 'Z': wait ready
constexpr size_t kZ2FrameBytes = 16;

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int Letter(int fd, uint8_t code, uint8_t byte2 = 0) {
  uint8_t* report = transport::Z2ClearReport(code);
  report[2] = byte2;
  return transport::Z2Command(fd, report);
}

int Reset(int fd) { return Letter(fd, kLetterReset); }
int Recalibrate(int fd) { return Letter(fd, kLetterReset, kRecalibrateArg); }
int Finish(int fd) { return Letter(fd, kLetterFinish); }

int WaitReady(int fd) {
  const RetrySetting retry = State().retry[kRetryZ2Report];
  for (int attempt = 0; attempt < retry.count; ++attempt) {
    uint8_t* report = transport::Z2ClearReport(kLetterFinish);
    report[2] = 'Z';
    uint8_t answer[transport::kZ2ReportSize] = {};
    if (transport::Z2CommandRead(fd, report, answer) == 0) {
      if (answer[2] == 0xBE && answer[3] == 0xEF) return CORLINK_OK;
      if (answer[2] == 0xDE && answer[3] == 0xAD) return CORLINK_ERR_FAILED;
    }
    transport::SleepMs(retry.delay_ms);
  }
  return CORLINK_ERR_RETRIES;
}

int UpdateInfo(int fd, uint32_t address, uint32_t length, uint8_t /*flag*/) {
  uint8_t* report = transport::Z2ClearReport(kLetterMemory);
  report[2] = static_cast<uint8_t>(length);
  report[3] = static_cast<uint8_t>(length >> 8);
  PutLe32(report + 4, address);
  return transport::Z2Command(fd, report);
}

int UpdateData(int fd, const uint8_t* data, uint8_t length, uint16_t /*frame_id*/) {
  if (length < kZ2FrameBytes) return CORLINK_ERR_FAILED;
  uint8_t reversed[kZ2FrameBytes];
  ReverseWords(data, kZ2FrameBytes, reversed);
  uint8_t* report = transport::Z2ClearReport(kLetterData);
  report[2] = kZ2FrameBytes;
  // Fifteen bytes fill the report from byte 4; the last one goes in the free byte 3.
  std::memcpy(report + 4, reversed, 15);
  report[3] = reversed[15];
  return transport::Z2Command(fd, report);
}

int Memory(int fd, uint32_t address, uint32_t word2, uint32_t word3, int32_t* out) {
  uint8_t* report = transport::Z2ClearReport(address == 0 ? 0x00 : kLetterMemory);
  PutLe32(report + 4, address);
  PutLe32(report + 8, word2);
  PutLe32(report + 12, word3);
  uint8_t answer[transport::kZ2ReportSize] = {};
  if (transport::Z2CommandRead(fd, report, answer) != 0) return CORLINK_ERR_FAILED;
  *out = static_cast<int32_t>(static_cast<uint32_t>(answer[4]) | static_cast<uint32_t>(answer[5]) << 8 |
                              static_cast<uint32_t>(answer[6]) << 16 | static_cast<uint32_t>(answer[7]) << 24);
  return CORLINK_OK;
}

// The pass-through commands carry Z1 bytes, which a Z2 master does not take.
bool CmdRead(int, uint8_t, uint8_t*, uint8_t* count) {
  *count = 0;
  return false;
}
bool CmdWrite(int, const uint8_t*) { return false; }

}  // namespace

const MaintenanceTable& Z2MaintenanceTable() {
  static const MaintenanceTable table{
      .reset = Reset,
      .recalibrate = Recalibrate,
      .wait_ready = WaitReady,
      .update_info = UpdateInfo,
      .update_data = UpdateData,
      .update_finish = Finish,
      .block_crc = nullptr,
      .memory = Memory,
      .power_mode = nullptr,
      .button_mode = nullptr,
      .cmd_read = CmdRead,
      .cmd_write = CmdWrite,
  };
  return table;
}

}  // namespace corlink::commands
