// IO_ReadData and IO_BurstReadData: the chip's data blocks, one answer per call or one
// request answered by a stream of packets.
#include <algorithm>
#include <cstring>

#include "commands/raw_data.h"
#include "corlink.h"
#include "device_type.h"
#include "hid/hid_port.h"
#include "library_state.h"
#include "transport/feature_channel.h"
#include "transport/memory_read.h"
#include "transport/timing.h"
#include "transport/z1_protocol.h"
#include "transport/z3_protocol.h"

namespace corlink::commands {

namespace {

constexpr uint8_t kReadMemory = 0x86;
constexpr int kZ3DataTimeoutMs = 3000;
constexpr int kHidOverI2cDataTimeoutMs = 200;
constexpr int kBurstWriteTries = 3;

// The bridge served on the feature channel buffers data itself: a 0x55 get-feature
// returns up to 15 bytes (09 55 10 n data...).
int Ep1ReadData(int fd, uint8_t* buffer, uint32_t* count) {
  uint8_t report[transport::kFeatureReportSize];
  if (!FeatureGetOpcode(fd, kOpBufferedData, report) || report[2] != 16) return CORLINK_ERR_FAILED;
  const uint32_t n = std::min<uint32_t>(report[3], 15);
  std::memcpy(buffer, report + 4, n);
  *count = n;
  return 0;
}

// One burst: where the request goes and how an answer's data is found.
struct BurstCarrier {
  int32_t type;
  int fd;

  bool Send(uint32_t address, uint16_t length) const {
    uint8_t payload[6];
    transport::Z3ReadPayload(address, length, payload);
    switch (type) {
      case DEV_USB_Z7SLAVE:
        return transport::Z7Build(State().z7_slave_index, kReadMemory, payload, sizeof payload) &&
               transport::Z7Write(fd);
      case DEV_Z3_HID_OVER_I2C:
        return transport::HidOverI2cBuild(kReadMemory, payload, sizeof payload) &&
               Tries([&] { return transport::HidOverI2cWrite(fd, kHidOverI2cDataTimeoutMs); },
                     State().retry[kRetryHidOverI2c].delay_ms);
      default:
        return transport::Z3Build(kReadMemory, payload, sizeof payload) &&
               Tries([&] { return transport::Z3Write(fd, kZ3DataTimeoutMs); }, State().retry[kRetryZ3Usb].delay_ms);
    }
  }

  template <class Write>
  static bool Tries(Write&& write, unsigned delay_ms) {
    for (int i = 0; i < kBurstWriteTries; ++i) {
      if (write()) return true;
      if (i + 1 < kBurstWriteTries) transport::SleepMs(delay_ms);
    }
    return false;
  }

  // The next answer: 0 with *data and *n (its data size), or the status result.
  int Next(const uint8_t** data, size_t* n) const {
    switch (type) {
      case DEV_USB_Z7SLAVE: {
        int r = transport::Z7ReadStatus(fd, nullptr);
        const uint8_t* a = transport::Z3Buffer();
        *data = a + 12;
        *n = a[1] > 11 ? std::min<size_t>(a[1] - 11u, kReadDataMax) : 0;
        return r;
      }
      case DEV_Z3_HID_OVER_I2C: {
        int r = transport::HidOverI2cReadStatus(fd, kHidOverI2cDataTimeoutMs, nullptr);
        *data = transport::HidOverI2cBuffer() + 6;
        *n = kReadDataMax;
        return r;
      }
      default: {
        int r = transport::Z3ReadStatus(fd, kZ3DataTimeoutMs, nullptr);
        const uint8_t* a = transport::Z3Buffer();
        *data = a + 8;
        *n = a[1] > 7 ? std::min<size_t>(a[1] - 7u, kReadDataMax) : 0;
        return r;
      }
    }
  }
};

}  // namespace

int ReadData(int32_t type, int fd, uint32_t address, uint8_t* buffer, uint32_t* count) {
  switch (type) {
    case NOT_SET:
    case DEV_Z2_I2C:
    case DEV_Z2_USB_BRG:
    case DEV_USB_Z6SLAVE: {
      const transport::Z1Link link{fd, type == DEV_USB_Z6SLAVE, State().z6_slave_index};
      return transport::Z1ReadMemory(link, address, buffer, count);
    }
    case DEV_Z3_USB:
    case DEV_Z3_USB_BRG:
      return transport::Z3ReadMemory(fd, address, buffer, count);
    case DEV_Z3_HID_OVER_I2C:
      return transport::HidOverI2cReadMemory(fd, address, buffer, count);
    case DEV_USB_Z7SLAVE:
      return transport::Z7ReadMemory(fd, State().z7_slave_index, address, buffer, count);
    case DEV_Z2_USB:
      return transport::Z2ReadMemory(fd, address, buffer, count);
    case DEV_USB_BRG_EP1:
      return Ep1ReadData(fd, buffer, count);
    default:
      return CORLINK_ERR_FAILED;
  }
}

int BurstReadData(int32_t type, int fd, uint32_t address, uint32_t length, uint8_t* buffer, uint32_t* count) {
  *count = 0;
  switch (type) {
    case DEV_Z3_USB:
    case DEV_Z3_USB_BRG:
    case DEV_Z3_HID_OVER_I2C:
    case DEV_USB_Z7SLAVE:
      break;
    default:
      return CORLINK_ERR_FAILED;
  }
  // The request carries a 16-bit length: a longer read could never be answered in full.
  if (address == 0 || length > 0xFFFF) return CORLINK_ERR_FAILED;
  // Nothing to ask for; a request for 0 bytes would leave an answer nobody reads.
  if (length == 0) return 0;
  const BurstCarrier carrier{type, fd};
  if (!carrier.Send(address, static_cast<uint16_t>(length))) return CORLINK_ERR_FAILED;
  uint32_t gathered = 0;
  while (gathered < length) {
    const uint8_t* data = nullptr;
    size_t n = 0;
    int r = carrier.Next(&data, &n);
    // An answer without data makes no progress: waiting for more could go on for ever.
    if (r == 0 && n == 0) r = CORLINK_ERR_RETRIES;
    if (r != 0) {
      // The chip may still be sending the rest: the next command must not take it for its
      // own answer.
      hid::Cancel(fd);
      return r;
    }
    const size_t take = std::min<size_t>(n, length - gathered);
    std::memcpy(buffer + gathered, data, take);
    gathered += static_cast<uint32_t>(take);
    *count = gathered;
  }
  return 0;
}

}  // namespace corlink::commands
