// The hidraw backend against a fake sysfs tree and scripted system calls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "corlink.h"
#include "descriptor_samples.h"
#include "device_type.h"
#include "hid/hid_port.h"
#include "hid/hidraw.h"
#include "support/log_capture.h"
#include "test_support.h"

namespace corlink::hid {
namespace {

namespace fs = std::filesystem;
using corlink::test::CapturedLog;
using corlink::test::CaptureLog;

// What the fake kernel does for each node.
struct FakeNode {
  int open_errno = 0;         // non-zero: open fails with it
  uint16_t vid = 0, pid = 0;  // HIDIOCGRAWINFO
  test::Bytes descriptor;     // HIDIOCGRDESC
};

struct FakeKernel {
  std::map<std::string, FakeNode> nodes;
  std::map<int, std::string> fds;  // our end of a socket pair -> node
  std::map<int, int> peers;        // our end -> the device's end
  int short_write = 0;             // bytes to drop from the next write
  bool poll_times_out = false;
  test::Bytes last_feature;
  test::Bytes feature_answer;
};
FakeKernel* g_kernel = nullptr;

int FakeOpen(const char* path, int) {
  auto it = g_kernel->nodes.find(path);
  if (it == g_kernel->nodes.end()) {
    errno = ENOENT;
    return -1;
  }
  if (it->second.open_errno != 0) {
    errno = it->second.open_errno;
    return -1;
  }
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0) return -1;
  g_kernel->fds[sv[0]] = path;
  g_kernel->peers[sv[0]] = sv[1];
  return sv[0];
}

int FakeClose(int fd) {
  auto p = g_kernel->peers.find(fd);
  if (p != g_kernel->peers.end()) {
    ::close(p->second);
    g_kernel->peers.erase(p);
  }
  g_kernel->fds.erase(fd);
  return ::close(fd);
}

int FakeIoctl(int fd, unsigned long request, void* arg) {
  const FakeNode& node = g_kernel->nodes[g_kernel->fds[fd]];
  if (request == HIDIOCGRAWINFO) {
    auto* info = static_cast<hidraw_devinfo*>(arg);
    info->bustype = 3;
    info->vendor = static_cast<int16_t>(node.vid);
    info->product = static_cast<int16_t>(node.pid);
    return 0;
  }
  if (request == HIDIOCGRDESCSIZE) {
    *static_cast<int*>(arg) = static_cast<int>(node.descriptor.size());
    return 0;
  }
  if (request == HIDIOCGRDESC) {
    auto* d = static_cast<hidraw_report_descriptor*>(arg);
    std::memcpy(d->value, node.descriptor.data(),
                std::min<size_t>(d->size, node.descriptor.size()));
    return 0;
  }
  const unsigned long len = _IOC_SIZE(request);
  if (request == HIDIOCSFEATURE(len)) {
    const auto* b = static_cast<const uint8_t*>(arg);
    g_kernel->last_feature.assign(b, b + len);
    return static_cast<int>(len) - g_kernel->short_write;
  }
  if (request == HIDIOCGFEATURE(len)) {
    if (g_kernel->feature_answer.empty()) {
      errno = EPIPE;
      return -1;
    }
    const size_t n = std::min<size_t>(len, g_kernel->feature_answer.size());
    std::memcpy(arg, g_kernel->feature_answer.data(), n);
    return static_cast<int>(n);
  }
  errno = ENOTTY;
  return -1;
}

ssize_t FakeWrite(int fd, const void* buf, size_t len) {
  return ::write(fd, buf, len - static_cast<size_t>(g_kernel->short_write));
}

int FakePoll(pollfd* fds, nfds_t n, int timeout) {
  if (g_kernel->poll_times_out) return 0;
  return ::poll(fds, n, timeout);
}

class Hidraw : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetLibrary();
    g_kernel = &kernel_;
    root_ = dir_.path();
    class_dir_ = root_ + "/class";
    dev_dir_ = root_ + "/dev";
    fs::create_directories(class_dir_);
    fs::create_directories(dev_dir_);
    fs::create_directories(root_ + "/virtual");
    ::setenv("CORLINK_VIRTUAL_DIR", (root_ + "/virtual").c_str(), 1);
    sys_ = RealHidrawSys();
    sys_.open = FakeOpen;
    sys_.close = FakeClose;
    sys_.ioctl = FakeIoctl;
    sys_.write = FakeWrite;
    sys_.poll = FakePoll;
    sys_.class_dir = class_dir_.c_str();
    sys_.dev_dir = dev_dir_.c_str();
    SetHidrawSysForTest(&sys_);
  }
  void TearDown() override {
    SetHidrawSysForTest(nullptr);
    for (auto& [fd, peer] : kernel_.peers) ::close(peer), ::close(fd);
    test::ResetLibrary();
    g_kernel = nullptr;
  }

  // A node in /dev and its sysfs entry; the sysfs copy of the descriptor is given too.
  FakeNode& AddNode(const std::string& name, uint16_t vid, uint16_t pid, const test::Bytes& desc) {
    const std::string sys = class_dir_ + "/" + name + "/device";
    fs::create_directories(sys);
    char id[64];
    std::snprintf(id, sizeof id, "HID_ID=0003:%08X:%08X\n", vid, pid);
    std::ofstream(sys + "/uevent") << "DRIVER=hid-generic\n" << id << "HID_NAME=panel\n";
    std::ofstream(sys + "/report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(desc.data()),
               static_cast<std::streamsize>(desc.size()));
    std::ofstream(dev_dir_ + "/" + name) << "";
    FakeNode& n = kernel_.nodes[dev_dir_ + "/" + name];
    n.vid = vid;
    n.pid = pid;
    n.descriptor = desc;
    return n;
  }

  int OpenFirst() {
    const std::vector<DeviceInfo> all = Enumerate();
    if (all.empty()) return -1;
    OpenError err = OpenError::None;
    return Open(all[0].path, &err);
  }

  int Peer(int fd) { return kernel_.peers.at(fd); }

  test::ScratchDir dir_;
  std::string root_, class_dir_, dev_dir_;
  HidrawSys sys_{};
  FakeKernel kernel_;
};

TEST_F(Hidraw, EnumeratesInNodeOrderWithOnePathPerCollection) {
  const test::Bytes f = test::FeatureOnly();
  AddNode("hidraw10", 0x6b3e, 0x3a06, test::VendorPair(0x0A, 0x09, 63));
  AddNode("hidraw2", 0x6b3e, 0x3a02, test::Concat({f, f, f, f}));
  std::vector<RawDevice> raw;
  HidrawBackend().enumerate(raw);
  ASSERT_EQ(raw.size(), 2u);
  EXPECT_EQ(raw[0].node, dev_dir_ + "/hidraw2");
  EXPECT_EQ(raw[0].vendor_id, 0x6b3e);
  EXPECT_EQ(raw[0].product_id, 0x3a02);
  EXPECT_EQ(raw[0].report_descriptor.size(), 4 * f.size());

  const std::vector<DeviceInfo> all = Enumerate();  // hidraw first, then the virtual folder
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[0].path, dev_dir_ + "/hidraw2#vid_6b3e&pid_3a02&col01");
  EXPECT_EQ(all[3].path, dev_dir_ + "/hidraw2#vid_6b3e&pid_3a02&col04");
  EXPECT_EQ(all[3].collection, 4);
  EXPECT_EQ(all[4].path, dev_dir_ + "/hidraw10#vid_6b3e&pid_3a06");
  EXPECT_EQ(all[4].collection, 0);
  EXPECT_EQ(all[4].layout.inputs.size(), 1u);
  EXPECT_EQ(NodeOfPath(all[3].path), dev_dir_ + "/hidraw2");
  EXPECT_EQ(NodeOfPath("/dev/hidraw1"), "/dev/hidraw1");
}

TEST_F(Hidraw, UnreadableNodesAreStillListedFromSysfs) {
  FakeNode& n = AddNode("hidraw0", 0x6b3e, 0x3a06, test::VendorPair(0x0A, 0x09, 63));
  n.open_errno = EACCES;
  std::vector<RawDevice> raw;
  HidrawBackend().enumerate(raw);
  ASSERT_EQ(raw.size(), 1u);
  EXPECT_EQ(raw[0].product_id, 0x3a06) << "ids from HID_ID in the uevent";
  EXPECT_EQ(raw[0].report_descriptor, n.descriptor) << "descriptor from sysfs";
  EXPECT_EQ(State().reinstall_flag, 0);
}

TEST_F(Hidraw, BusyNodeSetsTheReinstallFlagDuringTheProbe) {
  AddNode("hidraw0", 0x6b3e, 0x3a06, test::VendorPair(0x0A, 0x09, 63)).open_errno = EBUSY;
  std::vector<RawDevice> raw;
  HidrawBackend().enumerate(raw);
  EXPECT_EQ(State().reinstall_flag, 1);
  ASSERT_EQ(raw.size(), 1u);
}

TEST_F(Hidraw, DiscoveryExplainsBusyAndDeniedNodes) {
  AddNode("hidraw0", 0x6b3e, 0x3a06, test::VendorPair(0x0A, 0x09, 63)).open_errno = EACCES;
  CaptureLog();
  EXPECT_EQ(IO_OpenDevice(0), -1);
  const std::string out = CapturedLog();
  EXPECT_NE(out.find("DEVICE: permission denied opening " + dev_dir_ + "/hidraw0"),
            std::string::npos);
  EXPECT_NE(out.find("70-corlink.rules"), std::string::npos);
  EXPECT_EQ(IO_GetDeviceType(), UNKNOWN);

  kernel_.nodes[dev_dir_ + "/hidraw0"].open_errno = EBUSY;
  OpenError err = OpenError::None;
  EXPECT_EQ(Open(dev_dir_ + "/hidraw0#vid_6b3e&pid_3a06", &err), -1);
  EXPECT_EQ(err, OpenError::Busy);
  EXPECT_EQ(IO_IsNeedReInstall(), 1);
  EXPECT_EQ(Open(dev_dir_ + "/hidraw9#vid_6b3e&pid_3a06", &err), -1);
  EXPECT_EQ(err, OpenError::NotFound);
}

TEST_F(Hidraw, OpenDeviceFindsAHidrawPanelByLayout) {
  AddNode("hidraw0", 0x6b3e, 0x3a06, test::VendorPair(0x0A, 0x09, 63));
  const int fd = IO_OpenDevice(0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(IO_GetDeviceType(), DEV_Z3_USB);
  uint16_t vid = 0, pid = 0;
  IO_GetVidPiD(&vid, &pid);
  EXPECT_EQ(vid, 0x6b3e);
  EXPECT_EQ(pid, 0x3a06);
  EXPECT_EQ(FakeClose(fd), 0);
}

TEST_F(Hidraw, ReportsMoveWholeOrFail) {
  AddNode("hidraw0", 1, 2, test::VendorPair(0x0A, 0x09, 63));
  const int fd = OpenFirst();
  ASSERT_GE(fd, 0);
  const Backend& b = HidrawBackend();
  const uint8_t out[64] = {0x09, 0x09, 0x86};
  EXPECT_EQ(b.write_report(fd, out, sizeof out, 100), 1);
  uint8_t got[128];
  EXPECT_EQ(::read(Peer(fd), got, sizeof got), 64);
  EXPECT_EQ(got[2], 0x86);

  kernel_.short_write = 1;
  EXPECT_EQ(b.write_report(fd, out, sizeof out, 100), -1) << "a short write is a failure";
  kernel_.short_write = 0;

  const uint8_t in[64] = {0x0A, 0x09, 0x86};
  ASSERT_EQ(::write(Peer(fd), in, sizeof in), 64);
  uint8_t buf[64] = {};
  EXPECT_EQ(b.read_report(fd, buf, sizeof buf, 100), 64);
  EXPECT_EQ(buf[0], 0x0A);

  kernel_.poll_times_out = true;
  EXPECT_EQ(b.read_report(fd, buf, sizeof buf, 10), 0) << "time-out";
  EXPECT_EQ(b.write_report(fd, out, sizeof out, 10), 0) << "time-out";
  kernel_.poll_times_out = false;

  ::close(Peer(fd));  // unplugged
  kernel_.peers.erase(fd);
  EXPECT_EQ(b.read_report(fd, buf, sizeof buf, 100), -1);
  FakeClose(fd);
}

TEST_F(Hidraw, CancelDiscardsLateReportsAndWakesAWaitingRead) {
  AddNode("hidraw0", 1, 2, test::VendorPair(0x0A, 0x09, 63));
  const int fd = OpenFirst();
  ASSERT_GE(fd, 0);
  const Backend& b = HidrawBackend();
  const uint8_t late[64] = {0x0A, 0x01};
  ASSERT_EQ(::write(Peer(fd), late, sizeof late), 64);
  ASSERT_EQ(::write(Peer(fd), late, sizeof late), 64);
  b.cancel(fd);
  uint8_t buf[64];
  EXPECT_EQ(b.read_report(fd, buf, sizeof buf, 0), 0) << "nothing left over";

  // A read waiting (with a long time-out) returns as soon as Cancel is called.
  std::atomic<int> result{-2};
  std::thread reader([&] { result = b.read_report(fd, buf, sizeof buf, 20000); });
  while (result == -2) {
    b.cancel(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  reader.join();
  EXPECT_EQ(result, 0);
  FakeClose(fd);
}

TEST_F(Hidraw, FeatureReportsGoThroughTheIoctls) {
  AddNode("hidraw0", 1, 2, test::VendorPair(0x0A, 0x09, 63));
  const int fd = OpenFirst();
  ASSERT_GE(fd, 0);
  const Backend& b = HidrawBackend();
  const uint8_t set[20] = {0x09, 0xD9, 0x03};
  EXPECT_EQ(b.set_feature(fd, set, sizeof set), 1);
  EXPECT_EQ(kernel_.last_feature, test::Bytes(set, set + 20));
  kernel_.short_write = 2;
  EXPECT_EQ(b.set_feature(fd, set, sizeof set), -1);
  kernel_.short_write = 0;

  uint8_t buf[20] = {0x09};
  EXPECT_EQ(b.get_feature(fd, buf, sizeof buf), -1) << "the device refused";
  kernel_.feature_answer = {0x09, 0xD8, 0x02, 0xAB, 0xCD};
  EXPECT_EQ(b.get_feature(fd, buf, sizeof buf), 5);
  EXPECT_EQ(buf[3], 0xAB);
  EXPECT_EQ(b.get_feature(fd, nullptr, 20), -1);
  FakeClose(fd);
}

}  // namespace
}  // namespace corlink::hid
