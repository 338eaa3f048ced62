// Bridge controls: the exact report each export sends, that only bridge types send
// anything, and how a refused set-feature and the printed texts come out.
#include <gtest/gtest.h>
#include <linux/uhid.h>

#include <vector>

#include "corlink.h"
#include "hid/hid_port.h"
#include "support/scripted_peer.h"
#include "support/transport_fixture.h"

namespace corlink {
namespace {

using testing::Bytes;
using testing::HostEvent;
using testing::ScriptedPeer;

// 20 bytes: report id 9, then `from_byte_1`, zeros after.
std::vector<uint8_t> Report(std::initializer_list<int> from_byte_1) {
  std::vector<uint8_t> r(20, 0);
  r[0] = 0x09;
  size_t i = 1;
  for (int b : from_byte_1) r[i++] = static_cast<uint8_t>(b);
  return r;
}

class Bridge : public testing::TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    peer_.Start([this](ScriptedPeer& p, const HostEvent& ev) {
      if (ev.type == UHID_SET_REPORT) p.SendSetReply(ev.request_id, refuse_ ? EIO : 0);
    });
  }
  void TearDown() override {
    peer_.Stop();
    TransportTest::TearDown();
  }
  // Everything the host sent since the last look, up to a marker set-feature sent after the call under test
  // (so nothing the call sent can still be on its way).
  std::vector<HostEvent> SentBeforeMarker() {
    const uint8_t marker[2] = {0x7E, 0x7E};
    refuse_ = false;
    EXPECT_EQ(hid::SetFeature(peer_.host_fd(), marker, sizeof marker), 1);
    std::vector<HostEvent> all = peer_.Received();
    EXPECT_GT(all.size(), mark_);
    if (all.size() <= mark_) return {};
    std::vector<HostEvent> got(all.begin() + static_cast<long>(mark_), all.end() - 1);
    mark_ = all.size();
    return got;
  }
  void ExpectOneReport(const std::vector<uint8_t>& report) {
    const std::vector<HostEvent> sent = SentBeforeMarker();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].type, static_cast<uint32_t>(UHID_SET_REPORT));
    EXPECT_EQ(sent[0].report_id, 0x09);
    EXPECT_EQ(sent[0].data, report);
  }

  ScriptedPeer peer_;
  std::atomic<bool> refuse_{false};
  size_t mark_ = 0;  // events already looked at
};

TEST_F(Bridge, EachControlIsOneSetFeatureOfItsReport) {
  State().device_type = DEV_Z2_USB_BRG;
  const int fd = peer_.host_fd();
  EXPECT_EQ(IO_ChgModeToZ1_ForBridge(fd), 0);
  ExpectOneReport(Report({0xF8, 0x06, 0x55, 0xA5, 0x50, 'Z', '1', 0x00}));

  EXPECT_EQ(IO_ChgModeToZ1orZ5_ForBridge(fd, true), 0);
  ExpectOneReport(Report({0xD9, 0x0C, 0x55, 0x0A, CORLINK_BRIDGE_TARGET_Z1}));
  EXPECT_EQ(IO_ChgModeToZ1orZ5_ForBridge(fd, false), 0);
  ExpectOneReport(Report({0xD9, 0x0C, 0x55, 0x0A, CORLINK_BRIDGE_TARGET_Z5}));

  State().device_type = DEV_USB_BRG_EP1;
  Capture();
  EXPECT_EQ(IO_ChgModeToAny_ForBridge(fd, 0x3A06), 0);
  EXPECT_EQ(Output(), "New PID = 3A06\n");
  ExpectOneReport(Report({0xD9, 0x0C, 0x55, 0x0A, 'I', 0x06, 0x3A}));

  Capture();
  EXPECT_EQ(IO_Reset_ForBridge(fd), 0);
  EXPECT_EQ(Output(), "RST\n");
  ExpectOneReport(Report({0xD9, 0x0C, 0x55, 0x0A, 'R'}));
}

TEST_F(Bridge, TargetCodesDifferFromEachOtherAndFromTheOtherActions) {
  EXPECT_NE(CORLINK_BRIDGE_TARGET_Z1, CORLINK_BRIDGE_TARGET_Z5);
  for (int code : {CORLINK_BRIDGE_TARGET_Z1, CORLINK_BRIDGE_TARGET_Z5}) {
    EXPECT_NE(code, 'I');
    EXPECT_NE(code, 'R');
  }
}

TEST_F(Bridge, OtherDeviceTypesSendNothing) {
  const int fd = peer_.host_fd();
  for (int type : {DEV_Z3_USB, NOT_SET, DEV_Z2_USB, DEV_Z3_USB_BRG, DEV_Z2_I2C}) {
    State().device_type = type;
    Capture();
    EXPECT_EQ(IO_ChgModeToAny_ForBridge(fd, 0x3A06), CORLINK_ERR_FAILED) << type;
    EXPECT_EQ(IO_ChgModeToZ1_ForBridge(fd), CORLINK_ERR_FAILED);
    EXPECT_EQ(IO_ChgModeToZ1orZ5_ForBridge(fd, true), CORLINK_ERR_FAILED);
    EXPECT_EQ(IO_Reset_ForBridge(fd), CORLINK_ERR_FAILED);
    EXPECT_EQ(Output(), "");  // not even the PID or reset line
  }
  EXPECT_TRUE(SentBeforeMarker().empty());
}

TEST_F(Bridge, RefusedSetFeatureFailsAndIsNotRetried) {
  State().device_type = DEV_Z2_USB_BRG;
  refuse_ = true;
  Capture();
  EXPECT_EQ(IO_Reset_ForBridge(peer_.host_fd()), CORLINK_ERR_FAILED);
  EXPECT_EQ(Output(), "RST\n");  // printed before the report goes out, also when it fails
  EXPECT_EQ(SentBeforeMarker().size(), 1u);
  EXPECT_EQ(IO_ChgModeToZ1_ForBridge(-1), CORLINK_ERR_FAILED);  // no device at all
}

}  // namespace
}  // namespace corlink
