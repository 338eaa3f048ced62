// Discovery and the library operations on a scripted set of devices.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "corlink.h"
#include "descriptor_samples.h"
#include "device_type.h"
#include "discovery/device_match.h"
#include "hid/report_descriptor.h"
#include "support/log_capture.h"
#include "test_support.h"

namespace corlink {
namespace {

using corlink::test::CapturedLog;
using corlink::test::CaptureLog;

// The scripted machine: its devices, what opening each path does, what was opened.
struct FakeMachine {
  std::vector<hid::DeviceInfo> devices;
  std::map<std::string, hid::OpenError> open_errors;
  std::vector<std::string> opened;
};
FakeMachine* g_machine = nullptr;

std::vector<hid::DeviceInfo> FakeEnumerate() { return g_machine->devices; }

int FakeOpen(const std::string& path, hid::OpenError* err) {
  g_machine->opened.push_back(path);
  const auto it = g_machine->open_errors.find(path);
  if (it != g_machine->open_errors.end()) {
    *err = it->second;
    errno = it->second == hid::OpenError::Busy
                ? EBUSY
                : (it->second == hid::OpenError::Access ? EACCES : ENOENT);
    return -1;
  }
  *err = hid::OpenError::None;
  return ::open("/dev/null", O_RDWR | O_CLOEXEC);
}

const DiscoveryPort kFakePort{FakeEnumerate, FakeOpen};

class Discovery : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetLibrary();
    g_machine = &machine_;
    SetDiscoveryPortForTest(&kFakePort);
  }
  void TearDown() override {
    test::ResetLibrary();
    g_machine = nullptr;
  }

  // Adds a device the way enumeration lists it: one path per top-level collection.
  void AddDevice(const std::string& node, uint16_t vid, uint16_t pid, const test::Bytes& desc) {
    const hid::ParsedDescriptor p = hid::ParseReportDescriptor(desc.data(), desc.size());
    ASSERT_TRUE(p.ok) << p.error;
    char ids[40];
    std::snprintf(ids, sizeof ids, "#vid_%04x&pid_%04x", vid, pid);
    for (size_t i = 0; i < std::max<size_t>(1, p.collections.size()); ++i) {
      hid::DeviceInfo d;
      d.node = node;
      d.vendor_id = vid;
      d.product_id = pid;
      d.path = node + ids;
      if (p.collections.size() > 1) {
        d.collection = static_cast<int>(i + 1);
        d.path += "&col0" + std::to_string(i + 1);
      }
      if (!p.collections.empty()) d.layout = p.collections[i];
      machine_.devices.push_back(d);
    }
  }

  // A device found only by the table: four feature-only collections.
  void AddFeatureDevice(const std::string& node, uint16_t vid, uint16_t pid) {
    const test::Bytes f = test::FeatureOnly();
    AddDevice(node, vid, pid, test::Concat({f, f, f, f}));
  }

  static void ExpectValid(int fd) {
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::close(fd), 0) << "the handle is a descriptor close() releases";
  }

  FakeMachine machine_;
};

TEST_F(Discovery, NothingPresentFailsAndLeavesTypeUnknown) {
  EXPECT_EQ(IO_GetDeviceType(), NOT_SET) << "before any open";
  EXPECT_EQ(IO_OpenDevice(0), -1);
  EXPECT_EQ(IO_GetDeviceType(), UNKNOWN);
  EXPECT_TRUE(machine_.opened.empty());
}

TEST_F(Discovery, EachLayoutIsRecognisedWithItsIds) {
  const struct {
    test::Bytes desc;
    int32_t type;
  } cases[] = {
      {test::VendorPair(0x0A, 0x09, 63), DEV_Z3_USB},
      {test::VendorPair(0x0A, 0x09, 18), DEV_Z2_USB},
      {test::VendorPair(0x0A, 0x09, 57), DEV_Z3_HID_OVER_I2C},
      {test::VendorPair(0x35, 0x53, 20), DEV_Z2_USB_BRG},
  };
  uint16_t pid = 0x1000;
  for (const auto& c : cases) {
    machine_.devices.clear();
    AddDevice("/dev/hidraw7", 0x1234, ++pid, c.desc);
    const int fd = IO_OpenDevice(0);
    ExpectValid(fd);
    EXPECT_EQ(IO_GetDeviceType(), c.type);
    uint16_t vid = 0, got_pid = 0;
    IO_GetVidPiD(&vid, &got_pid);
    EXPECT_EQ(vid, 0x1234);
    EXPECT_EQ(got_pid, pid);
    char path[512];
    IO_GetDevicePath(path);
    EXPECT_EQ(std::string(path), machine_.devices[0].path);
  }
}

TEST_F(Discovery, BridgeLayoutNeedsBothPairsInOneCollectionInOrder) {
  // 0x35/0x53 then 0x0A/0x09 in one collection: a Z3 behind the bridge.
  const test::Bytes both = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x3F, 0x85,
                            0x35, 0x09, 0x02, 0x81, 0x02, 0x85, 0x0A, 0x09, 0x02, 0x81, 0x02, 0x85,
                            0x53, 0x09, 0x03, 0x91, 0x02, 0x85, 0x09, 0x09, 0x03, 0x91, 0x02, 0xC0};
  hid::ParsedDescriptor p = hid::ParseReportDescriptor(both.data(), both.size());
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(TypeByLayout(p.collections[0]), DEV_Z3_USB_BRG);
  std::swap(p.collections[0].inputs[0], p.collections[0].inputs[1]);
  EXPECT_EQ(TypeByLayout(p.collections[0]), UNKNOWN);
  // Mismatched counts or a third entry are not recognised either.
  const test::Bytes odd = test::VendorPair(0x0A, 0x09, 62);
  p = hid::ParseReportDescriptor(odd.data(), odd.size());
  EXPECT_EQ(TypeByLayout(p.collections[0]), UNKNOWN);
}

TEST_F(Discovery, BridgeWithOneCollectionPerPairIsAZ3BridgeOnEveryPath) {
  AddDevice("/dev/hidraw6", 0x6b3e, 0x3a07,
            test::Concat({test::VendorPair(0x35, 0x53, 63), test::VendorPair(0x0A, 0x09, 63)}));
  AddDevice("/dev/hidraw7", 0x6b3e, 0x3a01, test::VendorPair(0x35, 0x53, 20));  // a Z2 bridge
  ExpectValid(IO_OpenDevice(0));
  EXPECT_EQ(machine_.opened.back(), "/dev/hidraw6#vid_6b3e&pid_3a07&col01");
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z3_USB_BRG);
  char col02[] = "/dev/hidraw6#vid_6b3e&pid_3a07&col02";
  EXPECT_EQ(IO_GetDeviceTypeByPath(col02), DEV_Z3_USB_BRG);
  char z2[] = "/dev/hidraw7#vid_6b3e&pid_3a01";
  EXPECT_EQ(IO_GetDeviceTypeByPath(z2), DEV_Z2_USB_BRG);
}

TEST_F(Discovery, DeclaredTypeSkipsOtherLayoutsWithoutOpening) {
  AddDevice("/dev/hidraw0", 0x6b3e, 0x3a04, test::VendorPair(0x0A, 0x09, 18));  // a Z2 USB
  EXPECT_EQ(IO_OpenDevice(DEV_Z3_USB), -1);
  EXPECT_TRUE(machine_.opened.empty());

  AddDevice("/dev/hidraw1", 0x6b3e, 0x3a06, test::VendorPair(0x0A, 0x09, 63));
  const int fd = IO_OpenDevice(DEV_Z3_USB);
  ExpectValid(fd);
  EXPECT_EQ(machine_.opened, std::vector<std::string>{"/dev/hidraw1#vid_6b3e&pid_3a06"});
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z3_USB);
}

TEST_F(Discovery, CustomRowForAnotherTypeOpensThenReportsTheMismatch) {
  test::ScratchDir dir;
  // A Z2 USB panel with its touch collection first and the command collection second.
  const test::Bytes touch = {0x05, 0x0D, 0x09, 0x04, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x42, 0x15,
                             0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0xC0};
  AddDevice("/dev/hidraw3", 0x6b3e, 0x3a04,
            test::Concat({touch, test::VendorPair(0x0A, 0x09, 18)}));
  dir.Write("qortouch.ini", "[z3_usb]\nvid_6b3e&pid_3a04 col02\n");
  CaptureLog();
  const int fd = IO_OpenDevice(DEV_Z3_USB);
  const std::string out = CapturedLog();
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(machine_.opened, std::vector<std::string>{"/dev/hidraw3#vid_6b3e&pid_3a04&col02"});
  EXPECT_EQ(out, "ERROR: open device type not match. declare: 9, opened: 8\n");
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z2_USB);
}

TEST_F(Discovery, TablePassFindsFeatureDevicesByPatternAndCollection) {
  AddFeatureDevice("/dev/hidraw2", 0x6b3e, 0x3a02);
  const int fd = IO_OpenDevice(0);
  ExpectValid(fd);
  EXPECT_EQ(machine_.opened, std::vector<std::string>{"/dev/hidraw2#vid_6b3e&pid_3a02&col04"});
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z2_USB_BRG);
  uint16_t vid = 1, pid = 1;
  IO_GetVidPiD(&vid, &pid);
  EXPECT_EQ(vid, 0) << "ids are stored only for a device recognised by its layout";

  ResetState();
  machine_.opened.clear();
  EXPECT_EQ(IO_OpenDevice(DEV_Z3_USB), -1) << "the declared-type filter disables the row";
  EXPECT_TRUE(machine_.opened.empty());
}

TEST_F(Discovery, FirstMatchingRowDecidesInTableOrder) {
  // Row 13 (pid 3a06, col04) comes before row 14 (col02): the col04 path wins although
  // the col02 path is enumerated first.
  AddFeatureDevice("/dev/hidraw4", 0x6b3e, 0x3a06);
  machine_.devices.erase(machine_.devices.begin() + 2);  // keep col01, col02, col04
  ExpectValid(IO_OpenDevice(0));
  EXPECT_EQ(machine_.opened.back(), "/dev/hidraw4#vid_6b3e&pid_3a06&col04");
}

TEST_F(Discovery, CustomListHidesTheBuiltInTable) {
  test::ScratchDir dir;
  AddFeatureDevice("/dev/hidraw2", 0x6b3e, 0x3a02);
  dir.Write("qortouch.ini", "[z3_usb]\nvid_1111&pid_2222 col01\n");
  IO_SetVerbose(1);
  CaptureLog();
  EXPECT_EQ(IO_OpenDevice(0), -1);
  const std::string out = CapturedLog();
  EXPECT_NE(out.find("DEVICE: search report id /dev/hidraw2#vid_6b3e&pid_3a02&col01\n"),
            std::string::npos);
  EXPECT_NE(out.find("DEVICE: try match vid_1111&pid_2222, col01\n"), std::string::npos);
  char path[] = "/dev/hidraw2#vid_6b3e&pid_3a02&col04";
  EXPECT_EQ(IO_GetDeviceTypeByPath(path), UNKNOWN);
}

TEST_F(Discovery, ClassifyingAPathByTheTable) {
  char col02[] = "/dev/hidraw9#VID_6B3E&PID_3A06&COL02";
  EXPECT_EQ(IO_GetDeviceTypeByPath(col02), DEV_Z3_USB) << "row 14";
  EXPECT_STREQ(col02, "/dev/hidraw9#vid_6b3e&pid_3a06&col02") << "lower-cased in place";
  char col03[] = "/dev/hidraw9#vid_6b3e&pid_3a06&col03";
  EXPECT_EQ(IO_GetDeviceTypeByPath(col03), UNKNOWN);
  char smbus[] = "\\\\?\\hid#ven_8086&dev_3b30&col04";
  EXPECT_EQ(IO_GetDeviceTypeByPath(smbus), DEV_Z2_I2C);
  EXPECT_EQ(IO_GetDeviceTypeByPath(nullptr), UNKNOWN);
}

TEST_F(Discovery, ClassifyingAPathByLayoutStoresTheIds) {
  AddDevice("/dev/hidraw5", 0x0abc, 0x0def, test::VendorPair(0x0A, 0x09, 57));
  char path[] = "/dev/hidraw5#vid_0abc&pid_0def";
  EXPECT_EQ(IO_GetDeviceTypeByPath(path), DEV_Z3_HID_OVER_I2C);
  char node[] = "/dev/hidraw5";
  EXPECT_EQ(IO_GetDeviceTypeByPath(node), DEV_Z3_HID_OVER_I2C)
      << "a bare node of a one-collection device";
  AddFeatureDevice("/dev/hidraw6", 0x6b3e, 0x3a06);
  char ambiguous[] = "/dev/hidraw6";
  EXPECT_EQ(IO_GetDeviceTypeByPath(ambiguous), UNKNOWN)
      << "several collections: the node alone names none";
  uint16_t vid = 0, pid = 0;
  IO_GetVidPiD(&vid, &pid);
  EXPECT_EQ(vid, 0x0abc);
  EXPECT_EQ(pid, 0x0def);
}

TEST_F(Discovery, BusyAndDeniedDevicesAreReported) {
  AddFeatureDevice("/dev/hidraw2", 0x6b3e, 0x3a02);
  machine_.open_errors["/dev/hidraw2#vid_6b3e&pid_3a02&col04"] = hid::OpenError::Busy;
  CaptureLog();
  EXPECT_EQ(IO_OpenDevice(0), -1);
  EXPECT_EQ(CapturedLog(),
            "DEVICE: CreateFile failed with ERROR_SHARING_VIOLATION, check qortouch.ini content "
            "or reintall driver is needed.\n");

  machine_.open_errors["/dev/hidraw2#vid_6b3e&pid_3a02&col04"] = hid::OpenError::Access;
  CaptureLog();
  EXPECT_EQ(IO_OpenDevice(0), -1);
  EXPECT_EQ(CapturedLog(), "DEVICE: CreateFile failed with error 0xd\n");

  machine_.open_errors["/dev/hidraw2#vid_6b3e&pid_3a02&col04"] = hid::OpenError::NotFound;
  CaptureLog();
  EXPECT_EQ(IO_OpenDevice(0), -1);
  EXPECT_EQ(CapturedLog(), "") << "a device gone meanwhile is not an error";
}

TEST_F(Discovery, OverlongPathsAreSkippedWithAWarning) {
  AddDevice("/dev/" + std::string(600, 'x'), 0x6b3e, 0x3a06, test::VendorPair(0x0A, 0x09, 63));
  CaptureLog();
  EXPECT_EQ(IO_OpenDevice(0), -1);
  EXPECT_EQ(CapturedLog(), "warning: device request path > MAXPATH, please contact programmer\n");
}

TEST_F(Discovery, OpenByPathSetsTheTypeEvenWhenTheOpenFails) {
  IO_OpenDevice(0);  // sets UNKNOWN and an empty path
  IO_ClearReInstallFlag();
  State().reinstall_flag = 1;
  machine_.open_errors["/dev/hidraw8#vid_6b3e&pid_3a07&col04"] = hid::OpenError::NotFound;
  EXPECT_EQ(IO_OpenDeviceByPath("/dev/hidraw8#vid_6b3e&pid_3a07&col04"), -1);
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z3_USB_BRG);
  EXPECT_EQ(IO_IsNeedReInstall(), 0);
  char path[512] = "unchanged";
  IO_GetDevicePath(path);
  EXPECT_STREQ(path, "") << "opening by path keeps the library's path";

  const int fd = IO_OpenDeviceByPath("/dev/hidraw8#VID_6B3E&PID_3A02&COL04");
  ExpectValid(fd);
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z2_USB_BRG);
  EXPECT_EQ(machine_.opened.back(), "/dev/hidraw8#VID_6B3E&PID_3A02&COL04") << "opened as given";
}

TEST(LibraryState, ChipIndexSwitchesOnlyBetweenMasterAndSlaveTypes) {
  test::ResetLibrary();
  LibraryState& st = State();
  st.device_type = DEV_USB_Z7SLAVE;
  IO_SetChipIndex(1);
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z3_USB);
  IO_SetChipIndex(0x107);
  EXPECT_EQ(IO_GetDeviceType(), DEV_USB_Z7SLAVE);
  EXPECT_EQ(st.z7_slave_index, 7) << "the low byte is kept";
  st.device_type = DEV_Z2_USB;
  IO_SetChipIndex(5);
  EXPECT_EQ(IO_GetDeviceType(), DEV_USB_Z6SLAVE);
  EXPECT_EQ(st.z6_slave_index, 5);
  IO_SetChipIndex(0);
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z2_USB);
  st.device_type = DEV_Z2_USB_BRG;
  IO_SetChipIndex(3);
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z2_USB_BRG);
  EXPECT_EQ(st.z6_slave_index, 5);
  test::ResetLibrary();
}

TEST(LibraryState, SettingsAreStoredAsSixteenBits) {
  test::ResetLibrary();
  IO_SetVerbose(0x10002);
  EXPECT_EQ(State().verbose, 2);
  IO_SetRetryValue(0x10003, 70000);
  for (const RetrySetting& r : State().retry) {
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.delay_ms, 70000 & 0xFFFF);
  }
  State().reinstall_flag = 1;
  EXPECT_EQ(IO_IsNeedReInstall(), 1);
  IO_ClearReInstallFlag();
  EXPECT_EQ(IO_IsNeedReInstall(), 0);
  IO_GetVidPiD(nullptr, nullptr);  // tolerated
  IO_GetDevicePath(nullptr);
  test::ResetLibrary();
}

TEST_F(Discovery, ListNamesEveryRecognisedDeviceOncePathDiscoveryWouldOpen) {
  // Two panels of one type, a Z3 bridge with a collection per pair, a feature-only Z2
  // bridge the table finds by its fourth collection, and a device of nobody's.
  AddDevice("/dev/hidraw1", 0x6b3e, 0x3a06, test::VendorPair(0x0A, 0x09, 63));
  AddDevice("/dev/hidraw2", 0x1234, 0x0001, test::FeatureOnly());
  AddDevice("/dev/hidraw3", 0x6b3e, 0x3a06, test::VendorPair(0x0A, 0x09, 63));
  AddDevice("/dev/hidraw4", 0x6b3e, 0x3a07,
            test::Concat({test::VendorPair(0x35, 0x53, 63), test::VendorPair(0x0A, 0x09, 63)}));
  AddFeatureDevice("/dev/hidraw5", 0x6b3e, 0x3a02);
  const struct {
    std::string path;
    int32_t type;
  } expected[] = {
      {"/dev/hidraw1#vid_6b3e&pid_3a06", DEV_Z3_USB},
      {"/dev/hidraw3#vid_6b3e&pid_3a06", DEV_Z3_USB},
      {"/dev/hidraw4#vid_6b3e&pid_3a07&col01", DEV_Z3_USB_BRG},
      {"/dev/hidraw5#vid_6b3e&pid_3a02&col04", DEV_Z2_USB_BRG},
  };
  const std::vector<ListedDevice> listed = ListDevices();
  ASSERT_EQ(listed.size(), std::size(expected));
  for (size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].path, expected[i].path) << i;
    EXPECT_EQ(listed[i].type, expected[i].type) << i;
  }
  EXPECT_TRUE(machine_.opened.empty()) << "listing opens nothing";
}

}  // namespace
}  // namespace corlink
