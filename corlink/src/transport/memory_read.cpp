#include "transport/memory_read.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "corlink.h"
#include "log_sink.h"
#include "transport/crc.h"
#include "transport/z2_channel.h"
#include "transport/z3_protocol.h"

namespace corlink::transport {

namespace {

constexpr uint8_t kReadMemory = 0x86;

uint32_t CopyData(const uint8_t* from, size_t n, uint8_t* buffer) {
  n = std::min(n, kMemoryReadMax);
  std::memcpy(buffer, from, n);
  return static_cast<uint32_t>(n);
}

}  // namespace

int Z1ReadMemory(const Z1Link& link, uint32_t address, uint8_t* buffer, uint32_t* count) {
  size_t len = 0;
  if (address == 0) {
    bool ok = Z1Receive(link, 0, buffer, &len);
    *count = static_cast<uint32_t>(len);
    return ok ? 0 : CORLINK_ERR_FAILED;
  }
  uint8_t payload[6];
  Z1ReadPayload(address, payload);
  Z1LoopPolicy policy{CORLINK_ERR_RETRIES};
  return RunZ1Loop(policy, [&](bool later) -> Z1Step {
    Z1Exchange ex =
        Z1SendAndReceive(link, kReadMemory, payload, sizeof payload, later, buffer, &len);
    *count = static_cast<uint32_t>(len);
    if (ex == Z1Exchange::kWriteFailed) return {Z1Next::kWriteFailed, CORLINK_ERR_FAILED};
    if (len == 4) {
      if (Z1IsNack(buffer, len)) {
        Log("NACK/RETRY!!\n");
        return {Z1Next::kRetry, CORLINK_ERR_RETRIES};
      }
      Log("Ack unknown format!\n");
      return {Z1Next::kRetry, CORLINK_ERR_FAILED};
    }
    if (len == 14) {
      uint16_t crc = Crc16(buffer, 12);
      if (buffer[12] == (crc >> 8) && buffer[13] == (crc & 0xFF)) {
        *count = 12;
        return {Z1Next::kDone, 0};
      }
      Log("CRC check failed!\n");
      return {Z1Next::kRetry, CORLINK_ERR_FAILED};
    }
    Log("Wrong response format!\n");
    return {Z1Next::kRetry, CORLINK_ERR_FAILED};
  });
}

int Z3ReadMemory(int fd, uint32_t address, uint8_t* buffer, uint32_t* count) {
  *count = 0;
  if (address == 0) return CORLINK_ERR_FAILED;
  uint8_t payload[6];
  Z3ReadPayload(address, kMemoryReadMax, payload);
  int r = Z3Exchange(fd, kReadMemory, payload, sizeof payload, {3000, 3000}, nullptr);
  if (r != 0) return r;
  const uint8_t* a = Z3Buffer();
  size_t len = static_cast<size_t>(a[1]) + 1;
  *count = CopyData(a + 8, len > 8 ? len - 8 : 0, buffer);
  return 0;
}

int HidOverI2cReadMemory(int fd, uint32_t address, uint8_t* buffer, uint32_t* count) {
  *count = 0;
  if (address == 0) return CORLINK_ERR_FAILED;
  uint8_t payload[6];
  Z3ReadPayload(address, kMemoryReadMax, payload);
  int r = HidOverI2cExchange(fd, kReadMemory, payload, sizeof payload, {200, 200}, nullptr);
  if (r != 0) return r;
  *count = CopyData(HidOverI2cBuffer() + 6, kHidOverI2cReportSize - 6, buffer);
  return 0;
}

int Z7ReadMemory(int fd, uint8_t slave, uint32_t address, uint8_t* buffer, uint32_t* count) {
  *count = 0;
  if (address == 0) return CORLINK_ERR_FAILED;
  uint8_t payload[6];
  Z3ReadPayload(address, kMemoryReadMax, payload);
  int r = Z7Exchange(fd, slave, kReadMemory, payload, sizeof payload, nullptr);
  if (r != 0) return r;
  const uint8_t* a = Z3Buffer();
  *count = CopyData(a + 12, a[1] > 11 ? a[1] - 11u : 0u, buffer);
  return 0;
}

int Z2ReadMemory(int fd, uint32_t address, uint8_t* buffer, uint32_t* count) {
  *count = 0;
  uint8_t* r = Z2ClearReport(address ? 0x1E : 0x00);
  if (address) {
    r[4] = static_cast<uint8_t>(address);
    r[5] = static_cast<uint8_t>(address >> 8);
    r[6] = static_cast<uint8_t>(address >> 16);
    r[7] = static_cast<uint8_t>(address >> 24);
  }
  uint8_t answer[kZ2ReportSize];
  if (Z2CommandRead(fd, r, answer) != 0) return CORLINK_ERR_FAILED;
  size_t len = std::min<size_t>(answer[2], 16);
  std::memcpy(buffer, answer + 4, std::min<size_t>(len, 15));
  if (len == 16) buffer[15] = answer[3];
  *count = static_cast<uint32_t>(len);
  return 0;
}

}  // namespace corlink::transport
