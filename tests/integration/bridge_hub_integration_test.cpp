// Bridge controls and the hub list against the real emulator over the socket backend: a
// mode change makes the bridge re-enumerate and discovery sees its new id; emulated devices
// with a port location are listed by a hub refresh; a Z5-mode bridge starts the
// mode-change program from ./ChangeMode.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "corlink.h"
#include "discovery/custom_list.h"
#include "hub/hub_list.h"
#include "library_state.h"
#include "panelsim/server.h"
#include "support/log_capture.h"

namespace {

namespace fs = std::filesystem;

// A scratch folder that is the virtual device folder, the working directory (with its
// ChangeMode folder) and, through CORLINK_SYSFS_ROOT, an empty sysfs: only emulated
// devices hang on ports.
class BridgeHubRig : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/corlink-bridgehub-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    fs::create_directories(dir_ + "/sys");
    fs::create_directories(dir_ + "/ChangeMode");
    ::setenv("CORLINK_VIRTUAL_DIR", dir_.c_str(), 1);
    ::setenv("CORLINK_SYSFS_ROOT", (dir_ + "/sys").c_str(), 1);
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
    corlink::ResetState();
    corlink::ResetCustomListForTest();
    corlink::hub::ResetForTest();
  }
  void TearDown() override {
    servers_.clear();
    corlink::ResetState();
    corlink::ResetCustomListForTest();
    corlink::hub::ResetForTest();
    ::unsetenv("CORLINK_SYSFS_ROOT");
    std::error_code ec;
    fs::current_path(old_cwd_, ec);
    fs::remove_all(dir_, ec);
  }

  panelsim::Server& Serve(panelsim::DeviceType type, const std::string& port, uint16_t product = 0,
                          const std::string& name = "") {
    panelsim::ServerConfig cfg;
    cfg.firmware.type = type;
    cfg.firmware.product = product;
    cfg.firmware.panel.chips = 1;
    cfg.folder = dir_;
    cfg.port = port;
    cfg.name = name;
    std::string err;
    auto server = panelsim::Server::Start(cfg, &err);
    EXPECT_NE(server, nullptr) << err;
    servers_.push_back(std::move(server));
    return *servers_.back();
  }

  // At most two seconds for the bridge to re-enumerate.
  static bool Reannounced(const panelsim::Server& s, int times) {
    for (int i = 0; i < 2000 && s.Stats().reannouncements < times; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return s.Stats().reannouncements >= times;
  }

  static std::string OpenedPath() {
    char path[512];
    IO_GetDevicePath(path);
    return path;
  }

  std::vector<std::string> HelperRuns() {
    std::vector<std::string> lines;
    std::ifstream in(dir_ + "/ChangeMode/ran.log");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::string dir_;
  fs::path old_cwd_;
  std::vector<std::unique_ptr<panelsim::Server>> servers_;
};

TEST_F(BridgeHubRig, ModeChangeReannouncesAndDiscoverySeesTheNewId) {
  panelsim::Server& sim = Serve(panelsim::DeviceType::Z2UsbBrg, "");
  int fd = IO_OpenDevice(0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(IO_GetDeviceType(), CORLINK_DEV_Z2_USB_BRG);
  EXPECT_NE(OpenedPath().find("vid_6b3e&pid_3a01&col04"), std::string::npos) << OpenedPath();

  EXPECT_EQ(IO_ChgModeToZ1orZ5_ForBridge(fd, false), 0);
  ASSERT_TRUE(Reannounced(sim, 1));
  ::close(fd);
  fd = IO_OpenDevice(0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_GetDeviceType(), CORLINK_DEV_Z2_USB_BRG);
  EXPECT_NE(OpenedPath().find("vid_6b3e&pid_3a02&col04"), std::string::npos) << OpenedPath();

  corlink::test::CaptureLog();
  EXPECT_EQ(IO_ChgModeToAny_ForBridge(fd, 0x3a05), 0);
  EXPECT_EQ(corlink::test::CapturedLog(), "New PID = 3A05\n");
  ASSERT_TRUE(Reannounced(sim, 2));
  ::close(fd);
  fd = IO_OpenDevice(0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_GetDeviceType(), CORLINK_DEV_Z2_USB);  // 3a05 is a Z2 with its own USB interface
  EXPECT_NE(OpenedPath().find("vid_6b3e&pid_3a05&col04"), std::string::npos) << OpenedPath();
  ::close(fd);
}

TEST_F(BridgeHubRig, ResetReannouncesWithTheSameIds) {
  panelsim::Server& sim = Serve(panelsim::DeviceType::Z2UsbBrg, "");
  const int fd = IO_OpenDevice(0);
  ASSERT_GE(fd, 0);
  corlink::test::CaptureLog();
  EXPECT_EQ(IO_Reset_ForBridge(fd), 0);
  EXPECT_EQ(corlink::test::CapturedLog(), "RST\n");
  ASSERT_TRUE(Reannounced(sim, 1));
  EXPECT_EQ(sim.firmware().State().bridge_resets, 1);
  // The old connection is gone, as after a replug.
  uint8_t buf[64] = {};
  uint32_t count = 0;
  EXPECT_LT(IO_ReadData(fd, 0x50000000, buf, &count), 0);
  ::close(fd);
  const int again = IO_OpenDevice(0);
  ASSERT_GE(again, 0);
  EXPECT_NE(OpenedPath().find("pid_3a01"), std::string::npos);
  ::close(again);
}

TEST_F(BridgeHubRig, BridgeControlOnAnotherTypeSendsNothing) {
  panelsim::Server& sim = Serve(panelsim::DeviceType::Z3Usb, "");
  const int fd = IO_OpenDevice(0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(IO_GetDeviceType(), CORLINK_DEV_Z3_USB);
  const panelsim::ServerStats before = sim.Stats();
  EXPECT_EQ(IO_ChgModeToAny_ForBridge(fd, 0x3a05), -1);
  EXPECT_EQ(IO_Reset_ForBridge(fd), -1);
  const panelsim::ServerStats after = sim.Stats();
  EXPECT_EQ(after.set_reports, before.set_reports);
  EXPECT_EQ(after.outputs, before.outputs);
  ::close(fd);
}

TEST_F(BridgeHubRig, RefreshListsEmulatedDevicesAtTheirPorts) {
  panelsim::Server& z3 = Serve(panelsim::DeviceType::Z3Usb, "1-1.4");
  panelsim::Server& brg = Serve(panelsim::DeviceType::Z2UsbBrg, "1-2");
  Serve(panelsim::DeviceType::Z2Usb, "");  // no port: not on any hub
  corlink::test::CaptureLog();
  const int n = IO_Refresh_ForHub();
  corlink::test::CapturedLog();
  ASSERT_EQ(n, 2);

  CorlinkHubDevice rec;
  IO_GetDeviceByPort_ForHub(&rec, 4, 1);  // usb1 is walked first, then hub 1-1
  EXPECT_EQ(std::string(rec.device_path).rfind(z3.SocketPath() + "#", 0), 0u) << rec.device_path;
  EXPECT_STREQ(rec.driver_key_name, "virtual:1-1.4");
  EXPECT_EQ(rec.hub_index, 1);
  IO_GetDeviceByPort_ForHub(&rec, 2, 0);
  EXPECT_EQ(std::string(rec.device_path), brg.SocketPath() + "#vid_6b3e&pid_3a01&col04");
  // The path may come from the very record the answer goes to.
  EXPECT_EQ(IO_GetDeviceByPath_ForHub(&rec, rec.device_path)->port_number, 2);
}

TEST_F(BridgeHubRig, Z5ModeBridgeStartsTheHelperEachRefreshAndIsNotListed) {
  fs::create_symlink(CORLINK_CHANGE_MODE_RECORDER, dir_ + "/ChangeMode/ChangeModeAny");
  Serve(panelsim::DeviceType::Z2UsbBrg, "1-2", 0x3a02, "z5-one");
  Serve(panelsim::DeviceType::Z2UsbBrg, "1-3", 0x3a02, "z5-two");
  Serve(panelsim::DeviceType::Z3Usb, "1-1");
  corlink::test::CaptureLog();
  EXPECT_EQ(IO_Refresh_ForHub(), 1);
  EXPECT_EQ(HelperRuns(),
            (std::vector<std::string>{"./ChangeModeAny args=0", "./ChangeModeAny args=0"}));
  EXPECT_EQ(fs::current_path(), fs::path(dir_));

  IO_SetAutoChangeToZ1_ForHub(0);
  EXPECT_EQ(IO_Refresh_ForHub(), 3);
  corlink::test::CapturedLog();
  EXPECT_EQ(HelperRuns().size(), 2u);
  CorlinkHubDevice rec;
  EXPECT_NE(std::string(IO_GetDeviceByPort_ForHub(&rec, 3, 0)->device_path).find("pid_3a02&col04"),
            std::string::npos);
}

}  // namespace
