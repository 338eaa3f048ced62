// Maintenance commands of the Z3 protocol on its three carriers: the 64-byte reports of
// DEV_Z3_USB / DEV_Z3_USB_BRG, the 58-byte HID-over-I2C reports and the 0xB0 tunnel to a
// Z7 slave. Payload numbers are little-endian; results are those of the status read.
#include <cstring>

#include "commands/maintenance.h"
#include "corlink.h"
#include "library_state.h"
#include "log_sink.h"
#include "retry.h"
#include "transport/bytes.h"
#include "transport/crc.h"
#include "transport/report_carrier.h"
#include "transport/timing.h"
#include "transport/z3_protocol.h"

namespace corlink::commands {

namespace {

using transport::PutLe16;
using transport::PutLe32;
using transport::Z3Answer;
using transport::Z3Carrier;
using transport::Z3Link;

constexpr int kLongReadTimeoutMs = 3000;  // recalibration and wait ready
constexpr int kWriteTries = 3;

int Timeout(const Z3Link& link) { return transport::Z3Timeout(link.carrier); }

// Build and send, the answer not awaited.
bool BuildAndSend(const Z3Link& link, uint8_t command, const uint8_t* payload, size_t n) {
  return transport::Z3Send(link, transport::Z3Build(link, command, payload, n), Timeout(link));
}

Z3Answer Exchange(const Z3Link& link, uint8_t command, const uint8_t* payload, size_t n,
                  int read_ms) {
  return transport::Z3Exchange(link, command, payload, n, {Timeout(link), read_ms});
}

int Reset(const Z3Link& link) {
  // A USB chip resets at once and never answers.
  if (link.carrier == Z3Carrier::kUsb)
    return BuildAndSend(link, kCmdReset, nullptr, 0) ? CORLINK_OK : CORLINK_ERR_FAILED;
  return Exchange(link, kCmdReset, nullptr, 0, Timeout(link)).result;
}

int Recalibrate(const Z3Link& link) {
  return Exchange(link, kCmdRecalibrate, nullptr, 0, kLongReadTimeoutMs).result;
}

int WaitReady(const Z3Link& link) {
  return transport::Z3ReadStatus(link, kLongReadTimeoutMs).result;
}

int UpdateInfo(const Z3Link& link, uint32_t address, uint32_t length, uint8_t flag) {
  uint8_t payload[6];
  PutLe32(payload, address);
  PutLe16(payload + 4, length);
  const bool no_flag = link.carrier == Z3Carrier::kUsb && flag == 0;
  const uint8_t command = no_flag ? kCmdUpdateInfoNoFlag : kCmdUpdateInfo;
  return Exchange(link, command, payload, sizeof payload, Timeout(link)).result;
}

int UpdateData(const Z3Link& link, const uint8_t* data, uint8_t length, uint16_t frame_id) {
  constexpr size_t kMaxFrame = 52;
  if (length > kMaxFrame) return CORLINK_ERR_FAILED;
  uint8_t payload[kMaxFrame];
  const size_t n = ReverseWords(data, length, payload);
  const transport::Z3Request request = transport::Z3Build(link, kCmdUpdateData, payload, n);
  // The chip names the frame it took; another id means it is not in step yet. One that
  // never names this frame has not taken it: the update must not go on as if it had.
  const Z3Answer answer = transport::Z3ExchangeUntil(
      link, request, {Timeout(link), Timeout(link), 0, kWriteTries}, frame_id);
  if (answer.acknowledged()) return answer.Result() == frame_id ? CORLINK_OK : CORLINK_ERR_RETRIES;
  return answer.result;
}

int Finish(const Z3Link& link) {
  return BuildAndSend(link, kCmdFinish, nullptr, 0) ? CORLINK_OK : CORLINK_ERR_FAILED;
}

int BlockCrc(const Z3Link& link, uint32_t address, uint32_t length, uint16_t parameter,
             uint32_t* crc) {
  uint8_t payload[8];
  PutLe32(payload, address);
  PutLe16(payload + 4, length);
  PutLe16(payload + 6, parameter);
  if (!BuildAndSend(link, kCmdBlockCrc, payload, sizeof payload)) return CORLINK_ERR_FAILED;
  // The chip reads the whole block before it answers.
  transport::SleepMs(length <= kBlockCrcShortLength ? kBlockCrcShortPauseMs : kBlockCrcLongPauseMs);
  const Z3Answer answer = transport::Z3ReadStatus(link, Timeout(link));
  if (!answer.acknowledged()) return answer.result;
  // The result field is sent most significant byte first.
  *crc = answer.ResultBigEndian();
  return CORLINK_OK;
}

int Memory(const Z3Link& link, uint32_t address, uint32_t word2, uint32_t word3, int32_t* out) {
  uint8_t payload[48] = {};  // zero up to L = 52 (inner payload through the tunnel)
  PutLe32(payload, address);
  PutLe32(payload + 4, word2);
  PutLe32(payload + 8, word3);
  const Z3Answer answer = Exchange(link, kCmdMemory, payload, sizeof payload, Timeout(link));
  if (!answer.acknowledged()) return answer.result;
  // HID-over-I2C answers one word; the others four, which must all be there.
  const size_t words = link.carrier == Z3Carrier::kHidOverI2c ? 1 : 4;
  const bool fits = link.carrier == Z3Carrier::kZ7Tunnel ? answer.Data().size() == 16
                                                         : answer.Data().size() >= 16;
  if (words == 4 && !fits) {
    Log("invalid 0x88 return length");
    return CORLINK_ERR_FAILED;
  }
  std::memcpy(out, answer.Data().data(), words * 4);
  return CORLINK_OK;
}

int TunnelPowerMode(const Z3Link& link, int32_t* mode) {
  uint8_t payload[2];
  PutLe16(payload, static_cast<uint32_t>(*mode));
  const Z3Answer answer = Exchange(link, kCmdPowerMode, payload, sizeof payload, Timeout(link));
  if (!answer.acknowledged()) return answer.result;
  if (answer.Data().size() > 2) {
    Log("invalid 0x90 return length");
    return CORLINK_ERR_FAILED;
  }
  const uint8_t* data = answer.bytes.data() + answer.data_at;  // two bytes even when empty
  *mode = static_cast<int32_t>(data[0] | data[1] << 8);
  return CORLINK_OK;
}

// The pass-through commands move whole reports as they are: through the tunnel too they
// are the master's 64-byte reports.
struct RawReports {
  transport::ReportFamilyId report;
  size_t size;
  RetryFamily retry;
};
RawReports RawOf(const Z3Link& link) {
  if (link.carrier == Z3Carrier::kHidOverI2c)
    return {transport::ReportFamilyId::kHidOverI2c, transport::kHidOverI2cReportSize,
            kRetryHidOverI2c};
  return {transport::ReportFamilyId::kZ3Usb, transport::kZ3ReportSize, kRetryZ3Usb};
}

bool CmdRead(const Z3Link& link, uint8_t /*command*/, uint8_t* buffer, uint8_t* count) {
  const RawReports raw = RawOf(link);
  const bool ok = RetryUntil(FamilyRule(raw.retry), [&](int) {
    return transport::ReportRead(raw.report, link.fd, buffer, raw.size, Timeout(link));
  });
  *count = ok ? static_cast<uint8_t>(raw.size) : 0;
  return ok;
}

// The caller built the whole report with its length in byte 1; only the check bytes are
// the library's.
bool CmdWrite(const Z3Link& link, const uint8_t* packet) {
  const RawReports raw = RawOf(link);
  uint8_t report[transport::kZ3ReportSize] = {};
  std::memcpy(report, packet, raw.size);
  if (link.carrier == Z3Carrier::kHidOverI2c) {
    transport::InsertZ3Crc(report, raw.size);
  } else {
    const size_t len = static_cast<size_t>(report[1]) + 1;
    // A length past the report would make the check run off its end.
    if (len < 4 || len > raw.size) return false;
    if (report[2] == 0xB0 && len >= 8) transport::InsertZ3Crc(report + 4, len - 4);
    transport::InsertZ3Crc(report, len);
  }
  return RetryUntil(FixedTries(kWriteTries, raw.retry), [&](int) {
    return transport::ReportWrite(raw.report, link.fd, report, raw.size, Timeout(link));
  });
}

// The commands on the carrier's link to the selected chip.
template <Z3Carrier C, auto Link = transport::SelectedLinkOn<C>>
MaintenanceTable MakeTable() {
  MaintenanceTable table{
      .reset = kOn<Link, Reset>,
      .recalibrate = kOn<Link, Recalibrate>,
      .wait_ready = kOn<Link, WaitReady>,
      .update_info = kOn<Link, UpdateInfo>,
      .update_data = kOn<Link, UpdateData>,
      .update_finish = kOn<Link, Finish>,
      .block_crc = kOn<Link, BlockCrc>,
      .memory = kOn<Link, Memory>,
      .power_mode = nullptr,
      .button_mode = nullptr,
      .cmd_read = kOn<Link, CmdRead>,
      .cmd_write = kOn<Link, CmdWrite>,
  };
  // Only a Z7 slave has a power mode the host may set.
  if (C == Z3Carrier::kZ7Tunnel) table.power_mode = kOn<Link, TunnelPowerMode>;
  return table;
}

}  // namespace

const MaintenanceTable& Z3UsbMaintenanceTable() {
  static const MaintenanceTable table = MakeTable<Z3Carrier::kUsb>();
  return table;
}

const MaintenanceTable& HidOverI2cMaintenanceTable() {
  static const MaintenanceTable table = MakeTable<Z3Carrier::kHidOverI2c>();
  return table;
}

const MaintenanceTable& Z7MaintenanceTable() {
  static const MaintenanceTable table = MakeTable<Z3Carrier::kZ7Tunnel>();
  return table;
}

}  // namespace corlink::commands
