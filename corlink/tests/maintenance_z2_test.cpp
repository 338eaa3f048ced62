// The maintenance exports on a Z2 master (19-byte letter reports).
#include <gtest/gtest.h>
#include <linux/uhid.h>

#include "corlink.h"
#include "library_state.h"
#include "support/scripted_peer.h"
#include "support/transport_fixture.h"

namespace corlink {
namespace {

using testing::HostEvent;
using testing::RecordedSleeps;
using testing::ScriptedPeer;
using testing::TransportTest;

std::vector<uint8_t> Report19(std::vector<uint8_t> head) {
  head.resize(19, 0);
  return head;
}

class Z2MaintenanceTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    State().device_type = DEV_Z2_USB;
  }
  // Answers each output report with the next of these (none when they ran out).
  void Answer(std::vector<std::vector<uint8_t>> answers) {
    answers_ = std::move(answers);
    peer.Start([this](ScriptedPeer& p, const HostEvent& ev) {
      if (ev.type == UHID_OUTPUT && next_ < answers_.size()) p.SendInput(answers_[next_++]);
    });
  }
  // The output reports so far, once at least `expect` arrived (they cross a socket).
  std::vector<std::vector<uint8_t>> Sent(size_t expect = 1) {
    peer.WaitReceived(expect, 1000);
    std::vector<std::vector<uint8_t>> out;
    for (auto& ev : peer.Received())
      if (ev.type == UHID_OUTPUT) out.push_back(ev.data);
    return out;
  }
  int fd() { return peer.host_fd(); }
  std::vector<std::vector<uint8_t>> answers_;
  size_t next_ = 0;
  ScriptedPeer peer;
};

TEST_F(Z2MaintenanceTest, WriteOnlyCommandsAndTheirReports) {
  Answer({});
  EXPECT_EQ(IO_Reset(fd()), CORLINK_OK);
  EXPECT_EQ(IO_ReCalibrate(fd()), CORLINK_OK);
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x00014000, 0x10000 + 0x0203, 1), CORLINK_OK);
  EXPECT_EQ(IO_UpdateFwDataFinish_Z5(fd()), CORLINK_OK);
  auto sent = Sent(4);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0], Report19({0x09, 'i'}));
  EXPECT_EQ(sent[1], Report19({0x09, 'i', 0xCA}));
  EXPECT_EQ(sent[2], Report19({0x09, '-', 0x03, 0x02, 0x00, 0x40, 0x01, 0x00}));
  EXPECT_EQ(sent[3], Report19({0x09, 'K'}));
}

TEST_F(Z2MaintenanceTest, DataFrameReversesEachWordAndPutsTheLastByteInByteThree) {
  Answer({});
  uint8_t data[16];
  for (int i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 15, 0), CORLINK_ERR_FAILED);  // needs 16
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 16, 0), CORLINK_OK);
  auto sent = Sent(1);
  ASSERT_EQ(sent.size(), 1u);
  // Reversed: 3 2 1 0 7 6 5 4 11 10 9 8 15 14 13 12; the last one (12) in byte 3.
  EXPECT_EQ(sent[0], Report19({0x09, '<', 16, 12, 3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13}));
}

TEST_F(Z2MaintenanceTest, WaitReadyReadsTheResult) {
  Answer({Report19({0x0A, 'K', 0x00, 0x00}), Report19({0x0A, 'K', 0xBE, 0xEF}),
          Report19({0x0A, 'K', 0xDE, 0xAD})});
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_OK);
  EXPECT_EQ(RecordedSleeps(), std::vector<unsigned>{200});
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_ERR_FAILED);
  EXPECT_EQ(Sent()[0], Report19({0x09, 'K', 'Z'}));
}

TEST_F(Z2MaintenanceTest, WaitReadyWithoutAnswerUsesTheRetryCount) {
  Answer({});
  IO_SetRetryValue(2, 7);
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_ERR_RETRIES);
  EXPECT_EQ(Sent(2).size(), 2u);
}

TEST_F(Z2MaintenanceTest, MemoryAccessSendsThreeWordsAndReadsOne) {
  Answer({Report19({0x0A, '-', 4, 0, 0x78, 0x56, 0x34, 0x12})});
  int32_t out = 0;
  EXPECT_EQ(IO_ReadWriteMemData(fd(), 0x20000004, 1, 0xAABBCCDD, &out), CORLINK_OK);
  EXPECT_EQ(out, 0x12345678);
  EXPECT_EQ(Sent()[0], Report19({0x09, '-', 0, 0, 0x04, 0, 0, 0x20, 1, 0, 0, 0, 0xDD, 0xCC, 0xBB, 0xAA}));
  // No answer: failure.
  EXPECT_EQ(IO_ReadWriteSpecialMem(fd(), 0x20000004, &out), CORLINK_ERR_FAILED);
}

TEST_F(Z2MaintenanceTest, CommandsThisFamilyHasNot) {
  Answer({});
  uint8_t buf[64];
  uint8_t count = 9;
  uint32_t crc = 0;
  int32_t v = 0;
  const uint8_t packet[] = {0x82, 0};
  EXPECT_FALSE(IO_CmdRead(fd(), 0x82, buf, &count));
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(IO_CmdWrite(fd(), packet));
  EXPECT_EQ(IO_GetBlockCRC(fd(), 0x4000, 16, 0, &crc), CORLINK_ERR_FAILED);
  EXPECT_EQ(IO_ReadWritePowerMod(fd(), &v), CORLINK_ERR_FAILED);
  EXPECT_EQ(IO_ReadButtonModeStatus(fd(), &v), CORLINK_ERR_FAILED);
  EXPECT_EQ(peer.ReceivedCount(), 0u);
}

TEST_F(Z2MaintenanceTest, Z6SlaveTakesZ1CommandsThroughTheTunnel) {
  State().device_type = DEV_USB_Z6SLAVE;
  State().z6_slave_index = 6;
  Answer({Report19({0x0A, 0x0F, 4, 0x00, 0x80, 0xFF, 0xFF})});
  EXPECT_EQ(IO_Reset(fd()), CORLINK_OK);
  EXPECT_EQ(Sent()[0], Report19({0x09, 0x0F, 6, 0x82}));
}

}  // namespace
}  // namespace corlink
