// Maintenance commands of a Z2 master with its own USB interface: one 19-byte letter
// report each. The chip's acceptance of the write is the result, except for wait ready
// and memory access, which read an answer.
#include <cstring>
#include <optional>

#include "commands/maintenance.h"
#include "corlink.h"
#include "library_state.h"
#include "retry.h"
#include "transport/bytes.h"
#include "transport/z2_channel.h"

namespace corlink::commands {

namespace {

constexpr uint8_t kLetterReset = 'i';
constexpr uint8_t kRecalibrateArg = 0xCA;
constexpr uint8_t kLetterMemory = '-';  // also the firmware information
constexpr uint8_t kLetterData = '<';
constexpr uint8_t kLetterFinish = 'K';  // with 'Z': wait ready
constexpr size_t kZ2FrameBytes = 16;

using transport::PutLe32;
using transport::Z2Letter;
using transport::Z2Report;

int Letter(int fd, uint8_t code, uint8_t byte2 = 0) {
  Z2Report report = Z2Letter(code);
  report[2] = byte2;
  return transport::Z2Command(fd, report);
}

int Reset(int fd) { return Letter(fd, kLetterReset); }
int Recalibrate(int fd) { return Letter(fd, kLetterReset, kRecalibrateArg); }
int Finish(int fd) { return Letter(fd, kLetterFinish); }

// Asks until the chip says how the update went; the chip wants the rest also after the
// last unanswered ask.
int WaitReady(int fd) {
  RetryRule rule = FamilyRule(kRetryZ2Report);
  rule.rest_after_last = true;
  Z2Report report = Z2Letter(kLetterFinish);
  report[2] = 'Z';
  return Retry(rule,
               [&](int) -> std::optional<int> {
                 const std::optional<Z2Report> answer = transport::Z2CommandRead(fd, report);
                 if (answer && (*answer)[2] == 0xBE && (*answer)[3] == 0xEF) return CORLINK_OK;
                 if (answer && (*answer)[2] == 0xDE && (*answer)[3] == 0xAD)
                   return CORLINK_ERR_FAILED;
                 return std::nullopt;
               })
      .value_or(CORLINK_ERR_RETRIES);
}

int UpdateInfo(int fd, uint32_t address, uint32_t length, uint8_t /*flag*/) {
  Z2Report report = Z2Letter(kLetterMemory);
  transport::PutLe16(report.data() + 2, length);
  PutLe32(report.data() + 4, address);
  return transport::Z2Command(fd, report);
}

int UpdateData(int fd, const uint8_t* data, uint8_t length, uint16_t /*frame_id*/) {
  if (length < kZ2FrameBytes) return CORLINK_ERR_FAILED;
  uint8_t reversed[kZ2FrameBytes];
  ReverseWords(data, kZ2FrameBytes, reversed);
  Z2Report report = Z2Letter(kLetterData);
  report[2] = kZ2FrameBytes;
  // Fifteen bytes fill the report from byte 4; the last one goes in the free byte 3.
  std::memcpy(report.data() + 4, reversed, 15);
  report[3] = reversed[15];
  return transport::Z2Command(fd, report);
}

int Memory(int fd, uint32_t address, uint32_t word2, uint32_t word3, int32_t* out) {
  Z2Report report = Z2Letter(address == 0 ? 0x00 : kLetterMemory);
  PutLe32(report.data() + 4, address);
  PutLe32(report.data() + 8, word2);
  PutLe32(report.data() + 12, word3);
  const std::optional<Z2Report> answer = transport::Z2CommandRead(fd, report);
  if (!answer) return CORLINK_ERR_FAILED;
  *out = static_cast<int32_t>(transport::Le32(answer->data() + 4));
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
