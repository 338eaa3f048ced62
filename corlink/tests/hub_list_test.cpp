// The hub device list over fabricated sysfs trees: locations from the walk, the lasting
// hub table, the slot limit, lookups, and the mode-change program for Z5-mode devices.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "corlink.h"
#include "hub/hub_list.h"
#include "hub/mode_change.h"
#include "support/fake_sysfs.h"
#include "support/log_capture.h"
#include "test_support.h"

namespace corlink {
namespace {

namespace fs = std::filesystem;

std::vector<hid::DeviceInfo>* g_devices = nullptr;
std::vector<hid::DeviceInfo> FakeEnumerate() { return *g_devices; }
int FakeOpen(const std::string&, hid::OpenError* err) {
  if (err) *err = hid::OpenError::NotFound;
  return -1;
}
const DiscoveryPort kFakePort{FakeEnumerate, FakeOpen};

// One input 0x0A and one output 0x09 of 63 bytes each: recognised by its layout.
hid::Collection Z3UsbLayout() {
  hid::Collection c;
  c.inputs.push_back({0x0A, false, 63, 8});
  c.outputs.push_back({0x09, false, 63, 8});
  return c;
}

class HubList : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetLibrary();
    hub::ResetForTest();
    g_devices = &devices_;
    SetDiscoveryPortForTest(&kFakePort);
    helpers_ = sysfs_.root() + "/ChangeMode";  // any folder outside the tree's walk will do
    fs::create_directories(helpers_);
    hub::SetHubPlacesForTest({sysfs_.root(), helpers_});
    corlink::test::CaptureLog();  // the refresh names every USB parent it sees
  }
  void TearDown() override {
    corlink::test::CapturedLog();
    hub::ResetForTest();
    test::ResetLibrary();
    g_devices = nullptr;
  }

  // A Z3 USB device on hidrawN at the USB location `usb_name`.
  std::string AddZ3(int n, const std::string& usb_name) {
    sysfs_.AddDevice(usb_name, 0x6b3e, 0x3a06);
    sysfs_.AddHidraw(n, usb_name);
    hid::DeviceInfo d;
    d.node = "/dev/hidraw" + std::to_string(n);
    d.path = d.node + "#vid_6b3e&pid_3a06";
    d.vendor_id = 0x6b3e;
    d.product_id = 0x3a06;
    d.layout = Z3UsbLayout();
    devices_.push_back(d);
    return d.path;
  }
  // A bridge in the Z5 mode: four collections, the fourth the feature channel.
  std::string AddZ5(int n, const std::string& usb_name) {
    sysfs_.AddDevice(usb_name, 0x6b3e, 0x3a02);
    sysfs_.AddHidraw(n, usb_name);
    std::string col4;
    for (int c = 1; c <= 4; ++c) {
      hid::DeviceInfo d;
      d.node = "/dev/hidraw" + std::to_string(n);
      d.path = d.node + "#vid_6b3e&pid_3a02&col0" + std::to_string(c);
      d.vendor_id = 0x6b3e;
      d.product_id = 0x3a02;
      d.collection = c;
      devices_.push_back(d);
      col4 = d.path;
    }
    return col4;
  }
  void Forget(const std::string& path) {
    std::erase_if(devices_, [&](const hid::DeviceInfo& d) { return d.path == path; });
  }

  CorlinkHubDevice ByPath(const std::string& path) {
    CorlinkHubDevice rec;
    EXPECT_EQ(IO_GetDeviceByPath_ForHub(&rec, path.c_str()), &rec);
    return rec;
  }
  void InstallRecorder(const std::string& name) {
    fs::create_symlink(CORLINK_CHANGE_MODE_RECORDER, helpers_ + "/" + name);
  }
  std::vector<std::string> RecorderRuns() {
    std::vector<std::string> lines;
    std::ifstream in(helpers_ + "/ran.log");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  test::FakeSysfs sysfs_;
  std::vector<hid::DeviceInfo> devices_;
  std::string helpers_;
};

void ExpectAt(const CorlinkHubDevice& rec, int position, int index, int port) {
  EXPECT_EQ(rec.hub_position, position);
  EXPECT_EQ(rec.hub_index, index);
  EXPECT_EQ(rec.port_number, port);
}

TEST_F(HubList, TwoRootHubsAreWalkedInBusOrder) {
  sysfs_.AddRootHub(2, 2);
  sysfs_.AddRootHub(1, 2);
  const std::string a = AddZ3(0, "2-1");
  const std::string b = AddZ3(1, "1-2");
  EXPECT_EQ(IO_Refresh_ForHub(), 2);
  EXPECT_EQ(IO_GetDeviceSize_ForHub(), 2);
  CorlinkHubDevice ra = ByPath(a), rb = ByPath(b);
  ExpectAt(rb, 0, 0, 2);
  ExpectAt(ra, 1, 1, 1);
  EXPECT_STREQ(ra.driver_key_name, sysfs_.Key("2-1").c_str());
  EXPECT_STREQ(rb.device_path, b.c_str());

  CorlinkHubDevice list[3];
  std::memset(list, 0x5A, sizeof list);
  IO_GetDeviceList_ForHub(list, 3);
  EXPECT_STREQ(list[0].device_path, a.c_str());  // slot order is enumeration order
  EXPECT_STREQ(list[1].device_path, b.c_str());
  EXPECT_STREQ(list[2].device_path, "");
  EXPECT_EQ(list[2].port_number, -1);
}

TEST_F(HubList, HubBehindAPortIsWalkedInTurn) {
  sysfs_.AddRootHub(1, 3);
  sysfs_.AddDevice("1-1", 0x05e3, 0x0610, 4);
  const std::string deep = AddZ3(0, "1-1.4");
  const std::string near = AddZ3(1, "1-3");
  EXPECT_EQ(IO_Refresh_ForHub(), 2);
  ExpectAt(ByPath(deep), 1, 1, 4);
  ExpectAt(ByPath(near), 0, 0, 3);

  CorlinkHubDevice rec;
  IO_GetDeviceByPort_ForHub(&rec, 4, 1);
  EXPECT_STREQ(rec.device_path, deep.c_str());
  IO_GetDeviceByPort_ForHub(&rec, 4, 0);  // port 4 of the root hub holds nothing listed
  EXPECT_STREQ(rec.device_path, "");
  EXPECT_EQ(rec.hub_index, -1);
}

TEST_F(HubList, DeviceMovingToAnotherPortKeepsItsHubIndex) {
  sysfs_.AddRootHub(1, 4);
  sysfs_.AddDevice("1-2", 0x05e3, 0x0610, 4);
  const std::string path = AddZ3(0, "1-2.1");
  ASSERT_EQ(IO_Refresh_ForHub(), 1);
  ExpectAt(ByPath(path), 1, 1, 1);

  // A new hub ahead of it in the walk, and the device replugged on port 3 of its hub.
  sysfs_.AddDevice("1-1", 0x05e3, 0x0610, 4);
  sysfs_.Remove("1-2.1");
  sysfs_.RemoveHidraw(0);
  sysfs_.AddDevice("1-2.3", 0x6b3e, 0x3a06);
  sysfs_.AddHidraw(0, "1-2.3");
  ASSERT_EQ(IO_Refresh_ForHub(), 1);
  const CorlinkHubDevice rec = ByPath(path);
  ExpectAt(rec, 2, 1, 3);  // third in this walk, still the hub of index 1
  EXPECT_STREQ(rec.driver_key_name, sysfs_.Key("1-2.3").c_str());
}

TEST_F(HubList, RemovedHubFreesItsEntryForTheNextNewHub) {
  sysfs_.AddRootHub(1, 4);
  sysfs_.AddDevice("1-1", 0x05e3, 0x0610, 2);
  sysfs_.AddDevice("1-2", 0x05e3, 0x0610, 2);
  const std::string on1 = AddZ3(0, "1-1.1");
  const std::string on2 = AddZ3(1, "1-2.1");
  ASSERT_EQ(IO_Refresh_ForHub(), 2);
  ExpectAt(ByPath(on1), 1, 1, 1);
  ExpectAt(ByPath(on2), 2, 2, 1);

  sysfs_.Remove("1-1");
  Forget(on1);
  ASSERT_EQ(IO_Refresh_ForHub(), 1);
  ExpectAt(ByPath(on2), 1, 2, 1);

  sysfs_.AddDevice("1-3", 0x05e3, 0x0610, 2);
  const std::string on3 = AddZ3(2, "1-3.2");
  ASSERT_EQ(IO_Refresh_ForHub(), 2);
  ExpectAt(ByPath(on2), 1, 2, 1);
  ExpectAt(ByPath(on3), 2, 1, 2);  // entry 1 was freed with hub 1-1
}

TEST_F(HubList, FullHubNameTableSkipsFurtherHubs) {
  sysfs_.AddRootHub(1, 20);
  std::vector<std::string> paths;
  for (int h = 1; h <= 20; ++h) {
    sysfs_.AddDevice("1-" + std::to_string(h), 0x05e3, 0x0610, 1);
    paths.push_back(AddZ3(h, "1-" + std::to_string(h) + ".1"));
  }
  // The root hub and 19 hubs fill the table; the 20th hub is not walked.
  EXPECT_EQ(IO_Refresh_ForHub(), 19);
  ExpectAt(ByPath(paths[18]), 19, 19, 1);
  EXPECT_EQ(ByPath(paths[19]).port_number, -1);
}

TEST_F(HubList, HundredTwentyEightDevicesFillTheListAndTheNextIsDropped) {
  sysfs_.AddRootHub(1, 129);
  std::vector<std::string> paths;
  for (int i = 1; i <= 129; ++i) paths.push_back(AddZ3(i, "1-" + std::to_string(i)));
  EXPECT_EQ(IO_Refresh_ForHub(), 128);
  ExpectAt(ByPath(paths[127]), 0, 0, 128);
  EXPECT_STREQ(ByPath(paths[128]).device_path, "");
}

TEST_F(HubList, LookupByPathIsExactAndCaseSensitive) {
  sysfs_.AddRootHub(1, 2);
  const std::string path = AddZ3(0, "1-1");
  ASSERT_EQ(IO_Refresh_ForHub(), 1);
  std::string upper = path;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const CorlinkHubDevice rec = ByPath(upper);
  EXPECT_STREQ(rec.device_path, "");
  EXPECT_STREQ(rec.driver_key_name, "");
  ExpectAt(rec, -1, -1, -1);
  EXPECT_STREQ(ByPath(path.substr(0, path.size() - 1)).device_path, "");
  EXPECT_STREQ(ByPath(path).device_path, path.c_str());
}

TEST_F(HubList, DevicesWithoutAUsbPortOrNotRecognisedAreNotListed) {
  sysfs_.AddRootHub(1, 2);
  const std::string listed = AddZ3(0, "1-1");
  hid::DeviceInfo i2c;  // a controller on another bus: no USB ancestor
  i2c.node = "/dev/hidraw7";
  i2c.path = "/dev/hidraw7#vid_6b3e&pid_3a06";
  i2c.layout = Z3UsbLayout();
  devices_.push_back(i2c);
  sysfs_.AddDevice("1-2", 0x046d, 0xc077);  // a mouse
  sysfs_.AddHidraw(8, "1-2");
  hid::DeviceInfo mouse;
  mouse.node = "/dev/hidraw8";
  mouse.path = "/dev/hidraw8#vid_046d&pid_c077";
  devices_.push_back(mouse);
  EXPECT_EQ(IO_Refresh_ForHub(), 1);
  EXPECT_STREQ(ByPath(listed).device_path, listed.c_str());
}

TEST_F(HubList, RefreshRebuildsTheListFromScratch) {
  sysfs_.AddRootHub(1, 2);
  const std::string path = AddZ3(0, "1-1");
  ASSERT_EQ(IO_Refresh_ForHub(), 1);
  State().reinstall_flag = 1;
  sysfs_.Remove("1-1");
  Forget(path);
  EXPECT_EQ(IO_Refresh_ForHub(), 0);
  EXPECT_EQ(IO_GetDeviceSize_ForHub(), 0);
  EXPECT_EQ(IO_IsNeedReInstall(), 0);
}

TEST_F(HubList, Z5DeviceIsNotListedAndStartsTheHelperOncePerDevice) {
  InstallRecorder("ChangeModeAny");
  sysfs_.AddRootHub(1, 4);
  const std::string z3 = AddZ3(0, "1-1");
  const std::string z5a = AddZ5(1, "1-2");
  const std::string z5b = AddZ5(2, "1-3");
  const fs::path cwd = fs::current_path();
  EXPECT_EQ(IO_Refresh_ForHub(), 1);  // auto-change is on at load, selector 3
  EXPECT_EQ(fs::current_path(), cwd);
  EXPECT_STREQ(ByPath(z5a).device_path, "");
  EXPECT_STREQ(ByPath(z5b).device_path, "");
  const std::vector<std::string> runs = RecorderRuns();
  ASSERT_EQ(runs.size(), 2u);  // ran.log in the helpers' folder: that was its directory
  EXPECT_EQ(runs[0], "./ChangeModeAny args=0");
}

TEST_F(HubList, SelectorPicksTheProgramAndTheExeNameIsTried) {
  InstallRecorder("ChgToZ1Mode.exe");
  sysfs_.AddRootHub(1, 4);
  AddZ5(1, "1-2");
  EXPECT_EQ(IO_SetAutoChangeToZ1_ForHub(1), 1);
  IO_Refresh_ForHub();
  const std::vector<std::string> runs = RecorderRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], "./ChgToZ1Mode.exe args=0");
}

TEST_F(HubList, WithAutoChangeOffTheZ5DeviceIsListed) {
  InstallRecorder("ChangeModeAny");
  sysfs_.AddRootHub(1, 4);
  const std::string z5 = AddZ5(1, "1-2");
  EXPECT_EQ(IO_SetAutoChangeToZ1_ForHub(0), 0);
  EXPECT_EQ(IO_Refresh_ForHub(), 1);
  ExpectAt(ByPath(z5), 0, 0, 2);
  EXPECT_TRUE(RecorderRuns().empty());
}

TEST_F(HubList, MissingHelperIsReportedOnStandardOutput) {
  sysfs_.AddRootHub(1, 4);
  AddZ5(1, "1-2");
  const fs::path cwd = fs::current_path();
  corlink::test::CapturedLog();  // restarted: only the refresh's lines count
  corlink::test::CaptureLog();
  EXPECT_EQ(IO_Refresh_ForHub(), 0);
  const std::string out = corlink::test::CapturedLog();
  corlink::test::CaptureLog();
  EXPECT_NE(out.find("Could not run the ChgToZ1Mode program.\n"), std::string::npos) << out;
  EXPECT_EQ(fs::current_path(), cwd);
}

// The refresh waits for the helper with the hub lock held: one that hangs is stopped at
// the limit, and the refresh lists the other devices as usual.
TEST_F(HubList, HelperThatDoesNotFinishIsStoppedAndTheRefreshGoesOn) {
  fs::create_symlink(CORLINK_CHANGE_MODE_SLEEPER, helpers_ + "/ChangeModeAny");
  hub::SetModeChangeTimeLimitForTest(std::chrono::milliseconds(200));
  sysfs_.AddRootHub(1, 4);
  const std::string z3 = AddZ3(0, "1-1");
  AddZ5(1, "1-2");
  corlink::test::CapturedLog();
  corlink::test::CaptureLog();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(IO_Refresh_ForHub(), 1);
  const auto took = std::chrono::steady_clock::now() - start;
  const std::string out = corlink::test::CapturedLog();
  corlink::test::CaptureLog();
  EXPECT_NE(out.find("The ChangeModeAny program did not finish within 200 ms; it was stopped.\n"),
            std::string::npos)
      << out;
  EXPECT_LT(took, std::chrono::seconds(60));  // not the two minutes the helper sleeps
  ExpectAt(ByPath(z3), 0, 0, 1);
  // Killed and reaped: no child of this process is left, not even a zombie.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  // Queries are served again at once.
  EXPECT_EQ(IO_GetDeviceSize_ForHub(), 1);
}

TEST_F(HubList, QueriesWithoutRecordsOrPathsAreHarmless) {
  EXPECT_EQ(IO_GetDeviceByPath_ForHub(nullptr, "x"), nullptr);
  CorlinkHubDevice rec;
  EXPECT_EQ(IO_GetDeviceByPath_ForHub(&rec, nullptr), &rec);
  EXPECT_EQ(rec.port_number, -1);
  IO_GetDeviceList_ForHub(nullptr, 4);
  IO_GetDeviceList_ForHub(&rec, -1);
}

}  // namespace
}  // namespace corlink
