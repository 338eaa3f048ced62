// Bridge controls on the emulated bridges: what each does to the announced identity, and
// that the device re-enumerates over the socket with the ids it has now.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "firmware_helpers.h"
#include "panelsim/options.h"
#include "panelsim/server.h"
#include "raw_client.h"

namespace panelsim {
namespace {

// Feature report 9 of 20 bytes: `from_byte_1`, zeros after.
std::vector<uint8_t> Control(std::initializer_list<int> from_byte_1) {
  std::vector<uint8_t> r(20, 0);
  r[0] = 0x09;
  size_t i = 1;
  for (int b : from_byte_1) r[i++] = static_cast<uint8_t>(b);
  return r;
}

Outcome Set(Firmware& fw, const std::vector<uint8_t>& report) {
  Request r;
  r.kind = Request::Kind::SetFeature;
  r.report = 0x09;
  r.data = report;
  return fw.Handle(r);
}

TEST(BridgeControl, EachControlSetsTheIdentityAndReannounces) {
  Firmware fw(test::ConfigOf(DeviceType::Z2UsbBrg, 1));
  EXPECT_EQ(fw.State().product, 0x3a01);

  Outcome o = Set(fw, Control({0xD9, 0x0C, 0x55, 0x0A, 'I', 0x06, 0x3A}));
  ASSERT_EQ(o.answers.size(), 1u);
  EXPECT_EQ(o.answers[0].err, 0);
  EXPECT_TRUE(o.reannounce);
  EXPECT_EQ(fw.State().product, 0x3a06);
  EXPECT_EQ(fw.State().bridge_product, 0x3a06);

  EXPECT_TRUE(Set(fw, Control({0xD9, 0x0C, 0x55, 0x0A, '5'})).reannounce);
  EXPECT_EQ(fw.State().product, 0x3a02);
  EXPECT_EQ(fw.State().bridge_mode_target, '5');

  EXPECT_TRUE(Set(fw, Control({0xF8, 0x06, 0x55, 0xA5, 0x50, 'Z', '1', 0x00})).reannounce);
  EXPECT_EQ(fw.State().product, 0x3a01);
  EXPECT_EQ(fw.State().bridge_mode_target, '1');

  EXPECT_TRUE(Set(fw, Control({0xD9, 0x0C, 0x55, 0x0A, 'R'})).reannounce);
  EXPECT_EQ(fw.State().product, 0x3a01);
  EXPECT_EQ(fw.State().bridge_resets, 1);

  // An ordinary command write does not re-enumerate.
  EXPECT_FALSE(Set(fw, Control({0xD9, 0x03, 0x87, 0x01, 0x00})).reannounce);
}

TEST(BridgeControl, OnlyBridgesReenumerate) {
  Firmware fw(test::ConfigOf(DeviceType::Z2I2c, 1));
  EXPECT_FALSE(Set(fw, Control({0xD9, 0x0C, 0x55, 0x0A, 'R'})).reannounce);
  FirmwareConfig z5 = test::ConfigOf(DeviceType::Z2UsbBrg, 1);
  z5.product = 0x3a02;
  EXPECT_EQ(Firmware(z5).State().product, 0x3a02);
}

class BridgeServer : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/panelsim-bridge-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override {
    server_.reset();
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
  std::unique_ptr<Server> server_;
};

TEST_F(BridgeServer, ModeChangeDisconnectsAndTheNextAnnouncementCarriesTheNewId) {
  ServerConfig cfg;
  cfg.firmware = test::ConfigOf(DeviceType::Z2UsbBrg, 1);
  cfg.folder = dir_;
  cfg.port = "1-1.4";
  std::string err;
  server_ = Server::Start(cfg, &err);
  ASSERT_NE(server_, nullptr) << err;

  test::RawClient first(server_->SocketPath());
  auto hello = first.Receive();
  ASSERT_TRUE(hello && hello->type == UHID_CREATE2);
  EXPECT_EQ(hello->u.create2.product, 0x3a01u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(hello->u.create2.phys)).rfind("port=1-1.4 ", 0), 0u);

  EXPECT_EQ(first.SetFeature(Control({0xD9, 0x0C, 0x55, 0x0A, 'I', 0x06, 0x3A})), 0);
  bool eof = false;
  EXPECT_FALSE(first.Receive(2000, &eof));
  EXPECT_TRUE(eof);

  test::RawClient second(server_->SocketPath());
  hello = second.Receive();
  ASSERT_TRUE(hello && hello->type == UHID_CREATE2);
  EXPECT_EQ(hello->u.create2.vendor, 0x6b3eu);
  EXPECT_EQ(hello->u.create2.product, 0x3a06u);
  EXPECT_EQ(server_->Stats().reannouncements, 1);
}

TEST(BridgeOptions, PortProductAndZ5Mode) {
  ProgramOptions o;
  std::string err;
  ASSERT_TRUE(ParseOptions({"--z5-mode", "--port", "2-1.3.7"}, &o, &err)) << err;
  EXPECT_EQ(o.server.firmware.type, DeviceType::Z2UsbBrg);
  EXPECT_EQ(o.server.firmware.product, 0x3a02);
  EXPECT_EQ(o.server.port, "2-1.3.7");
  ASSERT_TRUE(ParseOptions({"--product", "3A05"}, &o, &err)) << err;
  EXPECT_EQ(o.server.firmware.product, 0x3a05);
  for (const char* bad : {"1", "1-", "1-0", "0-1", "1-1.", "1-1..2", "1-256", "1-1:1.0", "usb1", "1-1.1.1.1.1.1.1.1"})
    EXPECT_FALSE(ParseOptions({"--port", bad}, &o, &err)) << bad;
  EXPECT_NE(err.find("--port"), std::string::npos);
  EXPECT_FALSE(ParseOptions({"--product", "0"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--product", "12345"}, &o, &err));
  for (const char* name : {"--port", "--product", "--z5-mode"}) EXPECT_NE(Usage().find(name), std::string::npos);
}

}  // namespace
}  // namespace panelsim
