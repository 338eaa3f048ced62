// The maintenance exports on the Z3 carriers: 64-byte reports, HID-over-I2C and the 0xB0
// tunnel to a Z7 slave.
#include <gtest/gtest.h>
#include <linux/uhid.h>

#include <algorithm>
#include <deque>
#include <mutex>

#include "corlink.h"
#include "library_state.h"
#include "support/scripted_peer.h"
#include "support/transport_fixture.h"
#include "transport/crc.h"

namespace corlink {
namespace {

using testing::HidOverI2cAnswer;
using testing::HostEvent;
using testing::RecordedSleeps;
using testing::ScriptedPeer;
using testing::TransportTest;
using testing::Z3Answer;
using testing::Z7Answer;

using Packet = std::vector<uint8_t>;

// An out packet as the host must build it: header, payload, CRC over byte 2 and 4..L-1.
Packet Z3Out(uint8_t command, const Packet& payload, size_t size = 64) {
  Packet p(size, 0);
  p[0] = 0x09;
  p[1] = size == 58 ? 0 : static_cast<uint8_t>(3 + payload.size());
  p[2] = command;
  std::copy(payload.begin(), payload.end(), p.begin() + 4);
  const size_t end = size == 58 ? 58 : 4 + payload.size();
  uint16_t crc = transport::Crc16(p.data() + 2, 1);
  crc = transport::Crc16(p.data() + 4, end - 4, crc);
  p[3] = static_cast<uint8_t>(crc);
  return p;
}

Packet Ack(uint8_t lo = 0, uint8_t hi = 0, Packet data = {}) {
  Packet body{0xEF, 0xBE, lo, hi};
  body.insert(body.end(), data.begin(), data.end());
  return body;
}

// A report as it crosses the wire: these leading bytes, zero to its size. The check bytes
// in the golden packets below are worked out by hand from the layouts (CRC-16/XMODEM, low
// byte), not taken from the library.
Packet Wire(std::initializer_list<uint8_t> head, size_t size = 64) {
  Packet p(head);
  p.resize(size, 0);
  return p;
}

class Z3MaintenanceTest : public TransportTest {
 protected:
  void UseType(int32_t type) { State().device_type = type; }
  // Each output report is answered by the next entry (several reports or none).
  void Script(std::vector<std::vector<Packet>> per_request, std::vector<Packet> unprompted = {}) {
    for (auto& a : per_request) script_.push_back(std::move(a));
    peer.Start([this](ScriptedPeer& p, const HostEvent& ev) {
      if (ev.type != UHID_OUTPUT) return;
      std::vector<Packet> answers;
      {
        std::lock_guard<std::mutex> lock(m_);
        if (script_.empty()) return;
        answers = std::move(script_.front());
        script_.pop_front();
      }
      for (auto& a : answers) p.SendInput(a);
    });
    for (auto& u : unprompted) peer.SendInput(u);
  }
  // The output reports so far, once at least `expect` arrived (they cross a socket).
  std::vector<Packet> Sent(size_t expect = 1) {
    peer.WaitReceived(expect, 1000);
    std::vector<Packet> out;
    for (auto& ev : peer.Received())
      if (ev.type == UHID_OUTPUT) out.push_back(ev.data);
    return out;
  }
  int fd() { return peer.host_fd(); }

  std::mutex m_;
  std::deque<std::vector<Packet>> script_;
  ScriptedPeer peer;
};

TEST_F(Z3MaintenanceTest, ResetOnUsbIsOnlyWritten) {
  UseType(DEV_Z3_USB);
  Script({{}});
  EXPECT_EQ(IO_Reset(fd()), CORLINK_OK);
  auto sent = Sent(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], Z3Out(0x82, {}));
  EXPECT_EQ(sent[0][1], 3);  // L = 4
}

TEST_F(Z3MaintenanceTest, ResetOnHidOverI2cReadsTheStatus) {
  UseType(DEV_Z3_HID_OVER_I2C);
  Script({{HidOverI2cAnswer({0xAD, 0xDE, 0x01})}});
  EXPECT_EQ(IO_Reset(fd()), CORLINK_ERR_REFUSED);
  EXPECT_EQ(Sent()[0], Z3Out(0x82, {}, 58));
}

TEST_F(Z3MaintenanceTest, FirmwareInformationUsesTheFlagOnUsbOnly) {
  UseType(DEV_Z3_USB_BRG);
  Script({{Z3Answer(0x73, Ack())}, {Z3Answer(0x83, Ack())}, {HidOverI2cAnswer(Ack())}});
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x00013000, 0x0001F400, 0), CORLINK_OK);
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x00013000, 0x0400, 1), CORLINK_OK);
  UseType(DEV_Z3_HID_OVER_I2C);
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x00013000, 0x0400, 0), CORLINK_OK);
  auto sent = Sent(3);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], Z3Out(0x73, {0x00, 0x30, 0x01, 0x00, 0x00, 0xF4}));
  EXPECT_EQ(sent[1], Z3Out(0x83, {0x00, 0x30, 0x01, 0x00, 0x00, 0x04}));
  EXPECT_EQ(sent[2], Z3Out(0x83, {0x00, 0x30, 0x01, 0x00, 0x00, 0x04}, 58));
}

TEST_F(Z3MaintenanceTest, FiveDataBytesTravelAsTwoReversedWords) {
  UseType(DEV_Z3_USB);
  Script({{Z3Answer(0x84, Ack(7))}});
  const uint8_t data[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 5, 7), CORLINK_OK);
  auto sent = Sent(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][1], 11);  // L = 12
  EXPECT_EQ(sent[0], Z3Out(0x84, {0x44, 0x33, 0x22, 0x11, 0x00, 0x00, 0x00, 0x55}));
}

TEST_F(Z3MaintenanceTest, DataFrameAcknowledgedWithAnotherIdIsSentAgain) {
  UseType(DEV_Z3_USB);
  Script({{Z3Answer(0x84, Ack(1))}, {Z3Answer(0x84, Ack(1))}, {Z3Answer(0x84, Ack(2))}});
  const uint8_t data[52] = {};
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 52, 2), CORLINK_OK);
  EXPECT_EQ(Sent(3).size(), 3u);
  EXPECT_EQ(RecordedSleeps(), (std::vector<unsigned>{200, 200}));
}

// A chip that keeps naming another frame has not taken this one: reporting success would
// let an update run on with a frame missing.
TEST_F(Z3MaintenanceTest, DataFrameStillOutOfStepAfterThreeTriesIsNoSuccess) {
  UseType(DEV_Z3_USB);
  Script({{Z3Answer(0x84, Ack(1))}, {Z3Answer(0x84, Ack(1))}, {Z3Answer(0x84, Ack(1))}});
  const uint8_t data[52] = {};
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 53, 2), CORLINK_ERR_FAILED);  // too long: nothing sent
  EXPECT_EQ(peer.ReceivedCount(), 0u);
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 52, 2), CORLINK_ERR_RETRIES);
  EXPECT_EQ(Sent(3).size(), 3u);
}

TEST_F(Z3MaintenanceTest, FinishIsOnlyWrittenAndWaitReadyOnlyReads) {
  UseType(DEV_Z3_USB);
  Script({{Z3Answer(0x81, {0xAD, 0xDE, 0x00})}});
  EXPECT_EQ(IO_UpdateFwDataFinish_Z5(fd()), CORLINK_OK);
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_ERR_FAILED);  // the chip reports a failed update
  auto sent = Sent(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], Z3Out(0x81, {}));
}

TEST_F(Z3MaintenanceTest, BlockCrcPausesByLengthAndReadsTheCrcBigEndian) {
  UseType(DEV_Z3_USB);
  Script({{Z3Answer(0x91, Ack(0xAB, 0xCD))}, {Z3Answer(0x91, Ack(0x12, 0x34))}});
  uint32_t crc = 0;
  EXPECT_EQ(IO_GetBlockCRC(fd(), 0x3000, 4096, 0x0102, &crc), CORLINK_OK);
  EXPECT_EQ(crc, 0xABCDu);
  EXPECT_EQ(RecordedSleeps(), std::vector<unsigned>{500});
  RecordedSleeps().clear();
  EXPECT_EQ(IO_GetBlockCRC(fd(), 0x3000, 4097, 0, &crc), CORLINK_OK);
  EXPECT_EQ(crc, 0x1234u);
  EXPECT_EQ(RecordedSleeps(), std::vector<unsigned>{3000});
  auto sent = Sent(2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], Z3Out(0x91, {0x00, 0x30, 0x00, 0x00, 0x00, 0x10, 0x02, 0x01}));
  EXPECT_EQ(sent[1][1], 11);  // L = 12
}

TEST_F(Z3MaintenanceTest, BlockCrcOnHidOverI2cAndThroughTheTunnel) {
  UseType(DEV_Z3_HID_OVER_I2C);
  Script({{HidOverI2cAnswer(Ack(0xBE, 0xEF))}, {Z7Answer(Ack(0x56, 0x78))}});
  uint32_t crc = 0;
  EXPECT_EQ(IO_GetBlockCRC(fd(), 0x3000, 64, 0, &crc), CORLINK_OK);
  EXPECT_EQ(crc, 0xBEEFu);
  UseType(DEV_USB_Z7SLAVE);
  State().z7_slave_index = 5;
  EXPECT_EQ(IO_GetBlockCRC(fd(), 0x3000, 64, 0, &crc), CORLINK_OK);
  EXPECT_EQ(crc, 0x5678u);
  const Packet tunnel = Sent(2)[1];
  EXPECT_EQ(tunnel[2], 0xB0);
  EXPECT_EQ(tunnel[5], 5);
  EXPECT_EQ(tunnel[6], 0x91);
}

TEST_F(Z3MaintenanceTest, MemoryAccessOnEachCarrier) {
  Packet words(16);
  for (size_t i = 0; i < 16; ++i) words[i] = static_cast<uint8_t>(i + 1);
  UseType(DEV_Z3_USB);
  Script({{Z3Answer(0x88, Ack(0, 0, words))},
          {Z3Answer(0x88, Ack(0, 0, Packet(words.begin(), words.begin() + 15)))},
          {HidOverI2cAnswer(Ack(0, 0, {9, 8, 7, 6}))},
          {Z7Answer(Ack(0, 0, words))}});
  int32_t out[4] = {};
  EXPECT_EQ(IO_ReadWriteMemData(fd(), 0x20000000, 1, 0x55, out), CORLINK_OK);
  EXPECT_EQ(out[0], 0x04030201);
  EXPECT_EQ(out[3], 0x100F0E0D);
  Capture();
  EXPECT_EQ(IO_ReadWriteSpecialMem(fd(), 0x20000000, out), CORLINK_ERR_FAILED);
  EXPECT_EQ(Output(), "invalid 0x88 return length");
  UseType(DEV_Z3_HID_OVER_I2C);
  EXPECT_EQ(IO_ReadWriteSpecialMem(fd(), 0x20000000, out), CORLINK_OK);
  EXPECT_EQ(out[0], 0x06070809);
  UseType(DEV_USB_Z7SLAVE);
  out[3] = 0;
  EXPECT_EQ(IO_ReadWriteSpecialMem(fd(), 0x20000000, out), CORLINK_OK);
  EXPECT_EQ(out[3], 0x100F0E0D);
  auto sent = Sent(4);
  ASSERT_EQ(sent.size(), 4u);
  Packet payload(48, 0);
  payload[3] = 0x20;
  payload[4] = 1;
  payload[8] = 0x55;
  EXPECT_EQ(sent[0], Z3Out(0x88, payload));
  EXPECT_EQ(sent[0][1], 51);  // L = 52
  EXPECT_EQ(sent[3][1], 55);  // outer L = 56
}

TEST_F(Z3MaintenanceTest, PowerModeOnlyThroughTheTunnel) {
  UseType(DEV_Z3_USB);
  Script({{Z7Answer(Ack(0, 0, {0x03, 0x00}))}, {Z7Answer(Ack(0, 0, {1, 2, 3}))}});
  int32_t mode = 3;
  EXPECT_EQ(IO_ReadWritePowerMod(fd(), &mode), CORLINK_ERR_FAILED);
  EXPECT_EQ(peer.ReceivedCount(), 0u);
  UseType(DEV_USB_Z7SLAVE);
  EXPECT_EQ(IO_ReadWritePowerMod(fd(), &mode), CORLINK_OK);
  EXPECT_EQ(mode, 3);
  Capture();
  EXPECT_EQ(IO_ReadWritePowerMod(fd(), &mode), CORLINK_ERR_FAILED);
  EXPECT_EQ(Output(), "invalid 0x90 return length");
  EXPECT_EQ(Sent()[0][1], 9);  // outer L = 10
}

TEST_F(Z3MaintenanceTest, PassThroughWriteInsertsTheCheckBytes) {
  UseType(DEV_Z3_USB);
  Script({{}}, {});
  Packet packet(64, 0);
  packet[0] = 0x09;
  packet[1] = 5;
  packet[2] = 0x85;
  packet[4] = 0x21;
  packet[5] = 0x01;
  EXPECT_TRUE(IO_CmdWrite(fd(), packet.data()));
  EXPECT_EQ(Sent()[0], Z3Out(0x85, {0x21, 0x01}));
  packet[1] = 64;  // past the report: refused
  EXPECT_FALSE(IO_CmdWrite(fd(), packet.data()));
  EXPECT_EQ(Sent(1).size(), 1u);
}

TEST_F(Z3MaintenanceTest, PassThroughReadTakesOneWholeReport) {
  UseType(DEV_Z3_USB);
  Script({});
  const Packet report = Z3Answer(0x86, Ack(1, 2));
  peer.SendInput(report);
  uint8_t buf[64] = {};
  uint8_t count = 0;
  EXPECT_TRUE(IO_CmdRead(fd(), 0, buf, &count));
  EXPECT_EQ(count, 64);
  EXPECT_EQ(Packet(buf, buf + 64), report);
}

TEST_F(Z3MaintenanceTest, RecalibrationOnEachCarrierReturnsTheStatus) {
  Script({{Z3Answer(0x87, Ack())},
          {HidOverI2cAnswer({0xAD, 0xDE, 0x01})},
          {Z7Answer({0xAD, 0xDE, 0x00, 0x01})},
          {Z7Answer({0xAD, 0xDE, 0x00, 0x00})}});
  UseType(DEV_Z3_USB);
  EXPECT_EQ(IO_ReCalibrate(fd()), CORLINK_OK);
  UseType(DEV_Z3_HID_OVER_I2C);
  EXPECT_EQ(IO_ReCalibrate(fd()), CORLINK_ERR_REFUSED);
  UseType(DEV_USB_Z7SLAVE);
  State().z7_slave_index = 2;
  EXPECT_EQ(IO_ReCalibrate(fd()), CORLINK_ERR_REFUSED);  // the slave refused with reason 1
  EXPECT_EQ(IO_ReCalibrate(fd()), CORLINK_ERR_FAILED);   // a plain refusal
  auto sent = Sent(4);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0], Wire({0x09, 0x03, 0x87, 0x6F}));
  EXPECT_EQ(sent[1], Wire({0x09, 0x00, 0x87, 0x78}, 58));
  EXPECT_EQ(sent[2], Wire({0x09, 0x07, 0xB0, 0x6F, 0x09, 0x02, 0x87, 0x6F}));
  EXPECT_EQ(sent[3], sent[2]);
}

// Reset, information, one data frame, finish and wait ready: the whole firmware update as
// the slave behind a Z7 master sees it, every command wrapped in the 0xB0 packet.
TEST_F(Z3MaintenanceTest, FirmwareUpdateThroughTheTunnel) {
  UseType(DEV_USB_Z7SLAVE);
  State().z7_slave_index = 3;
  // The finish is not answered; the one after it is what wait ready reads.
  Script({{Z7Answer(Ack())}, {Z7Answer(Ack())}, {Z7Answer(Ack(9))}, {Z7Answer(Ack())}});
  const uint8_t data[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  EXPECT_EQ(IO_Reset(fd()), CORLINK_OK);
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x00013000, 0x0400, 0), CORLINK_OK);  // the flag is not looked at
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 8, 9), CORLINK_OK);
  EXPECT_EQ(IO_UpdateFwDataFinish_Z5(fd()), CORLINK_OK);
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_OK);
  auto sent = Sent(4);
  ASSERT_EQ(sent.size(), 4u);  // wait ready sends nothing
  EXPECT_EQ(sent[0], Wire({0x09, 0x07, 0xB0, 0xE5, 0x09, 0x03, 0x82, 0xCA}));
  EXPECT_EQ(sent[1], Wire({0x09, 0x0D, 0xB0, 0x25, 0x09, 0x03, 0x83, 0xA5, 0x00, 0x30, 0x01, 0x00,
                           0x00, 0x04}));
  EXPECT_EQ(sent[2], Wire({0x09, 0x0F, 0xB0, 0xAE, 0x09, 0x03, 0x84, 0x13, 0x44, 0x33, 0x22, 0x11,
                           0x88, 0x77, 0x66, 0x55}));
  EXPECT_EQ(sent[3], Wire({0x09, 0x07, 0xB0, 0x73, 0x09, 0x03, 0x81, 0xA9}));
}

TEST_F(Z3MaintenanceTest, TunnelStatusDecidesTheUpdateSteps) {
  UseType(DEV_USB_Z7SLAVE);
  State().z7_slave_index = 3;
  // The data frame is taken under another id three times: not taken, as on the other
  // carriers. Wait ready hears the slave refuse.
  Script({{Z7Answer({0xAD, 0xDE, 0x00, 0x00})},
          {Z7Answer(Ack(8))},
          {Z7Answer(Ack(8))},
          {Z7Answer(Ack(8))},
          {Z7Answer({0xAD, 0xDE, 0x00, 0x00})}});
  const uint8_t data[4] = {1, 2, 3, 4};
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x3000, 64, 1), CORLINK_ERR_FAILED);
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 4, 9), CORLINK_ERR_RETRIES);
  EXPECT_EQ(Sent(4).size(), 4u);
  EXPECT_EQ(IO_UpdateFwDataFinish_Z5(fd()), CORLINK_OK);
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_ERR_FAILED);
}

TEST_F(Z3MaintenanceTest, FirmwareUpdateOnHidOverI2c) {
  UseType(DEV_Z3_HID_OVER_I2C);
  Script({{HidOverI2cAnswer(Ack())},
          {HidOverI2cAnswer(Ack())},
          {HidOverI2cAnswer(Ack(1))},
          {HidOverI2cAnswer({0xAD, 0xDE, 0x00})}});
  const uint8_t data[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
  EXPECT_EQ(IO_Reset(fd()), CORLINK_OK);
  EXPECT_EQ(IO_UpdateFwInfo(fd(), 0x00013000, 0x0400, 1), CORLINK_OK);
  EXPECT_EQ(IO_UpdateFwData(fd(), data, 5, 1), CORLINK_OK);
  EXPECT_EQ(IO_UpdateFwDataFinish_Z5(fd()), CORLINK_OK);
  EXPECT_EQ(IO_WaitReady(fd()), CORLINK_ERR_FAILED);  // the chip reports a failed update
  auto sent = Sent(4);
  ASSERT_EQ(sent.size(), 4u);
  // Byte 1 stays 0 whatever the payload; the check byte covers the whole report.
  EXPECT_EQ(sent[0], Wire({0x09, 0x00, 0x82, 0x99}, 58));
  EXPECT_EQ(sent[1], Wire({0x09, 0x00, 0x83, 0x66, 0x00, 0x30, 0x01, 0x00, 0x00, 0x04}, 58));
  EXPECT_EQ(sent[2],
            Wire({0x09, 0x00, 0x84, 0x7C, 0x44, 0x33, 0x22, 0x11, 0x00, 0x00, 0x00, 0x55}, 58));
  EXPECT_EQ(sent[3], Wire({0x09, 0x00, 0x81, 0xC6}, 58));
}

TEST_F(Z3MaintenanceTest, PassThroughWriteOfATunnelPacketChecksBothPackets) {
  UseType(DEV_USB_Z7SLAVE);
  Script({{}});
  // L = 12: the inner packet is bytes 4..11, its check byte over byte 6 and 8..11.
  const Packet packet =
      Wire({0x09, 0x0B, 0xB0, 0x00, 0x09, 0x04, 0x88, 0x00, 0x01, 0x02, 0x03, 0x04});
  EXPECT_TRUE(IO_CmdWrite(fd(), packet.data()));
  auto sent = Sent(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0],
            Wire({0x09, 0x0B, 0xB0, 0xE0, 0x09, 0x04, 0x88, 0xFE, 0x01, 0x02, 0x03, 0x04}));
  EXPECT_EQ(peer.ReceivedCount(), 1u);  // no status read, no second write
}

TEST_F(Z3MaintenanceTest, PassThroughOnHidOverI2cUsesTheWholeReport) {
  UseType(DEV_Z3_HID_OVER_I2C);
  Script({{}});
  Packet packet = Wire({0x09, 0x00, 0x85, 0x00, 0x21, 0x01}, 58);
  EXPECT_TRUE(IO_CmdWrite(fd(), packet.data()));
  auto sent = Sent(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], Wire({0x09, 0x00, 0x85, 0x3B, 0x21, 0x01}, 58));
  // A read takes one 58-byte report and nothing past it.
  const Packet report = HidOverI2cAnswer(Ack(1, 2, {0xAA}));
  peer.SendInput(report);
  uint8_t buf[64];
  std::fill(std::begin(buf), std::end(buf), 0xEE);
  uint8_t count = 0;
  EXPECT_TRUE(IO_CmdRead(fd(), 0, buf, &count));
  EXPECT_EQ(count, 58);
  EXPECT_EQ(Packet(buf, buf + 58), report);
  EXPECT_EQ(buf[58], 0xEE);
  // Nothing comes: the family's retry count of reads, its delay between them, then false.
  RecordedSleeps().clear();
  EXPECT_FALSE(IO_CmdRead(fd(), 0, buf, &count));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(RecordedSleeps(), (std::vector<unsigned>{20, 20}));
}

TEST_F(Z3MaintenanceTest, ButtonModeIsNotAZ3Command) {
  UseType(DEV_Z3_USB);
  Script({});
  int32_t status = 0;
  EXPECT_EQ(IO_ReadButtonModeStatus(fd(), &status), CORLINK_ERR_FAILED);
  EXPECT_EQ(peer.ReceivedCount(), 0u);
}

}  // namespace
}  // namespace corlink
