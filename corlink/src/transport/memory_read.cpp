#include "transport/memory_read.h"

#include <algorithm>
#include <cstring>

#include "corlink.h"
#include "log_sink.h"
#include "transport/bytes.h"
#include "transport/crc.h"
#include "transport/z2_channel.h"
#include "transport/z3_protocol.h"

namespace corlink::transport {

namespace {

constexpr uint8_t kReadMemory = 0x86;

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
  return RunZ1Loop([&](bool later) -> Z1Step {
    const bool sent =
        Z1SendAndReceive(link, kReadMemory, payload, sizeof payload, later, buffer, &len);
    *count = static_cast<uint32_t>(len);
    if (!sent) return {Z1Next::kWriteFailed, CORLINK_ERR_FAILED};
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

int Z3ReadMemory(const Z3Link& link, uint32_t address, uint8_t* buffer, uint32_t* count) {
  *count = 0;
  if (address == 0) return CORLINK_ERR_FAILED;
  uint8_t payload[6];
  Z3ReadPayload(address, kMemoryReadMax, payload);
  const int timeout = Z3Timeout(link.carrier);
  const Z3Answer answer =
      Z3Exchange(link, kReadMemory, payload, sizeof payload, {timeout, timeout});
  if (!answer.acknowledged()) return answer.result;
  const size_t n = std::min(answer.Data().size(), kMemoryReadMax);
  std::memcpy(buffer, answer.Data().data(), n);
  *count = static_cast<uint32_t>(n);
  return 0;
}

int Z2ReadMemory(int fd, uint32_t address, uint8_t* buffer, uint32_t* count) {
  *count = 0;
  Z2Report r = Z2Letter(address ? 0x1E : 0x00);
  if (address) PutLe32(r.data() + 4, address);
  const std::optional<Z2Report> answer = Z2CommandRead(fd, r);
  if (!answer) return CORLINK_ERR_FAILED;
  // Fifteen data bytes from byte 4; a sixteenth travels in the free byte 3.
  size_t len = std::min<size_t>((*answer)[2], 16);
  std::memcpy(buffer, answer->data() + 4, std::min<size_t>(len, 15));
  if (len == 16) buffer[15] = (*answer)[3];
  *count = static_cast<uint32_t>(len);
  return 0;
}

}  // namespace corlink::transport
