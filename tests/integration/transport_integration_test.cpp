// Every protocol family of the transport against the emulated firmware: the success path
// and the failure paths, with panelsim's fault injection. Sleeps between retries are
// recorded instead of slept; transfer time-outs are cut to 300 ms.
#include <gtest/gtest.h>
#include <linux/uhid.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "hid/hid_port.h"
#include "panelsim/server.h"
#include "support/transport_fixture.h"
#include "support/z3_links.h"
#include "transport/feature_channel.h"
#include "transport/log.h"
#include "transport/memory_read.h"
#include "transport/z1_protocol.h"
#include "transport/z2_channel.h"
#include "transport/z3_protocol.h"

namespace corlink::transport {
namespace {

using corlink::testing::RecordedSleeps;
using corlink::testing::TransportTest;
using panelsim::FaultKind;

constexpr uint32_t kBase = 0x51000000;  // the baseline region: steady within a frame
constexpr int kCap = 300;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

class PanelsimTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    TransportClock().timeout_cap_ms = kCap;
    hid::SetVirtualTimeouts({kCap, 1000});
    char tmpl[] = "/tmp/corlink-it-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    setenv("CORLINK_VIRTUAL_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
    if (server_) server_->Stop();
    unsetenv("CORLINK_VIRTUAL_DIR");
    std::filesystem::remove_all(dir_);
    TransportTest::TearDown();
  }
  void Serve(panelsim::DeviceType type, int chips = 3) {
    panelsim::ServerConfig cfg;
    cfg.firmware.type = type;
    cfg.firmware.panel.chips = chips;
    cfg.folder = dir_;
    std::string err;
    server_ = panelsim::Server::Start(cfg, &err);
    ASSERT_TRUE(server_) << err;
    hid::OpenError oe;
    fd_ = hid::Open(server_->SocketPath(), &oe);
    ASSERT_GE(fd_, 0) << server_->SocketPath();
  }
  void Fault(FaultKind kind, int command, int count = 1, int delay_ms = 0) {
    server_->faults().Add({kind, command, 0, count, delay_ms});
  }
  std::vector<uint8_t> Peek(int chip, uint32_t address, int n) {
    return server_->firmware().PeekMemory(chip, address, n);
  }
  static std::vector<uint8_t> Got(const uint8_t* buf, uint32_t n) { return {buf, buf + n}; }

  std::string dir_;
  std::unique_ptr<panelsim::Server> server_;
  int fd_ = -1;
  uint8_t buf_[kMemoryReadMax] = {};
  uint32_t count_ = 0;
};

// --- FeatureChannel / Z1 ---

TEST_F(PanelsimTest, FeatureChannelReadsMemoryAndAcknowledgesModes) {
  Serve(panelsim::DeviceType::Z2UsbBrg);
  Z1Link link{fd_, false, 0};
  ASSERT_EQ(Z1ReadMemory(link, kBase, buf_, &count_), 0);
  EXPECT_EQ(Got(buf_, count_), Peek(0, kBase, 12));
  const uint8_t mode = 0x21;
  ASSERT_TRUE(Z1Send(link, 0x85, &mode, 1));
  uint16_t id = 0;
  EXPECT_TRUE(Z1ReadAck(link, kZ1ModeAckId, &id));
  EXPECT_EQ(id, kZ1ModeAckId);
}

TEST_F(PanelsimTest, FeatureWriteOfFifteenBytesIsRefusedWithoutTouchingTheDevice) {
  Serve(panelsim::DeviceType::Z2UsbBrg);
  uint8_t payload[15] = {};
  EXPECT_FALSE(FeatureWrite(fd_, 0x85, payload, 15));
  auto s = server_->Stats();
  EXPECT_EQ(s.get_reports + s.set_reports + s.outputs, 0);
}

TEST_F(PanelsimTest, Z1NackUntilTheRetriesAreUsedUp) {
  Serve(panelsim::DeviceType::Z2UsbBrg);
  Fault(FaultKind::Nack, 0x86, -1);
  Capture();
  EXPECT_EQ(Z1ReadMemory({fd_, false, 0}, kBase, buf_, &count_), -2);
  EXPECT_EQ(Output(), "NACK/RETRY!!\nNACK/RETRY!!\nNACK/RETRY!!\nNACK/RETRY!!\nNACK/RETRY!!\n");
  EXPECT_EQ(server_->CommandCount(0x86), 5);
}

TEST_F(PanelsimTest, Z1RecoversFromABadCrcAndALostAnswer) {
  Serve(panelsim::DeviceType::Z2UsbBrg);
  Fault(FaultKind::BadCrc, 0x86);
  Capture();
  ASSERT_EQ(Z1ReadMemory({fd_, false, 0}, kBase, buf_, &count_), 0);
  EXPECT_EQ(Output(), "CRC check failed!\n");
  EXPECT_EQ(Got(buf_, count_), Peek(0, kBase, 12));

  Fault(FaultKind::Drop, 0x86);
  Capture();
  ASSERT_EQ(Z1ReadMemory({fd_, false, 0}, kBase, buf_, &count_), 0);
  EXPECT_EQ(Output(), "Wrong response format!\n");
}

TEST_F(PanelsimTest, Z1UnplugFailsEverySend) {
  Serve(panelsim::DeviceType::Z2UsbBrg);
  Fault(FaultKind::Unplug, 0x86);
  EXPECT_EQ(Z1ReadMemory({fd_, false, 0}, kBase, buf_, &count_), -1);  // five failed writes
}

// --- Z2ReportChannel, letter commands and the Z6 tunnel ---

TEST_F(PanelsimTest, Z2LetterReadAndItsTimeOut) {
  Serve(panelsim::DeviceType::Z2Usb);
  ASSERT_EQ(Z2ReadMemory(fd_, kBase, buf_, &count_), 0);
  EXPECT_EQ(Got(buf_, count_), Peek(0, kBase, 16));

  Fault(FaultKind::Drop, 0x1E);
  Capture();
  EXPECT_EQ(Z2ReadMemory(fd_, kBase, buf_, &count_), -1);
  EXPECT_EQ(Output(), "<IO_Err(r)=0x006E(110)>\n");
  // The cancel left nothing behind: the next read gets its own answer.
  ASSERT_EQ(Z2ReadMemory(fd_, kBase + 4, buf_, &count_), 0);
  EXPECT_EQ(Got(buf_, count_), Peek(0, kBase + 4, 16));
}

TEST_F(PanelsimTest, Z2LetterCommandIsWrittenOnce) {
  Serve(panelsim::DeviceType::Z2Usb);
  Z2Report r = Z2Letter('x');
  r[2] = 0x21;
  EXPECT_EQ(Z2Command(fd_, r), 0);
  EXPECT_TRUE(RecordedSleeps().empty());
}

TEST_F(PanelsimTest, Z6SlaveReadsThroughTheTunnel) {
  Serve(panelsim::DeviceType::Z2Usb);
  Z1Link slave{fd_, true, 5};  // slave 1 of the cascade
  ASSERT_EQ(Z1ReadMemory(slave, kBase, buf_, &count_), 0);
  EXPECT_EQ(Got(buf_, count_), Peek(1, kBase, 12));
}

TEST_F(PanelsimTest, Z6SlaveAnswerClaimingTwentyBytesYieldsFourteen) {
  Serve(panelsim::DeviceType::Z2Usb);
  Fault(FaultKind::WrongLength, 0x86);
  Z1Link slave{fd_, true, 5};
  uint8_t payload[6];
  Z1ReadPayload(kBase, payload);
  ASSERT_TRUE(Z1Send(slave, 0x86, payload, 6));
  uint8_t out[kZ1MaxResponse];
  size_t len = 0;
  ASSERT_TRUE(Z1Receive(slave, 0, out, &len));
  EXPECT_EQ(len, 14u);
}

// --- Z3 on the 64-byte carrier ---

TEST_F(PanelsimTest, Z3ReadsFiftyTwoBytes) {
  Serve(panelsim::DeviceType::Z3Usb);
  ASSERT_EQ(Z3ReadMemory(Usb(fd_), kBase, buf_, &count_), 0);
  EXPECT_EQ(count_, 52u);
  EXPECT_EQ(Got(buf_, count_), Peek(0, kBase, 52));
  // The request as it crossed the wire: the whole 64-byte report.
  std::vector<uint8_t> request;
  for (const auto& p : server_->LastPackets())
    if (p.event == UHID_OUTPUT) request = p.data;
  ASSERT_EQ(request.size(), 64u);
  const std::vector<uint8_t> head{0x09, 0x09, 0x86, request[3], 0x00, 0x00, 0x00, 0x51, 0x34, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(request.begin(), request.begin() + 10), head);
  EXPECT_EQ(request[3], Z3PacketCrc(request.data(), 10));
}

TEST_F(PanelsimTest, Z3CrcMismatchEndsTheStatusReadWithoutASecondRead) {
  Serve(panelsim::DeviceType::Z3Usb);
  Fault(FaultKind::BadCrc, 0x86);
  uint8_t payload[6];
  Z3ReadPayload(kBase, 52, payload);
  Capture();
  EXPECT_EQ(Exchange(Usb(fd_), 0x86, payload, 6, {3000, 3000, 0, 1}, nullptr), -2);
  std::string out = Output();
  EXPECT_EQ(Count(out, "crc mismatch"), 1);
  EXPECT_EQ(Count(out, "SleepEx timeout"), 0);  // a second read would have timed out
  EXPECT_TRUE(RecordedSleeps().empty());
  // The full exchange retries and succeeds.
  Fault(FaultKind::BadCrc, 0x86);
  Capture();
  ASSERT_EQ(Z3ReadMemory(Usb(fd_), kBase, buf_, &count_), 0);
  EXPECT_EQ(Count(Output(), "crc mismatch"), 1);
  EXPECT_EQ(Got(buf_, count_), Peek(0, kBase, 52));
}

TEST_F(PanelsimTest, Z3TimeOutPrintsItsMessageThenTheRetrySucceeds) {
  Serve(panelsim::DeviceType::Z3Usb);
  Fault(FaultKind::Drop, 0x86);
  Capture();
  ASSERT_EQ(Z3ReadMemory(Usb(fd_), kBase, buf_, &count_), 0);
  EXPECT_EQ(Output(),
            "<IO_Err(r)=0x006E(110)> SleepEx timeout\n<IO_Err(r)=0x006E(110)> SleepEx timeout\n");
  EXPECT_EQ(Got(buf_, count_), Peek(0, kBase, 52));
  EXPECT_EQ(server_->CommandCount(0x86), 2);
}

TEST_F(PanelsimTest, Z3LateAnswerIsTakenByTheSecondReadAfterTheCancel) {
  Serve(panelsim::DeviceType::Z3Usb);
  Fault(FaultKind::Late, 0x86, 1, kCap * 3 / 2);  // between the two reads
  Capture();
  ASSERT_EQ(Z3ReadMemory(Usb(fd_), kBase, buf_, &count_), 0);
  EXPECT_EQ(Output(), "<IO_Err(r)=0x006E(110)> SleepEx timeout\n");
  EXPECT_EQ(server_->CommandCount(0x86), 1);
}

TEST_F(PanelsimTest, Z3RefusalsAndGarbage) {
  Serve(panelsim::DeviceType::Z3Usb);
  Fault(FaultKind::NackReason1, 0x86);
  EXPECT_EQ(Z3ReadMemory(Usb(fd_), kBase, buf_, &count_), -3);
  Fault(FaultKind::Nack, 0x86);
  EXPECT_EQ(Z3ReadMemory(Usb(fd_), kBase, buf_, &count_), -1);
  Fault(FaultKind::Garbage, 0x86, -1);
  Capture();
  EXPECT_EQ(Z3ReadMemory(Usb(fd_), kBase, buf_, &count_), -2);
  Output();
  EXPECT_EQ(server_->CommandCount(0x86), 2 + 3);
}

TEST_F(PanelsimTest, Z3UnplugInTheMiddleFails) {
  Serve(panelsim::DeviceType::Z3Usb);
  Fault(FaultKind::Unplug, 0x86);
  Capture();
  EXPECT_LT(Z3ReadMemory(Usb(fd_), kBase, buf_, &count_), 0);
  EXPECT_NE(Output().find("<CMD_ERR(R)="), std::string::npos);
}

// --- Z7 tunnel ---

TEST_F(PanelsimTest, Z7SlaveReadsThroughTheTunnel) {
  Serve(panelsim::DeviceType::Z3Usb);
  ASSERT_EQ(Z3ReadMemory(Z7(fd_, 6), kBase, buf_, &count_), 0);  // slave 2
  EXPECT_EQ(Got(buf_, count_), Peek(2, kBase, 52));
}

TEST_F(PanelsimTest, Z7MasterAcknowledgementIsALengthError) {
  Serve(panelsim::DeviceType::Z3Usb);
  Fault(FaultKind::WrongLength, 0x86);
  Capture();
  EXPECT_EQ(Z3ReadMemory(Z7(fd_, 5), kBase, buf_, &count_), -1);
  EXPECT_EQ(Output(), "slave cmd ack length error\n");
}

TEST_F(PanelsimTest, Z7CrcFailuresAndRefusals) {
  Serve(panelsim::DeviceType::Z3Usb);
  Fault(FaultKind::BadInnerCrc, 0x86);
  Capture();
  EXPECT_EQ(Z3ReadMemory(Z7(fd_, 5), kBase, buf_, &count_), -2);
  Fault(FaultKind::BadCrc, 0x86);
  EXPECT_EQ(Z3ReadMemory(Z7(fd_, 5), kBase, buf_, &count_), -2);
  EXPECT_EQ(Count(Output(), "crc mismatch"), 2);
  Fault(FaultKind::NackReason1, 0x86);
  EXPECT_EQ(Z3ReadMemory(Z7(fd_, 5), kBase, buf_, &count_), -3);
  Fault(FaultKind::Nack, 0x86);
  EXPECT_EQ(Z3ReadMemory(Z7(fd_, 5), kBase, buf_, &count_), -1);
}

TEST_F(PanelsimTest, Z7SilenceRunsOutAfterTheTunnelRetryCount) {
  Serve(panelsim::DeviceType::Z3Usb);
  Fault(FaultKind::Drop, 0x86);
  SetRetryValue(2, 200);
  Capture();
  EXPECT_EQ(Z3ReadMemory(Z7(fd_, 5), kBase, buf_, &count_), -2);
  EXPECT_EQ(Output(), "<IO_Err(r)=110>  SleepEx timeout\n<IO_Err(r)=110>  SleepEx timeout\n");
}

// --- HID-over-I2C ---

TEST_F(PanelsimTest, HidOverI2cReadsAndJudgesItsAnswers) {
  Serve(panelsim::DeviceType::Z3HidOverI2c);
  ASSERT_EQ(Z3ReadMemory(Hoi(fd_), kBase, buf_, &count_), 0);
  EXPECT_EQ(Got(buf_, count_), Peek(0, kBase, 52));
  Fault(FaultKind::BadCrc, 0x86);
  Capture();
  ASSERT_EQ(Z3ReadMemory(Hoi(fd_), kBase, buf_, &count_), 0);
  EXPECT_EQ(Count(Output(), "crc mismatch"), 1);
  Fault(FaultKind::NackReason1, 0x86);
  EXPECT_EQ(Z3ReadMemory(Hoi(fd_), kBase, buf_, &count_), -3);
  const uint8_t mode[2] = {0x21, 0x01};
  uint16_t value = 0;
  RecordedSleeps().clear();
  EXPECT_EQ(Exchange(Hoi(fd_), 0x85, mode, 2, {20, 20, 3}, &value), 0);
  EXPECT_EQ(RecordedSleeps(), std::vector<unsigned>{3});
}

TEST_F(PanelsimTest, HidOverI2cDumpsAtVerboseLevelOne) {
  Serve(panelsim::DeviceType::Z3HidOverI2c);
  SetVerbose(1);
  Capture();
  ASSERT_EQ(Z3ReadMemory(Hoi(fd_), kBase, buf_, &count_), 0);
  std::string out = Output();
  EXPECT_EQ(out.rfind("W: 09 00 86 ", 0), 0u) << out;
  EXPECT_NE(out.find("...\nR: 0a "), std::string::npos) << out;
}

}  // namespace
}  // namespace corlink::transport
