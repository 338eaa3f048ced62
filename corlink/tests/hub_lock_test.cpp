// The hub lock: refreshes on one thread while others query and change the settings a
// refresh reads. Each query sees the list as a whole refresh left it, never one half
// rebuilt (run under TSan through the `threads` label).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "corlink.h"
#include "hub/hub_list.h"
#include "support/fake_sysfs.h"
#include "support/log_capture.h"
#include "test_support.h"

namespace corlink {
namespace {

constexpr int kDevices = 6;
std::vector<hid::DeviceInfo> g_devices;
std::vector<hid::DeviceInfo> Enumerate() { return g_devices; }
int NoOpen(const std::string&, hid::OpenError*) { return -1; }
const DiscoveryPort kPort{Enumerate, NoOpen};

TEST(HubLock, QueriesAndSettingsDuringRefreshesSeeWholeLists) {
  test::ResetLibrary();
  hub::ResetForTest();
  test::FakeSysfs sysfs;
  sysfs.AddRootHub(1, kDevices);
  g_devices.clear();
  for (int i = 1; i <= kDevices; ++i) {
    const std::string name = "1-" + std::to_string(i);
    sysfs.AddDevice(name, 0x6b3e, 0x3a06);
    sysfs.AddHidraw(i, name);
    hid::DeviceInfo d;
    d.node = "/dev/hidraw" + std::to_string(i);
    d.path = d.node + "#vid_6b3e&pid_3a06";
    d.layout.inputs.push_back({0x0A, false, 63, 8});
    d.layout.outputs.push_back({0x09, false, 63, 8});
    g_devices.push_back(d);
  }
  SetDiscoveryPortForTest(&kPort);
  hub::SetHubPlacesForTest({sysfs.root(), sysfs.root()});
  corlink::test::CaptureLog();
  ASSERT_EQ(IO_Refresh_ForHub(), kDevices);

  std::atomic<bool> done{false};
  std::thread refresher([&] {
    for (int i = 0; i < 30; ++i) IO_Refresh_ForHub();
    done = true;
  });
  // A host thread changing the auto-change setting and handling the re-install flag while
  // refreshes read and clear them. No Z5 device is present: the list is the same either way.
  std::thread setter([&] {
    for (int i = 0; !done || i < 30; ++i) {
      EXPECT_EQ(IO_SetAutoChangeToZ1_ForHub(i % 2 == 0 ? 0 : 3), i % 2 == 0 ? 0 : 3);
      if (IO_IsNeedReInstall() != 0) IO_ClearReInstallFlag();
    }
    IO_SetAutoChangeToZ1_ForHub(3);
  });
  int torn = 0, queries = 0;
  while (!done || queries < 30) {
    ++queries;
    if (IO_GetDeviceSize_ForHub() != kDevices) ++torn;
    CorlinkHubDevice list[kDevices];
    IO_GetDeviceList_ForHub(list, kDevices);
    for (const CorlinkHubDevice& r : list)
      if (r.port_number < 1) ++torn;
    CorlinkHubDevice rec;
    if (IO_GetDeviceByPath_ForHub(&rec, g_devices[2].path.c_str())->port_number != 3) ++torn;
    if (IO_GetDeviceByPort_ForHub(&rec, kDevices, 0)->device_path[0] == '\0') ++torn;
  }
  refresher.join();
  setter.join();
  corlink::test::CapturedLog();
  EXPECT_EQ(torn, 0);
  hub::ResetForTest();
  test::ResetLibrary();
}

}  // namespace
}  // namespace corlink
