// Burst reads fed with arbitrary device answers: whatever the chip sends back, the burst
// stores at most the bytes asked for, never reads past an answer, and ends.
//
// Input: byte 0 picks the device type (and whether the answers' check bytes are fixed up
// so that deeper paths are reached), bytes 1..2 the length asked for, the rest is cut into
// answers of the carrier's report size (at most 16), queued before the read starts.
#include <linux/uhid.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "corlink.h"
#include "device_type.h"
#include "library_state.h"
#include "transport/crc.h"
#include "transport/timing.h"

namespace {

void NoSleep(unsigned) {}

constexpr int32_t kTypes[] = {corlink::DEV_Z3_USB, corlink::DEV_Z3_USB_BRG,
                              corlink::DEV_Z3_HID_OVER_I2C, corlink::DEV_USB_Z7SLAVE};
constexpr size_t kMaxAnswers = 16;

uint8_t Crc8(const uint8_t* p, size_t from, size_t to) {
  return to > from ? static_cast<uint8_t>(corlink::transport::Crc16(p + from, to - from)) : 0;
}

// Makes the check bytes of an answer right, as a well-behaved chip would send them.
void FixUp(int32_t type, uint8_t* a, size_t size) {
  a[0] = 0x0A;
  if (type == corlink::DEV_Z3_HID_OVER_I2C) {
    a[1] = Crc8(a, 2, size);
    return;
  }
  const size_t len = std::min<size_t>(a[1] + 1u, size);
  if (type == corlink::DEV_USB_Z7SLAVE && len >= 12) {
    const size_t inner = std::min<size_t>(a[4] | a[5] << 8, size - 4);
    a[7] = Crc8(a, 8, 4 + inner);
  }
  a[3] = Crc8(a, 4, len);
}

bool Queue(int fd, const uint8_t* data, size_t n) {
  uhid_event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.type = UHID_INPUT2;
  ev.u.input2.size = static_cast<uint16_t>(n);
  std::memcpy(ev.u.input2.data, data, n);
  return ::send(fd, &ev, sizeof ev, MSG_DONTWAIT) == static_cast<ssize_t>(sizeof ev);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    // The library reports bad answers on stdout; that is not what is being tested.
    return std::freopen("/dev/null", "w", stdout) != nullptr;
  }();
  (void)quiet;
  if (size < 3) return 0;
  corlink::ResetState();
  corlink::transport::TransportClock() = {NoSleep, 1};
  const int32_t type = kTypes[data[0] & 3];
  const bool fix = (data[0] & 4) != 0;
  const uint32_t length = static_cast<uint32_t>(data[1] | data[2] << 8) % 2048;
  const size_t report = type == corlink::DEV_Z3_HID_OVER_I2C ? 58 : 64;
  data += 3;
  size -= 3;

  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0) return 0;
  for (size_t i = 0; i < kMaxAnswers && size > 0; ++i) {
    uint8_t a[64] = {};
    const size_t n = std::min(size, report);
    std::memcpy(a, data, n);
    if (fix) FixUp(type, a, report);
    if (!Queue(sv[1], a, report)) break;
    data += n;
    size -= n;
  }
  std::vector<uint8_t> buffer(length + 1, 0xA5);
  uint32_t count = 0xFFFFFFFF;
  corlink::State().z7_slave_index = 5;
  corlink::State().device_type = type;
  const int r = IO_BurstReadData(sv[0], 0x52000000, length, buffer.data(), &count);
  if (count > length) std::abort();
  if (r == 0 && count != length) std::abort();
  if (buffer[length] != 0xA5) std::abort();
  ::close(sv[0]);
  ::close(sv[1]);
  corlink::transport::ResetTransportClock();
  return 0;
}
