// The maintenance exports on the Z1 family, byte for byte against a scripted chip on the
// feature channel and through the Z6 tunnel.
#include <gtest/gtest.h>
#include <linux/uhid.h>

#include <deque>
#include <mutex>

#include "corlink.h"
#include "library_state.h"
#include "support/feature_chip.h"
#include "support/scripted_peer.h"
#include "support/transport_fixture.h"
#include "transport/crc.h"

namespace corlink {
namespace {

using testing::Bytes;
using testing::FeatureChip;
using testing::RecordedSleeps;
using testing::RequestedResponses;
using testing::ScriptedPeer;
using testing::TransportTest;
using testing::WrittenCommands;

std::vector<uint8_t> WithCrc(std::vector<uint8_t> data) {
  const uint16_t crc = transport::Crc16(data.data(), data.size());
  data.push_back(static_cast<uint8_t>(crc >> 8));
  data.push_back(static_cast<uint8_t>(crc));
  return data;
}

class Z1MaintenanceTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    State().device_type = DEV_Z2_USB_BRG;
  }
  ScriptedPeer peer;
  int fd() { return peer.host_fd(); }
};

TEST_F(Z1MaintenanceTest, ResetIsAQueryWithItsOwnCodeAndJudgesTheIdBytes) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({0x00, 0x80, 0xFF, 0xFF}));
  chip.QueueResponse(Bytes({0x00, 0x80, 0x12, 0x34}));
  Capture();
  EXPECT_EQ(IO_Reset(fd()), CORLINK_OK);
  EXPECT_EQ(IO_Reset(fd()), CORLINK_ERR_FAILED);
  EXPECT_EQ(Output(), "reset ack correctly!\nreset ack unknown format!\n");
  EXPECT_EQ(RequestedResponses(peer), Bytes({0x82, 0x82}));
  EXPECT_TRUE(WrittenCommands(peer).empty());
}

TEST_F(Z1MaintenanceTest, ResetWithoutAnAnswerTriesTheRetryCountAndSleepsBetween) {
  FeatureChip chip(peer);  // every response empty
  Capture();
  EXPECT_EQ(IO_Reset(fd()), CORLINK_ERR_RETRIES);
  EXPECT_EQ(Output(), "xxxxx");
  EXPECT_EQ(RequestedResponses(peer).size(), 5u);
  EXPECT_EQ(RecordedSleeps(), (std::vector<unsigned>{200, 200, 200, 200}));
}

// A loop allowed no attempts sends nothing, and nothing sent is never a success: a
// firmware update or a mode switch that did not happen must not look done.
TEST_F(Z1MaintenanceTest, RetryCountZeroSendsNothingAndSaysSo) {
  FeatureChip chip(peer);
  IO_SetRetryValue(0, 0);
  const uint8_t frame[12] = {};
  int32_t out = 0x5A5A;
  int32_t mode = 1;
  EXPECT_EQ(IO_Reset(fd()), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_ReCalibrate(fd()), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_ReadButtonModeStatus(fd(), &out), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_ReadWritePowerMod(fd(), &mode), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x3000, 100, 1), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_UpdateFwData(fd(), frame, 12, 0), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_ReadWriteMemData(fd(), 1, 2, 3, &out), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_ReadWriteSpecialMem(fd(), 1, &out), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_SetRawMode(fd(), 0x121), CORLINK_ERR_RETRIES);
  EXPECT_EQ(out, 0x5A5A);  // left alone
  EXPECT_EQ(mode, 1);
  // The same through the Z6 tunnel.
  State().device_type = DEV_USB_Z6SLAVE;
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x3000, 100, 1), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_UpdateFwData(fd(), frame, 12, 0), CORLINK_ERR_RETRIES);
  EXPECT_EQ(IO_ReadWriteMemData(fd(), 1, 2, 3, &out), CORLINK_ERR_RETRIES);
  EXPECT_EQ(peer.ReceivedCount(), 0u);
}

TEST_F(Z1MaintenanceTest, RecalibrationAnswers) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({0x00, 0x40, 0x5A, 0x31}));
  chip.QueueResponse(Bytes({0x00, 0x80}));
  chip.QueueResponse(Bytes({0x00, 0x80, 'Z', '1'}));
  Capture();
  EXPECT_EQ(IO_ReCalibrate(fd()), CORLINK_OK);
  EXPECT_EQ(Output(),
            "Z1 calibration NACK/RETRY!!\nZ1 calibration byte cnt error!\nZ1 calibration ack correctly!\n");
  EXPECT_EQ(RequestedResponses(peer), Bytes({0x87, 0x87, 0x87}));
}

TEST_F(Z1MaintenanceTest, WaitReadyTellsSuccessFailureAndStrangeAnswers) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
  chip.QueueResponse(Bytes({0x00, 0x80, 0xFF, 0xFF, 0xDE, 0xAD}));
  chip.QueueResponse(Bytes({0x01, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
  chip.QueueResponse(Bytes({0x00, 0x80, 0x00, 0x00, 0x00, 0x00}));
  chip.QueueResponse(Bytes({0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
  Capture();
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_OK);
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_ERR_FAILED);
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_ERR_FAILED);
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_OK);
  EXPECT_EQ(Output(),
            "\nupdate rom success!\n\nupdate rom failed!\nWrong response format! line 884\n"
            "\nUnknown report\n\nupdate rom success!\n");
  EXPECT_EQ(RequestedResponses(peer), Bytes({0x04, 0x04, 0x04, 0x04, 0x04}));
}

TEST_F(Z1MaintenanceTest, FirmwareInformationPayloadAndAcknowledgement) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({0x00, 0x80, 0xFF, 0xFF}));
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x00013000, 0x12345, 1), CORLINK_OK);
  auto written = WrittenCommands(peer);
  ASSERT_EQ(written.size(), 1u);
  // Only the low 16 bits of the length travel.
  std::vector<uint8_t> expected = WithCrc({0x00, 0x01, 0x30, 0x00, 0x23, 0x45});
  expected.insert(expected.begin(), 0x83);
  EXPECT_EQ(written[0], expected);
}

TEST_F(Z1MaintenanceTest, FirmwareInformationWithAnotherIdFailsAtOnce) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({0x00, 0x80, 0x00, 0x07}));
  Capture();
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x3000, 64, 1), CORLINK_ERR_FAILED);
  EXPECT_NE(Output().find("The ack of 0x83 cmd is 0x7 not 0xffff! Maybe file length too large?\n"),
            std::string::npos);
}

TEST_F(Z1MaintenanceTest, FirmwareInformationRefusedUsesUpTheAttempts) {
  FeatureChip chip(peer);
  for (int i = 0; i < 5; ++i) chip.QueueResponse(Bytes({0x00, 0x40, 0xFF, 0xFF}));
  Capture();
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x3000, 64, 1), CORLINK_ERR_RETRIES);
  const std::string out = Output();
  EXPECT_NE(out.find("R1"), std::string::npos);
  EXPECT_NE(out.find("R5"), std::string::npos);
  EXPECT_EQ(WrittenCommands(peer).size(), 5u);
}

TEST_F(Z1MaintenanceTest, DataFrameOfElevenBytesSendsNothing) {
  FeatureChip chip(peer);
  const uint8_t data[12] = {};
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 11, 0), CORLINK_ERR_FAILED);
  EXPECT_EQ(peer.ReceivedCount(), 0u);
}

TEST_F(Z1MaintenanceTest, DataFrameCarriesTwelveBytesAndTheirCrc) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({0x00, 0x80, 0x00, 0x03}));
  uint8_t data[16];
  for (int i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 16, 3), CORLINK_OK);
  auto written = WrittenCommands(peer);
  ASSERT_EQ(written.size(), 1u);
  std::vector<uint8_t> expected = WithCrc(std::vector<uint8_t>(data, data + 12));
  expected.insert(expected.begin(), 0x84);
  EXPECT_EQ(written[0], expected);
}

TEST_F(Z1MaintenanceTest, DataFrameRefusals) {
  FeatureChip chip(peer);
  // Refused naming this frame: sent again. Refused naming another: the chip is out of step.
  chip.QueueResponse(Bytes({0x00, 0x40, 0x00, 0x05}));
  chip.QueueResponse(Bytes({0x00, 0x40, 0x00, 0x04}));
  const uint8_t data[12] = {};
  Capture();
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 12, 5), CORLINK_ERR_FAILED);
  const std::string out = Output();
  EXPECT_NE(out.find("R1"), std::string::npos);
  EXPECT_NE(out.find("Error.. Not supported. Z1 requires an data frame id that is not current transmitting id!\n"),
            std::string::npos);
  EXPECT_EQ(WrittenCommands(peer).size(), 2u);
}

TEST_F(Z1MaintenanceTest, MemoryAccessPayloadAnswerAndCrcError) {
  FeatureChip chip(peer);
  chip.QueueResponse(WithCrc({0x78, 0x56, 0x34, 0x12}));
  auto bad = WithCrc({1, 2, 3, 4});
  bad[5] ^= 1;
  chip.QueueResponse(bad);
  int32_t out = 0;
  EXPECT_EQ(IO_ReadWriteMemData(fd(), 0x20000010, 1, 0xCAFEBABE, &out), CORLINK_OK);
  EXPECT_EQ(out, 0x12345678);
  Capture();
  EXPECT_EQ(IO_ReadWriteSpecialMem(fd(), 0x20000010, &out), CORLINK_ERR_FAILED);
  EXPECT_EQ(Output(), "CRC error!!\n");
  auto written = WrittenCommands(peer);
  ASSERT_EQ(written.size(), 2u);
  std::vector<uint8_t> expected =
      WithCrc({0x20, 0x00, 0x00, 0x10, 0, 0, 0, 1, 0xCA, 0xFE, 0xBA, 0xBE});
  expected.insert(expected.begin(), 0x88);
  EXPECT_EQ(written[0], expected);
}

TEST_F(Z1MaintenanceTest, MemoryNackIsRetriedWithTheDataPauses) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({0x00, 0x40, 0x5A, 0x31}));
  chip.QueueResponse(WithCrc({1, 0, 0, 0}));
  int32_t out = 0;
  Capture();
  EXPECT_EQ(IO_ReadWriteSpecialMem(fd(), 0x10, &out), CORLINK_OK);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(Output(), "Setting cmd failed with NACK\n");
  EXPECT_EQ(RecordedSleeps(), (std::vector<unsigned>{200, 50, 50}));
}

TEST_F(Z1MaintenanceTest, PowerAndButtonMode) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({0x00}));  // wrong length: asked again
  chip.QueueResponse(WithCrc({0x02}));
  chip.QueueResponse(WithCrc({0x00, 0x00, 0x01, 0x02}));
  int32_t mode = 0x102;  // only the low byte is sent
  Capture();
  EXPECT_EQ(IO_ReadWritePowerMod(fd(), &mode), CORLINK_OK);
  EXPECT_EQ(mode, 2);
  int32_t status = 0;
  EXPECT_EQ(IO_ReadButtonModeStatus(fd(), &status), CORLINK_OK);
  EXPECT_EQ(status, 0x0102);
  EXPECT_EQ(Output(), "Wrong response format!\n");
  auto written = WrittenCommands(peer);
  ASSERT_EQ(written.size(), 2u);
  std::vector<uint8_t> expected = WithCrc({0x02});
  expected.insert(expected.begin(), 0x90);
  EXPECT_EQ(written[0], expected);
  EXPECT_EQ(RequestedResponses(peer), Bytes({0x00, 0x00, 0x89}));
}

TEST_F(Z1MaintenanceTest, PassThroughCommandsAndTypesWithoutThem) {
  FeatureChip chip(peer);
  chip.QueueResponse(Bytes({7, 8, 9}));
  const uint8_t packet[] = {0x42, 2, 0xAA, 0xBB};
  EXPECT_TRUE(IO_CmdWrite(fd(), packet));
  uint8_t buf[64] = {};
  uint8_t count = 0;
  EXPECT_TRUE(IO_CmdRead(fd(), 0x42, buf, &count));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(buf[2], 9);
  EXPECT_EQ(WrittenCommands(peer)[0], Bytes({0x42, 0xAA, 0xBB}));
  // No finish on this family: nothing to do. No block CRC: failure.
  uint32_t crc = 0;
  EXPECT_EQ(IO_UpdateFwDataFinish_Z5(fd()), CORLINK_OK);
  EXPECT_EQ(IO_GetBlockCRC(fd(), 0x3000, 16, 0, &crc), CORLINK_ERR_FAILED);
  State().device_type = DEV_SPI;
  Capture();
  EXPECT_FALSE(IO_CmdRead(fd(), 0x42, buf, &count));
  EXPECT_EQ(Output(), "Not support, type = DEV_SPI\n");
  EXPECT_EQ(IO_Reset(fd()), CORLINK_ERR_FAILED);
  EXPECT_EQ(IO_UpdateFwDataFinish_Z5(fd()), CORLINK_OK);
  State().device_type = UNKNOWN;
  EXPECT_EQ(IO_UpdateFwDataFinish_Z5(fd()), CORLINK_ERR_FAILED);
}

TEST_F(Z1MaintenanceTest, InterfaceTestOnlyOnTheBridge) {
  FeatureChip chip(peer);
  // The scripted chip answers an idle get with its write-status report, not 09 D4 10.
  EXPECT_EQ(IO_I2cInterfaceTest(fd()), CORLINK_ERR_FAILED);
  State().device_type = DEV_Z2_I2C;
  Capture();
  EXPECT_EQ(IO_I2cInterfaceTest(fd()), CORLINK_ERR_RETRIES);
  EXPECT_EQ(Output(), "Not Z2_USB_BRG device\n");
}

// The bridge answers the 0xD4 get-feature with 09 D4 10 and its test value in byte 11.
TEST_F(Z1MaintenanceTest, InterfaceTestGivesTheBridgesValue) {
  std::mutex m;
  std::deque<std::pair<uint16_t, std::vector<uint8_t>>> replies{
      {0, Bytes({0x09, 0xD4, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0xC8, 0, 0, 0, 0, 0, 0, 0, 0})},
      {0, Bytes({0x09, 0xD4, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0, 0, 0, 0, 0, 0, 0, 0})},
      {0, Bytes({0x09, 0xD4, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0})},
      {5, {}}};
  peer.Start([&](ScriptedPeer& p, const testing::HostEvent& ev) {
    if (ev.type != UHID_GET_REPORT) return;
    std::lock_guard<std::mutex> lock(m);
    if (replies.empty()) return;
    auto [err, data] = replies.front();
    replies.pop_front();
    p.SendGetReply(ev.request_id, err, data.data(), data.size());
  });
  EXPECT_EQ(IO_I2cInterfaceTest(fd()), 200);
  EXPECT_EQ(IO_I2cInterfaceTest(fd()), 0);  // a value, not a failure
  EXPECT_EQ(IO_I2cInterfaceTest(fd()), CORLINK_ERR_FAILED);
  Capture();
  EXPECT_EQ(IO_I2cInterfaceTest(fd()), CORLINK_ERR_FAILED);
  EXPECT_EQ(Output(), "Hid GetFeature Fail\n");
  // Only get-features of report 9 crossed: the bridge sees nothing but the report id.
  const auto received = peer.Received();
  ASSERT_EQ(received.size(), 4u);
  for (const auto& ev : received) {
    EXPECT_EQ(ev.type, static_cast<uint32_t>(UHID_GET_REPORT));
    EXPECT_EQ(ev.report_id, 0x09);
  }
  peer.Stop();  // the handler uses this test's locals
}

// Z1 commands to a Z6 slave behind a Z2 master: each send is one 0xF0 report (slave index,
// command, payload length, payload), each answer a 0x0F read request and one report back.
class Z6TunnelTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    State().device_type = DEV_USB_Z6SLAVE;
    State().z6_slave_index = 6;
  }
  void Answers(std::vector<std::vector<uint8_t>> answers) {
    answers_.assign(answers.begin(), answers.end());
    peer.Start([this](ScriptedPeer& p, const testing::HostEvent& ev) {
      if (ev.type != UHID_OUTPUT || ev.data.size() < 2 || ev.data[1] != 0x0F) return;
      std::vector<uint8_t> a;
      {
        std::lock_guard<std::mutex> lock(m_);
        if (answers_.empty()) return;
        a = answers_.front();
        answers_.pop_front();
      }
      a.resize(19, 0);
      p.SendInput(a);
    });
  }
  std::vector<std::vector<uint8_t>> Sent() {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& ev : peer.Received())
      if (ev.type == UHID_OUTPUT) out.push_back(ev.data);
    return out;
  }
  static std::vector<uint8_t> Report(std::initializer_list<int> head) {
    std::vector<uint8_t> r = Bytes(head);
    r.resize(19, 0);
    return r;
  }
  int fd() { return peer.host_fd(); }

  std::mutex m_;
  std::deque<std::vector<uint8_t>> answers_;
  ScriptedPeer peer;
};

TEST_F(Z6TunnelTest, FirmwareInformationAndDataFrames) {
  Answers({Bytes({0x0A, 0x0F, 4, 0x00, 0x80, 0xFF, 0xFF}),
           Bytes({0x0A, 0x0F, 4, 0x00, 0x40, 0x00, 0x03}),  // refused naming this frame: again
           Bytes({0x0A, 0x0F, 4, 0x00, 0x80, 0x00, 0x03})});
  uint8_t data[12];
  for (int i = 0; i < 12; ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
  Capture();
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x00013000, 0x1234, 1), CORLINK_OK);
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 12, 3), CORLINK_OK);
  EXPECT_NE(Output().find("R1"), std::string::npos);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_EQ(sent[0],
            Report({0x09, 0xF0, 6, 0x83, 8, 0x00, 0x01, 0x30, 0x00, 0x12, 0x34, 0x95, 0x7E}));
  EXPECT_EQ(sent[1], Report({0x09, 0x0F, 6, 0x00}));
  // Twelve data bytes and their CRC fill the report to its last byte.
  const auto frame = Report({0x09, 0xF0, 6, 0x84, 14, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6,
                             0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xA7, 0xF8});
  EXPECT_EQ(sent[2], frame);
  EXPECT_EQ(sent[3], sent[1]);
  EXPECT_EQ(sent[4], frame);
  EXPECT_EQ(sent[5], sent[1]);
}

TEST_F(Z6TunnelTest, MemoryAccessReadAndWaitReady) {
  Answers({Bytes({0x0A, 0x0F, 6, 0x78, 0x56, 0x34, 0x12, 0xD0, 0xFA}),
           Bytes({0x0A, 0x0F, 14, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x84, 0xD1}),
           Bytes({0x0A, 0x0F, 6, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF})});
  int32_t out = 0;
  EXPECT_EQ(IO_ReadWriteMemData(fd(), 0x20000010, 1, 0xCAFEBABE, &out), CORLINK_OK);
  EXPECT_EQ(out, 0x12345678);
  uint8_t buf[52] = {};
  uint32_t count = 0;
  EXPECT_EQ(IO_ReadData(fd(), 0x50000000, buf, &count), CORLINK_OK);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 12), Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  Capture();
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_OK);
  EXPECT_EQ(Output(), "\nupdate rom success!\n");
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(sent[0], Report({0x09, 0xF0, 6, 0x88, 14, 0x20, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,
                             0x01, 0xCA, 0xFE, 0xBA, 0xBE, 0x03, 0x80}));
  EXPECT_EQ(sent[1], Report({0x09, 0x0F, 6, 0x00}));
  EXPECT_EQ(sent[2], Report({0x09, 0xF0, 6, 0x86, 6, 0x50, 0x00, 0x00, 0x00, 0x75, 0x3B}));
  EXPECT_EQ(sent[3], sent[1]);
  EXPECT_EQ(sent[4], Report({0x09, 0x0F, 6, 0x04}));  // a query carries its own code
}

TEST_F(Z1MaintenanceTest, FirmwareUnitByType) {
  uint32_t address = 0;
  uint8_t length = 0;
  const std::pair<int32_t, std::pair<uint32_t, int>> cases[] = {
      {NOT_SET, {0x3000, 12}},       {DEV_USB_Z6SLAVE, {0x3000, 12}}, {DEV_Z3_USB, {0x3000, 52}},
      {DEV_USB_Z7SLAVE, {0x3000, 52}}, {DEV_Z2_USB, {0x4000, 16}},    {DEV_SPI, {0xFFFFFFFF, 255}},
      {UNKNOWN, {0xFFFFFFFF, 255}}};
  for (const auto& [type, unit] : cases) {
    State().device_type = type;
    IO_GetUpdateFwUnit(&address, &length);
    EXPECT_EQ(address, unit.first) << type;
    EXPECT_EQ(length, unit.second) << type;
  }
}

}  // namespace
}  // namespace corlink
