// Maintenance commands of the Z3 protocol on its three carriers: the 64-byte reports of
// DEV_Z3_USB / DEV_Z3_USB_BRG, the 58-byte HID-over-I2C reports and the 0xB0 tunnel to a
// Z7 slave. Payload numbers are little-endian; results are those of the status read.
#include <cstdio>
#include <cstring>

#include "commands/maintenance.h"
#include "corlink.h"
#include "device_type.h"
#include "library_state.h"
#include "log_sink.h"
#include "transport/crc.h"
#include "transport/report_carrier.h"
#include "transport/timing.h"
#include "transport/z3_protocol.h"

namespace corlink::commands {

namespace {

enum class Variant { kUsb, kHidOverI2c, kTunnel };

constexpr int kUsbTimeoutMs = 3000;
constexpr int kHidOverI2cTimeoutMs = 200;
constexpr int kLongReadTimeoutMs = 3000;  // recalibration and wait ready
constexpr int kWriteTries = 3;

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// How one carrier builds, writes and judges a packet.
template <Variant V>
struct Carrier {
  static int Timeout() { return V == Variant::kHidOverI2c ? kHidOverI2cTimeoutMs : kUsbTimeoutMs; }
  static unsigned Delay() {
    const RetryFamily f = V == Variant::kUsb          ? kRetryZ3Usb
                          : V == Variant::kHidOverI2c ? kRetryHidOverI2c
                                                      : kRetryZ7Tunnel;
    return State().retry[f].delay_ms;
  }
  static uint8_t* Buffer() {
    return V == Variant::kHidOverI2c ? transport::HidOverI2cBuffer() : transport::Z3Buffer();
  }

  static bool Build(uint8_t command, const uint8_t* payload, size_t n) {
    switch (V) {
      case Variant::kUsb: return transport::Z3Build(command, payload, n) != 0;
      case Variant::kHidOverI2c: return transport::HidOverI2cBuild(command, payload, n) != 0;
      case Variant::kTunnel:
        return transport::Z7Build(State().z7_slave_index, command, payload, n) != 0;
    }
    return false;
  }
  static bool WriteOnce(int fd) {
    if (V == Variant::kHidOverI2c) return transport::HidOverI2cWrite(fd, Timeout());
    return transport::Z3Write(fd, Timeout());
  }
  // The built packet, up to three tries (the tunnel's own five), the retry delay between.
  static bool Write(int fd) {
    if (V == Variant::kTunnel) return transport::Z7Write(fd);
    for (int i = 0; i < kWriteTries; ++i) {
      if (WriteOnce(fd)) return true;
      if (i + 1 < kWriteTries) transport::SleepMs(Delay());
    }
    return false;
  }
  static int Status(int fd, int read_timeout_ms, uint16_t* value) {
    switch (V) {
      case Variant::kUsb: return transport::Z3ReadStatus(fd, read_timeout_ms, value);
      case Variant::kHidOverI2c: return transport::HidOverI2cReadStatus(fd, read_timeout_ms, value);
      case Variant::kTunnel: return transport::Z7ReadStatus(fd, value);
    }
    return CORLINK_ERR_FAILED;
  }
  // Build, then write and read the status, up to three attempts while the status is -2.
  static int Exchange(int fd, uint8_t command, const uint8_t* payload, size_t n,
                      int read_timeout_ms, uint16_t* value = nullptr) {
    if (!Build(command, payload, n)) return CORLINK_ERR_FAILED;
    if (V == Variant::kTunnel) {
      if (!transport::Z7Write(fd)) return CORLINK_ERR_FAILED;
      return transport::Z7ReadStatus(fd, value);
    }
    int result = CORLINK_ERR_FAILED;
    for (int a = 0; a < transport::kZ3Attempts; ++a) {
      if (WriteOnce(fd)) {
        result = Status(fd, read_timeout_ms, value);
        if (result != CORLINK_ERR_RETRIES) return result;
      }
      if (a + 1 < transport::kZ3Attempts) transport::SleepMs(Delay());
    }
    return result;
  }
  // Size of the data an answer carries (the tunnel counts from byte 12).
  static size_t DataSize() {
    const uint8_t* a = Buffer();
    if (V == Variant::kTunnel) return a[1] > 11 ? a[1] - 11u : 0;
    return a[1] > 7 ? a[1] - 7u : 0;
  }
};

template <Variant V>
int Reset(int fd) {
  using C = Carrier<V>;
  // A USB chip resets at once and never answers.
  if (V == Variant::kUsb) {
    if (!C::Build(kCmdReset, nullptr, 0)) return CORLINK_ERR_FAILED;
    return C::Write(fd) ? CORLINK_OK : CORLINK_ERR_FAILED;
  }
  return C::Exchange(fd, kCmdReset, nullptr, 0, C::Timeout());
}

template <Variant V>
int Recalibrate(int fd) {
  return Carrier<V>::Exchange(fd, kCmdRecalibrate, nullptr, 0, kLongReadTimeoutMs);
}

template <Variant V>
int WaitReady(int fd) {
  return Carrier<V>::Status(fd, kLongReadTimeoutMs, nullptr);
}

template <Variant V>
int UpdateInfo(int fd, uint32_t address, uint32_t length, uint8_t flag) {
  uint8_t payload[6];
  PutLe32(payload, address);
  PutLe16(payload + 4, length);
  const uint8_t command = (V == Variant::kUsb && flag == 0) ? kCmdUpdateInfoNoFlag : kCmdUpdateInfo;
  return Carrier<V>::Exchange(fd, command, payload, sizeof payload, Carrier<V>::Timeout());
}

template <Variant V>
int UpdateData(int fd, const uint8_t* data, uint8_t length, uint16_t frame_id) {
  using C = Carrier<V>;
  constexpr size_t kMaxFrame = 52;
  if (length > kMaxFrame) return CORLINK_ERR_FAILED;
  uint8_t payload[kMaxFrame];
  const size_t n = ReverseWords(data, length, payload);
  if (!C::Build(kCmdUpdateData, payload, n)) return CORLINK_ERR_FAILED;
  // The chip names the frame it took; another id means it is not in step yet. One that
  // never names this frame has not taken it: the update must not go on as if it had.
  int result = CORLINK_ERR_FAILED;
  for (int a = 0; a < kWriteTries; ++a) {
    if (V == Variant::kTunnel ? transport::Z7Write(fd) : C::WriteOnce(fd)) {
      uint16_t value = 0;
      result = C::Status(fd, C::Timeout(), &value);
      if (result == CORLINK_OK && value == frame_id) return CORLINK_OK;
    }
    if (a + 1 < kWriteTries) transport::SleepMs(C::Delay());
  }
  return result == CORLINK_OK ? CORLINK_ERR_RETRIES : result;
}

template <Variant V>
int Finish(int fd) {
  using C = Carrier<V>;
  if (!C::Build(kCmdFinish, nullptr, 0)) return CORLINK_ERR_FAILED;
  return C::Write(fd) ? CORLINK_OK : CORLINK_ERR_FAILED;
}

template <Variant V>
int BlockCrc(int fd, uint32_t address, uint32_t length, uint16_t parameter, uint32_t* crc) {
  using C = Carrier<V>;
  uint8_t payload[8];
  PutLe32(payload, address);
  PutLe16(payload + 4, length);
  PutLe16(payload + 6, parameter);
  if (!C::Build(kCmdBlockCrc, payload, sizeof payload) || !C::Write(fd)) return CORLINK_ERR_FAILED;
  // The chip reads the whole block before it answers.
  transport::SleepMs(length <= kBlockCrcShortLength ? kBlockCrcShortPauseMs : kBlockCrcLongPauseMs);
  const int result = C::Status(fd, C::Timeout(), nullptr);
  if (result != CORLINK_OK) return result;
  const uint8_t* a = C::Buffer();
  // The result field, sent big-endian: bytes 6..7, 4..5 on HID-over-I2C, the slave's
  // 10..11 through the tunnel (6..7 of a tunnel answer hold the inner header).
  const size_t at = V == Variant::kHidOverI2c ? 4 : V == Variant::kTunnel ? 10 : 6;
  *crc = static_cast<uint32_t>(a[at] << 8 | a[at + 1]);
  return CORLINK_OK;
}

template <Variant V>
int Memory(int fd, uint32_t address, uint32_t word2, uint32_t word3, int32_t* out) {
  using C = Carrier<V>;
  uint8_t payload[48] = {};  // zero up to L = 52 (inner payload through the tunnel)
  PutLe32(payload, address);
  PutLe32(payload + 4, word2);
  PutLe32(payload + 8, word3);
  const int result = C::Exchange(fd, kCmdMemory, payload, sizeof payload, C::Timeout());
  if (result != CORLINK_OK) return result;
  const uint8_t* a = C::Buffer();
  if (V == Variant::kHidOverI2c) {
    std::memcpy(out, a + 6, 4);
    return CORLINK_OK;
  }
  const bool fits = V == Variant::kTunnel ? C::DataSize() == 16 : a[1] >= 23;
  if (!fits) {
    Log("invalid 0x88 return length");
    return CORLINK_ERR_FAILED;
  }
  std::memcpy(out, a + (V == Variant::kTunnel ? 12 : 8), 16);
  return CORLINK_OK;
}

// Only a Z7 slave has a power mode the host may set.
int TunnelPowerMode(int fd, int32_t* mode) {
  using C = Carrier<Variant::kTunnel>;
  uint8_t payload[2];
  PutLe16(payload, static_cast<uint32_t>(*mode));
  const int result = C::Exchange(fd, kCmdPowerMode, payload, sizeof payload, C::Timeout());
  if (result != CORLINK_OK) return result;
  if (C::DataSize() > 2) {
    Log("invalid 0x90 return length");
    return CORLINK_ERR_FAILED;
  }
  const uint8_t* a = C::Buffer();
  *mode = static_cast<int32_t>(a[12] | a[13] << 8);
  return CORLINK_OK;
}

template <Variant V>
bool CmdRead(int fd, uint8_t /*command*/, uint8_t* buffer, uint8_t* count) {
  const bool i2c = V == Variant::kHidOverI2c;
  const RetrySetting retry = State().retry[i2c ? kRetryHidOverI2c : kRetryZ3Usb];
  const size_t size = i2c ? transport::kHidOverI2cReportSize : transport::kZ3ReportSize;
  auto& family = i2c ? transport::HidOverI2cFamily() : transport::Z3UsbFamily();
  *count = 0;
  for (int i = 0; i < retry.count; ++i) {
    if (transport::ReportRead(family, fd, buffer, size, Carrier<V>::Timeout())) {
      *count = static_cast<uint8_t>(size);
      return true;
    }
    if (i + 1 < retry.count) transport::SleepMs(retry.delay_ms);
  }
  return false;
}

// The caller built the whole report with its length in byte 1; only the check bytes are
// the library's.
template <Variant V>
bool CmdWrite(int fd, const uint8_t* packet) {
  const bool i2c = V == Variant::kHidOverI2c;
  const size_t size = i2c ? transport::kHidOverI2cReportSize : transport::kZ3ReportSize;
  uint8_t report[transport::kZ3ReportSize] = {};
  std::memcpy(report, packet, size);
  if (i2c) {
    transport::InsertZ3Crc(report, size);
  } else {
    const size_t len = static_cast<size_t>(report[1]) + 1;
    // A length past the report would make the check run off its end.
    if (len < 4 || len > size) return false;
    if (report[2] == 0xB0 && len >= 8) transport::InsertZ3Crc(report + 4, len - 4);
    transport::InsertZ3Crc(report, len);
  }
  auto& family = i2c ? transport::HidOverI2cFamily() : transport::Z3UsbFamily();
  const unsigned delay = State().retry[i2c ? kRetryHidOverI2c : kRetryZ3Usb].delay_ms;
  for (int i = 0; i < kWriteTries; ++i) {
    if (transport::ReportWrite(family, fd, report, size, Carrier<V>::Timeout())) return true;
    if (i + 1 < kWriteTries) transport::SleepMs(delay);
  }
  return false;
}

template <Variant V>
MaintenanceTable MakeTable() {
  return MaintenanceTable{
      .reset = Reset<V>,
      .recalibrate = Recalibrate<V>,
      .wait_ready = WaitReady<V>,
      .update_info = UpdateInfo<V>,
      .update_data = UpdateData<V>,
      .update_finish = Finish<V>,
      .block_crc = BlockCrc<V>,
      .memory = Memory<V>,
      .power_mode = V == Variant::kTunnel ? TunnelPowerMode : nullptr,
      .button_mode = nullptr,
      .cmd_read = CmdRead<V>,
      .cmd_write = CmdWrite<V>,
  };
}

}  // namespace

const MaintenanceTable& Z3UsbMaintenanceTable() {
  static const MaintenanceTable table = MakeTable<Variant::kUsb>();
  return table;
}

const MaintenanceTable& HidOverI2cMaintenanceTable() {
  static const MaintenanceTable table = MakeTable<Variant::kHidOverI2c>();
  return table;
}

const MaintenanceTable& Z7MaintenanceTable() {
  static const MaintenanceTable table = MakeTable<Variant::kTunnel>();
  return table;
}

}  // namespace corlink::commands
