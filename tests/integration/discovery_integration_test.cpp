// Discovery against the real emulator: every emulated device type is found, classified and
// opened over the socket backend, and the handle is an ordinary descriptor.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "corlink.h"
#include "discovery/custom_list.h"
#include "library_state.h"
#include "panelsim/server.h"

namespace {

namespace fs = std::filesystem;

// A scratch folder that is both the virtual device folder and the working directory
// (where qortouch.ini is looked for).
class DiscoveryRig : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/corlink-discovery-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    ::setenv("CORLINK_VIRTUAL_DIR", dir_.c_str(), 1);
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
    corlink::ResetState();
    corlink::ResetCustomListForTest();
  }
  void TearDown() override {
    servers_.clear();
    corlink::ResetState();
    corlink::ResetCustomListForTest();
    std::error_code ec;
    fs::current_path(old_cwd_, ec);
    fs::remove_all(dir_, ec);
  }

  panelsim::Server& Serve(panelsim::DeviceType type) {
    panelsim::ServerConfig cfg;
    cfg.firmware.type = type;
    cfg.firmware.panel.chips = 1;
    cfg.folder = dir_;
    std::string err;
    auto server = panelsim::Server::Start(cfg, &err);
    EXPECT_NE(server, nullptr) << err;
    servers_.push_back(std::move(server));
    return *servers_.back();
  }

  // True once the device has no host connected (at most two seconds).
  static bool AllClosed(const panelsim::Server& s) {
    for (int i = 0; i < 2000; ++i) {
      if (s.Stats().open_connections == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  std::string dir_;
  fs::path old_cwd_;
  std::vector<std::unique_ptr<panelsim::Server>> servers_;
};

TEST_F(DiscoveryRig, NothingServedFindsNothing) {
  EXPECT_EQ(IO_OpenDevice(0), -1);
  EXPECT_EQ(IO_GetDeviceType(), CORLINK_UNKNOWN);
}

TEST_F(DiscoveryRig, EveryEmulatedTypeIsFoundClassifiedAndOpened) {
  const struct {
    panelsim::DeviceType sim;
    int type;
    bool by_layout;
  } cases[] = {
      {panelsim::DeviceType::Z3Usb, CORLINK_DEV_Z3_USB, true},
      {panelsim::DeviceType::Z2Usb, CORLINK_DEV_Z2_USB, true},
      {panelsim::DeviceType::Z3HidOverI2c, CORLINK_DEV_Z3_HID_OVER_I2C, true},
      {panelsim::DeviceType::Z3UsbBrg, CORLINK_DEV_Z3_USB_BRG, true},
      {panelsim::DeviceType::Z2UsbBrg, CORLINK_DEV_Z2_USB_BRG, false},
      {panelsim::DeviceType::NotSet, CORLINK_DEV_Z2_USB_BRG, false},
      // No discovery path yields the EP1 bridge: the table types it as a bridge.
      {panelsim::DeviceType::UsbBrgEp1, CORLINK_DEV_Z2_USB_BRG, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(panelsim::DeviceTypeName(c.sim));
    corlink::ResetState();
    panelsim::Server& sim = Serve(c.sim);
    const int fd = IO_OpenDevice(0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(IO_GetDeviceType(), c.type);
    char path[512];
    IO_GetDevicePath(path);
    EXPECT_EQ(std::string(path).rfind(sim.SocketPath() + "#", 0), 0u) << path;
    uint16_t vid = 0, pid = 0;
    IO_GetVidPiD(&vid, &pid);
    const panelsim::UsbIdentity id = panelsim::IdentityOf(c.sim);
    if (c.by_layout) {
      EXPECT_EQ(vid, id.vendor);
      EXPECT_EQ(pid, id.product);
    } else {
      EXPECT_EQ(vid, 0) << "ids are kept only for a device recognised by its layout";
    }
    struct stat st {};
    ASSERT_EQ(::fstat(fd, &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(::close(fd), 0);
    EXPECT_TRUE(AllClosed(sim)) << "close() releases the device";
    servers_.clear();
  }
}

TEST_F(DiscoveryRig, DeclaredTypePicksAmongSeveralDevices) {
  Serve(panelsim::DeviceType::Z2Usb);
  EXPECT_EQ(IO_OpenDevice(CORLINK_DEV_Z3_USB), -1);
  EXPECT_EQ(IO_GetDeviceType(), CORLINK_UNKNOWN);

  panelsim::Server& z3 = Serve(panelsim::DeviceType::Z3Usb);
  const int fd = IO_OpenDevice(CORLINK_DEV_Z3_USB);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_GetDeviceType(), CORLINK_DEV_Z3_USB);
  char path[512];
  IO_GetDevicePath(path);
  EXPECT_EQ(std::string(path).rfind(z3.SocketPath(), 0), 0u);
  ::close(fd);

  const int z2 = IO_OpenDevice(CORLINK_DEV_Z2_USB);
  ASSERT_GE(z2, 0);
  EXPECT_EQ(IO_GetDeviceType(), CORLINK_DEV_Z2_USB);
  ::close(z2);
}

TEST_F(DiscoveryRig, SmbusControllerIsFoundThroughTheCustomList) {
  // Linux paths carry vid/pid, so the SMBus rows of the built-in table ("ven_8086&dev_...")
  // never match; a custom row in the i2c section finds the controller.
  std::ofstream("qortouch.ini") << "[i2c]\nvid_8086&pid_2930 col04\n";
  Serve(panelsim::DeviceType::Z2I2c);
  const int fd = IO_OpenDevice(0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_GetDeviceType(), CORLINK_DEV_Z2_I2C);
  char path[512];
  IO_GetDevicePath(path);
  EXPECT_NE(std::string(path).find("#vid_8086&pid_2930&col04"), std::string::npos) << path;
  ::close(fd);
}

TEST_F(DiscoveryRig, OpenByPathOpensTheGivenCollection) {
  panelsim::Server& sim = Serve(panelsim::DeviceType::Z3UsbBrg);
  const std::string col02 = sim.SocketPath() + "#vid_6b3e&pid_3a07&col02";
  const int fd = IO_OpenDeviceByPath(col02.c_str());
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_GetDeviceType(), CORLINK_DEV_Z3_USB_BRG);
  ::close(fd);
  EXPECT_TRUE(AllClosed(sim));
}

}  // namespace
