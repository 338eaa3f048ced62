// Fuzz target: every protocol family's request answered by a device that speaks from the
// fuzz input. The first byte picks the operation; the rest is a script the device reads,
// one chunk per request: a control byte, a length byte and that many bytes.
//
//   control & 3   0 answer, 1 stay silent, 2 answer and read the next chunk as another
//                 answer, 3 unplug
//   control & 4   feature replies: report an error
//   control & 8   fix the answer's check bytes (Z3 / HID-over-I2C / Z7 layouts) so that
//                 the deeper rules are reached; feature replies: show the ready pattern
//
// When the script runs out the device unplugs, so every operation ends quickly; sleeps are
// skipped and time-outs cut to a few milliseconds.
#include <linux/uhid.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "hid/virtual.h"
#include "library_state.h"
#include "support/scripted_peer.h"
#include "support/z3_links.h"
#include "transport/crc.h"
#include "transport/feature_channel.h"
#include "transport/memory_read.h"
#include "transport/timing.h"
#include "transport/z1_protocol.h"
#include "transport/z2_channel.h"
#include "transport/z3_protocol.h"

namespace {

using corlink::testing::HostEvent;
using corlink::testing::ScriptedPeer;
namespace t = corlink::transport;

class Script {
 public:
  Script(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  void Handle(ScriptedPeer& p, const HostEvent& ev) {
    for (;;) {
      if (pos_ >= size_) {
        p.Unplug();
        return;
      }
      uint8_t ctl = data_[pos_++];
      size_t len = pos_ < size_ ? data_[pos_++] : 0;
      len = std::min(len, size_ - pos_);
      std::vector<uint8_t> bytes(data_ + pos_, data_ + pos_ + len);
      pos_ += len;
      int action = ctl & 3;
      if (action == 3) {
        p.Unplug();
        return;
      }
      if (action == 1 && silences_++ < 4) return;
      Answer(p, ev, ctl, bytes);
      if (action != 2) return;
    }
  }

 private:
  static void FixChecks(std::vector<uint8_t>& a) {
    if (a.size() == 58) {  // HID-over-I2C
      a[1] = static_cast<uint8_t>(t::Crc16(a.data() + 2, 56));
      return;
    }
    if (a.size() < 8) a.resize(8);
    size_t len = std::min<size_t>(static_cast<size_t>(a[1]) + 1, a.size());
    if (a.size() >= 12 && a[2] == 0xB0) {
      size_t inner = static_cast<size_t>(a[4] | a[5] << 8);
      if (4 + inner <= a.size() && inner > 4)
        a[7] = static_cast<uint8_t>(t::Crc16(a.data() + 8, inner - 4));
    }
    a[3] = len > 4 ? static_cast<uint8_t>(t::Crc16(a.data() + 4, len - 4)) : 0;
  }

  void Answer(ScriptedPeer& p, const HostEvent& ev, uint8_t ctl, std::vector<uint8_t>& bytes) {
    if (ev.type == UHID_OUTPUT) {
      if (ctl & 8) FixChecks(bytes);
      p.SendInput(bytes);
    } else if (ev.type == UHID_GET_REPORT) {
      if (ctl & 8) {
        if (bytes.size() < 5) bytes.resize(5);
        bytes[2] = 0x02;
        bytes[3] = 0xAB;
        bytes[4] = 0xCD;
      }
      p.SendGetReply(ev.request_id, (ctl & 4) ? EIO : 0, bytes.data(), bytes.size());
    } else if (ev.type == UHID_SET_REPORT) {
      p.SendSetReply(ev.request_id, (ctl & 4) ? EIO : 0);
    }
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  int silences_ = 0;
};

void NoSleep(unsigned) {}

void RunOperation(uint8_t op, int fd, const uint8_t* arg) {
  uint8_t buf[t::kMemoryReadMax];
  uint32_t count = 0;
  uint16_t value = 0;
  uint32_t address = 0x50000000u | arg[0];
  switch (op % 12) {
    case 0: {
      uint8_t payload[15] = {};
      (void)t::FeatureWrite(fd, 0x85, payload, arg[0] % 16);
      break;
    }
    case 1: (void)t::Z1ReadMemory({fd, false, 0}, arg[0] & 1 ? address : 0, buf, &count); break;
    case 2: (void)t::Z1ReadAck({fd, (arg[0] & 1) != 0, 2}, t::kZ1ModeAckId, &value); break;
    case 3: (void)t::Z1ReadMemory({fd, true, 2}, address, buf, &count); break;
    case 4: (void)t::Z2ReadMemory(fd, arg[0] & 1 ? address : 0, buf, &count); break;
    case 5: (void)t::Z2Command(fd, t::Z2Letter('x')); break;
    case 6: (void)t::Z3ReadMemory(t::Usb(fd), address, buf, &count); break;
    case 7: (void)t::Exchange(t::Usb(fd), 0x85, arg, 2, {20, 20}, &value); break;
    case 8: (void)t::Z3ReadMemory(t::Hoi(fd), address, buf, &count); break;
    case 9: (void)t::Exchange(t::Hoi(fd), 0x85, arg, 2, {20, 20, 3}, &value); break;
    case 10: (void)t::Z3ReadMemory(t::Z7(fd, 2), address, buf, &count); break;
    default: (void)t::Exchange(t::Z7(fd, 2), 0x85, arg, 2, {}, &value); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    if (!std::freopen("/dev/null", "w", stdout)) return false;
    corlink::transport::TransportClock() = {NoSleep, 1};
    corlink::hid::SetVirtualTimeouts({1, 1});
    return true;
  }();
  (void)once;
  if (size < 3) return 0;
  corlink::ResetState();
  corlink::State().verbose = data[2] % 3;
  Script script(data + 3, size - 3);
  {
    ScriptedPeer peer;
    int fd = peer.host_fd();
    peer.Start([&script](ScriptedPeer& p, const HostEvent& ev) { script.Handle(p, ev); });
    RunOperation(data[0], fd, data + 1);
    // Close our end first: the device thread may be waiting to send.
    close(fd);
    peer.ReleaseHostFd();
  }
  return 0;
}
