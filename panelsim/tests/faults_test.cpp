// Fault injection: the plan's bookkeeping and what each kind does to the answers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "firmware_helpers.h"
#include "packets.h"
#include "panelsim/server.h"
#include "raw_client.h"

namespace panelsim::test {
namespace {

std::vector<uint8_t> Read52(uint32_t address) {
  auto p = Le32(address);
  p.push_back(52);
  p.push_back(0);
  return p;
}

Fault Make(FaultKind kind, int command = -1, int count = 1, int skip = 0, int delay = 0) {
  Fault f;
  f.kind = kind;
  f.command = command;
  f.count = count;
  f.skip = skip;
  f.delay_ms = delay;
  return f;
}

TEST(FaultPlan, ParsesSpecsAndRejectsBadOnes) {
  std::string err;
  auto f = ParseFault("nack:cmd=0x86,count=3,skip=1", &err);
  ASSERT_TRUE(f) << err;
  EXPECT_EQ(f->kind, FaultKind::Nack);
  EXPECT_EQ(f->command, 0x86);
  EXPECT_EQ(f->count, 3);
  EXPECT_EQ(f->skip, 1);
  auto late = ParseFault("late:delay=3500", &err);
  ASSERT_TRUE(late);
  EXPECT_EQ(late->delay_ms, 3500);
  EXPECT_EQ(ParseFault("never-ready", &err)->count, -1);
  EXPECT_FALSE(ParseFault("explode", &err));
  EXPECT_NE(err.find("explode"), std::string::npos);
  EXPECT_FALSE(ParseFault("nack:cmd=0x186", &err));
  EXPECT_FALSE(ParseFault("nack:count=", &err));
  EXPECT_FALSE(ParseFault("nack:colour=red", &err));
}

TEST(FaultPlan, SkipThenCountThenDone) {
  FaultPlan plan;
  plan.Add(Make(FaultKind::Nack, 0x86, 2, 1));
  EXPECT_FALSE(plan.Take(0x85));
  EXPECT_FALSE(plan.Take(0x86));  // skipped
  EXPECT_TRUE(plan.Take(0x86));
  EXPECT_TRUE(plan.Take(0x86));
  EXPECT_FALSE(plan.Take(0x86));
  EXPECT_EQ(plan.Applied(), 2);
  plan.Add(Make(FaultKind::Drop, -1, -1));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(plan.Take(i));
  EXPECT_FALSE(plan.Take(1, FaultKind::Unplug));
  plan.Clear();
  EXPECT_FALSE(plan.Take(1));
}

TEST(Faults, Z3BadCrcNackWrongLengthAndGarbage) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb));
  auto req = Z3Packet(0x86, Read52(0x52000000));
  fw.faults().Add(Make(FaultKind::BadCrc, 0x86));
  auto a = Ask(fw, req);
  ASSERT_TRUE(a);
  EXPECT_NE((*a)[3], Crc8Of(*a, 4, (*a)[1] + 1));
  auto b = Ask(fw, req);  // used up: fine again
  EXPECT_EQ((*b)[3], Crc8Of(*b, 4, (*b)[1] + 1));

  fw.faults().Add(Make(FaultKind::NackReason1, 0x86));
  auto n = Ask(fw, req);
  EXPECT_EQ((*n)[4], 0xAD);
  EXPECT_EQ((*n)[6], 1);

  fw.faults().Add(Make(FaultKind::WrongLength, 0x86));
  auto w = Ask(fw, req);
  EXPECT_EQ((*w)[1], 59 - 4);
  EXPECT_EQ((*w)[3], Crc8Of(*w, 4, (*w)[1] + 1));

  fw.faults().Add(Make(FaultKind::Garbage, 0x86));
  auto g = Ask(fw, req);
  EXPECT_EQ((*g)[0], 0x0A);
  EXPECT_NE(*g, *b);
}

TEST(Faults, DropAndLateOnReports) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb));
  fw.faults().Add(Make(FaultKind::Drop, 0x86));
  Outcome o = SendOutput(fw, Z3Packet(0x86, Read52(0x52000000)));
  EXPECT_TRUE(o.answers.empty());
  EXPECT_EQ(o.withheld, 1);
  fw.faults().Add(Make(FaultKind::Late, 0x86, 1, 0, 3500));
  o = SendOutput(fw, Z3Packet(0x86, Read52(0x52000000)));
  ASSERT_EQ(o.answers.size(), 1u);
  EXPECT_EQ(o.answers[0].delay_ms, 3500);
}

TEST(Faults, Z7WrongLengthIsTheMastersOwnAckAndInnerCrc) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb, 2));
  fw.faults().Add(Make(FaultKind::WrongLength, 0x86));
  auto a = Ask(fw, TunnelPacket(5, 0x86, Read52(0x52000000)));
  ASSERT_TRUE(a);
  EXPECT_LT((*a)[1] + 1, 12);
  EXPECT_EQ((*a)[4], 0xEF);
  EXPECT_EQ((*a)[5], 0xBE);
  fw.faults().Add(Make(FaultKind::BadInnerCrc, 0x86));
  auto b = Ask(fw, TunnelPacket(5, 0x86, Read52(0x52000000)));
  ASSERT_TRUE(b);
  size_t n = (*b)[4];
  EXPECT_EQ((*b)[3], Crc8Of(*b, 4, 4 + n));
  EXPECT_NE((*b)[7], Crc8Of(*b, 8, 4 + n));
}

TEST(Faults, Z1NackTimesThenAnswer) {
  Firmware fw(ConfigOf(DeviceType::Z2UsbBrg, 1));
  fw.faults().Add(Make(FaultKind::Nack, 0x86, 2));
  for (int attempt = 0; attempt < 3; ++attempt) {
    ASSERT_EQ(SetFeature(fw, FeatureWrite(0x86, Z1Address(0x51000000))), 0);
    GetFeature(fw);
    SetFeature(fw, FeatureRequest(0));
    GetFeature(fw);
    GetFeature(fw);
    auto r = GetFeature(fw);
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[2], attempt < 2 ? 4 : 14);
  }
  // One byte short, and a broken CRC.
  fw.faults().Add(Make(FaultKind::WrongLength, 0x86));
  fw.faults().Add(Make(FaultKind::BadCrc, 0x86));
  for (int expected_len : {13, 14}) {
    SetFeature(fw, FeatureWrite(0x86, Z1Address(0x51000000)));
    SetFeature(fw, FeatureRequest(0));
    GetFeature(fw);
    GetFeature(fw);
    auto r = GetFeature(fw);
    ASSERT_TRUE(r);
    ASSERT_EQ((*r)[2], expected_len);
    if (expected_len == 14) {
      uint16_t crc = Crc16(r->data() + 3, 12);
      EXPECT_NE(((*r)[15] << 8) | (*r)[16], crc);
    }
  }
}

TEST(Faults, Z6SlaveAnswerClaimsTwentyBytes) {
  Firmware fw(ConfigOf(DeviceType::Z2Usb, 2));
  fw.faults().Add(Make(FaultKind::WrongLength, 0x82));
  std::vector<uint8_t> req(19, 0);
  req[0] = 0x09;
  req[1] = 0x0F;
  req[2] = 5;
  req[3] = 0x82;
  auto a = Ask(fw, req);
  ASSERT_TRUE(a);
  EXPECT_EQ((*a)[2], 20);
}

TEST(Faults, NeverReadyKeepsTheFlagDown) {
  Firmware fw(ConfigOf(DeviceType::Z3Usb));
  fw.faults().Add(Make(FaultKind::NeverReady));
  Ask(fw, Z3Packet(0x85, {0x21, 0x01}));
  for (int i = 0; i < 5; ++i) EXPECT_EQ((*Ask(fw, Z3Packet(0x86, Read52(0x50000000))))[8], 0);
  fw.faults().Clear();
  EXPECT_EQ((*Ask(fw, Z3Packet(0x86, Read52(0x50000000))))[8], 1);
}

class ServerFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/panelsim-fault-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    ServerConfig cfg;
    cfg.folder = dir_;
    std::string err;
    server_ = Server::Start(cfg, &err);
    ASSERT_TRUE(server_) << err;
  }
  void TearDown() override {
    server_.reset();
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
  std::unique_ptr<Server> server_;
};

TEST_F(ServerFaults, LateAnswerArrivesAfterItsDelay) {
  RawClient host(server_->SocketPath());
  ASSERT_TRUE(host.Receive());
  server_->faults().Add(Make(FaultKind::Late, 0x86, 1, 0, 300));
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(host.Output(Z3Packet(0x86, Read52(0x52000000))));
  auto a = host.Input(5000);
  auto waited = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(a);
  EXPECT_GE(waited, std::chrono::milliseconds(300));
}

TEST_F(ServerFaults, UnplugMidTransferEndsEveryConnection) {
  RawClient host(server_->SocketPath()), other(server_->SocketPath());
  ASSERT_TRUE(host.Receive() && other.Receive());
  server_->faults().Add(Make(FaultKind::Unplug, 0x86));
  ASSERT_TRUE(host.Output(Z3Packet(0x86, Read52(0x52000000))));
  bool eof = false;
  EXPECT_FALSE(host.Receive(2000, &eof));
  EXPECT_TRUE(eof);
  EXPECT_FALSE(other.Receive(2000, &eof));
  EXPECT_TRUE(eof);
  EXPECT_TRUE(server_->Stats().unplugged);
  EXPECT_FALSE(std::filesystem::exists(server_->SocketPath()));
}

TEST_F(ServerFaults, DroppedAnswerIsCounted) {
  RawClient host(server_->SocketPath());
  ASSERT_TRUE(host.Receive());
  server_->faults().Add(Make(FaultKind::Drop, 0x86));
  ASSERT_TRUE(host.Output(Z3Packet(0x86, Read52(0x52000000))));
  EXPECT_FALSE(host.Input(200));
  EXPECT_EQ(server_->Stats().dropped, 1);
  ASSERT_TRUE(host.Output(Z3Packet(0x86, Read52(0x52000000))));
  EXPECT_TRUE(host.Input());
}

}  // namespace
}  // namespace panelsim::test
