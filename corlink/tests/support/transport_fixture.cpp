#include "support/transport_fixture.h"
#include "support/log_capture.h"

#include <algorithm>

namespace corlink::testing {

std::vector<unsigned>& RecordedSleeps() {
  static std::vector<unsigned> sleeps;
  return sleeps;
}

namespace {
void RecordSleep(unsigned ms) { RecordedSleeps().push_back(ms); }
}  // namespace

void TransportTest::SetUp() {
  ResetState();
  RecordedSleeps().clear();
  // Generous enough that a peer thread slowed by a busy machine still answers in time;
  // the tests of time-outs only wait this long for what never comes.
  transport::TransportClock() = {RecordSleep, 250};
  saved_ = hid::GetVirtualTimeouts();
  hid::SetVirtualTimeouts({300, 300});
}

void TransportTest::TearDown() {
  if (capturing_) ::corlink::test::CapturedLog();
  transport::ResetTransportClock();
  hid::SetVirtualTimeouts(saved_);
  ResetState();
}

void TransportTest::Capture() {
  if (capturing_) ::corlink::test::CapturedLog();
  ::corlink::test::CaptureLog();
  capturing_ = true;
}

std::string TransportTest::Output() {
  capturing_ = false;
  return ::corlink::test::CapturedLog();
}

std::vector<uint8_t> Z3Answer(uint8_t command, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> a(64, 0);
  size_t len = 4 + body.size();
  a[0] = 0x0A;
  a[1] = static_cast<uint8_t>(len - 1);
  a[2] = command;
  std::copy(body.begin(), body.end(), a.begin() + 4);
  a[3] = body.empty() ? 0 : static_cast<uint8_t>(transport::Crc16(a.data() + 4, body.size()));
  return a;
}

std::vector<uint8_t> HidOverI2cAnswer(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> a(58, 0);
  a[0] = 0x0A;
  std::copy(body.begin(), body.end(), a.begin() + 2);
  a[1] = static_cast<uint8_t>(transport::Crc16(a.data() + 2, 56));
  return a;
}

std::vector<uint8_t> Z7Answer(const std::vector<uint8_t>& slave_body) {
  std::vector<uint8_t> a(64, 0);
  size_t inner = 4 + slave_body.size();  // N counts bytes 4..4+N-1
  size_t len = 4 + inner;
  a[0] = 0x0A;
  a[1] = static_cast<uint8_t>(len - 1);
  a[2] = 0xB0;
  a[4] = static_cast<uint8_t>(inner);
  a[5] = static_cast<uint8_t>(inner >> 8);
  std::copy(slave_body.begin(), slave_body.end(), a.begin() + 8);
  a[7] = static_cast<uint8_t>(transport::Crc16(a.data() + 8, slave_body.size()));
  a[3] = static_cast<uint8_t>(transport::Crc16(a.data() + 4, len - 4));
  return a;
}

std::vector<uint8_t> FeatureReport(uint8_t opcode, const std::vector<uint8_t>& from_byte_2) {
  std::vector<uint8_t> r(20, 0);
  r[0] = 0x09;
  r[1] = opcode;
  std::copy(from_byte_2.begin(), from_byte_2.end(), r.begin() + 2);
  return r;
}

}  // namespace corlink::testing
