#include "transport/z1_protocol.h"

#include "log_sink.h"
#include "transport/bytes.h"
#include "transport/crc.h"
#include "transport/feature_channel.h"
#include "transport/timing.h"
#include "transport/z2_channel.h"

namespace corlink::transport {

bool Z1Send(const Z1Link& link, uint8_t command, const uint8_t* payload, size_t n) {
  if (link.z6_slave) return Z2SlaveWrite(link.fd, link.slave_index, command, payload, n);
  return FeatureWrite(link.fd, command, payload, n);
}

bool Z1Receive(const Z1Link& link, uint8_t command, uint8_t* out, size_t* len) {
  if (link.z6_slave)
    return Z2SlaveRead(link.fd, link.slave_index, command, out, kZ1MaxResponse, len);
  return FeatureRead(link.fd, command, out, kZ1MaxResponse, len);
}

bool Z1ReadAck(const Z1Link& link, uint16_t expected_id, uint16_t* id, bool* answered) {
  uint8_t r[kZ1MaxResponse];
  size_t len = 0;
  // An empty response means the chip has nothing yet: ask again. A read that fails is no
  // response at all (time-out, the device gone): asking 100 more times would only wait.
  for (int i = 0; i < kZ1AckReads; ++i) {
    if (!Z1Receive(link, 0, r, &len)) {
      len = 0;
      break;
    }
    if (len > 0) break;
    Log(" 0 ");
  }
  if (answered) *answered = len > 0;
  if (len == 0) {
    *id = 0;
    return false;
  }
  if (len != 4) {
    Log("   Wrong response format!\n");
    for (size_t i = 0; i < len; ++i) Log("%x ", r[i]);
    Log(" totally %d bytes\n", static_cast<int>(len));
    *id = expected_id;
    return false;
  }
  *id = static_cast<uint16_t>(r[2] << 8 | r[3]);
  if (*id != expected_id)
    Log("Z1 acked block id (%d) diff with expected one(%d)!\n", *id, expected_id);
  if (r[1] == 0x80) return true;
  if (r[1] == 0x40) Log("Z1 retry/ No ACK!\n");
  return false;
}

bool Z1IsNack(const uint8_t* response, size_t len) {
  return len == 4 && response[0] == 0x00 && response[1] == 0x40 && response[2] == 0x5A &&
         response[3] == 0x31;
}

void Z1ReadPayload(uint32_t address, uint8_t payload[6]) {
  PutBe32(payload, address);
  AppendCrcBigEndian(payload, 4);
}

bool Z1SendAndReceive(const Z1Link& link, uint8_t command, const uint8_t* payload, size_t n,
                      bool later, uint8_t* out, size_t* len) {
  *len = 0;
  if (later) SleepMs(50);
  if (!Z1Send(link, command, payload, n)) return false;
  if (later) SleepMs(50);
  (void)Z1Receive(link, 0, out, len);  // judged by what it stored
  return true;
}

}  // namespace corlink::transport
