// A scripted chip on the feature channel for tests of the Z1 commands: status polls show
// ready, and each response request (0xDD) is answered with the next queued response.
#pragma once

#include <linux/uhid.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

#include "support/scripted_peer.h"
#include "support/transport_fixture.h"

namespace corlink::testing {

// The firmware side of the feature channel: status polls show ready, and each response
// request (0xDD) is answered with the next scripted response.
class FeatureChip {
 public:
  explicit FeatureChip(ScriptedPeer& peer) : peer_(peer) {
    peer.Start([this](ScriptedPeer& p, const HostEvent& ev) { Handle(p, ev); });
  }
  ~FeatureChip() { peer_.Stop(); }  // the peer thread calls into this object
  void QueueResponse(std::vector<uint8_t> r) {
    std::lock_guard<std::mutex> lock(m_);
    responses_.push_back(std::move(r));
  }
  bool never_ready = false;   // status polls never show the ready pattern
  bool first_d8_idle = false; // the first 0xD8 answer lacks the ready pattern

 private:
  void Handle(ScriptedPeer& p, const HostEvent& ev) {
    std::lock_guard<std::mutex> lock(m_);
    if (ev.type == UHID_SET_REPORT) {
      if (ev.data.size() > 1 && ev.data[1] == 0xDD) {
        phase_ = 1;
        current_ = responses_.empty() ? std::vector<uint8_t>{} : responses_.front();
        if (!responses_.empty()) responses_.pop_front();
      }
      p.SendSetReply(ev.request_id, 0);
      return;
    }
    if (ev.type != UHID_GET_REPORT) return;
    std::vector<uint8_t> r;
    if (never_ready) {
      r = FeatureReport(0xDC, {0x02, 0x00, 0x00});
    } else if (phase_ == 1) {  // first 0xD8 after a request
      r = first_d8_idle ? FeatureReport(0xD8, {0x00}) : FeatureReport(0xD8, {0x02, 0xAB, 0xCD});
      phase_ = first_d8_idle ? 0 : 2;
    } else if (phase_ == 2) {  // the 0xDB poll
      r = FeatureReport(0xDB, {0x02, 0xAB, 0xCD});
      phase_ = 3;
    } else if (phase_ == 3) {  // the response
      std::vector<uint8_t> body{static_cast<uint8_t>(current_.size())};
      body.insert(body.end(), current_.begin(), current_.end());
      r = FeatureReport(0xD8, body);
      r.resize(std::max<size_t>(r.size(), 20));
      phase_ = 0;
    } else {
      r = FeatureReport(0xDC, {0x02, 0xAB, 0xCD});
    }
    if (r.size() > 20) r.resize(20);
    p.SendGetReply(ev.request_id, 0, r.data(), r.size());
  }

  ScriptedPeer& peer_;
  std::mutex m_;
  std::deque<std::vector<uint8_t>> responses_;
  std::vector<uint8_t> current_;
  int phase_ = 0;
};

// The commands written (0xD9 reports): command byte, then the payload.
inline std::vector<std::vector<uint8_t>> WrittenCommands(ScriptedPeer& peer) {
  std::vector<std::vector<uint8_t>> out;
  for (const HostEvent& ev : peer.Received()) {
    if (ev.type != UHID_SET_REPORT || ev.data.size() < 5 || ev.data[1] != 0xD9) continue;
    const size_t n = std::min<size_t>(ev.data[4], ev.data.size() - 5);
    std::vector<uint8_t> c{ev.data[3]};
    c.insert(c.end(), ev.data.begin() + 5, ev.data.begin() + 5 + static_cast<long>(n));
    out.push_back(c);
  }
  return out;
}

// The command bytes of the response requests (0xDD reports), in order.
inline std::vector<uint8_t> RequestedResponses(ScriptedPeer& peer) {
  std::vector<uint8_t> out;
  for (const HostEvent& ev : peer.Received())
    if (ev.type == UHID_SET_REPORT && ev.data.size() > 3 && ev.data[1] == 0xDD) out.push_back(ev.data[3]);
  return out;
}

}  // namespace corlink::testing
