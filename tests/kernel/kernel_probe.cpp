// Runs inside the test VM next to `panelsim --uhid`: finds the emulated panel among the
// kernel's hidraw devices by its report layout, checks its ids, and reads the chip's
// geometry and status words over the real hidraw node.
//
// Prints "KERNEL-E2E: ..." lines; exits 0 when everything matched.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "corlink.h"
#include "transport/memory_read.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  std::printf("KERNEL-E2E: %s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

// The emulated panel appears once panelsim has created it through /dev/uhid.
int OpenWhenPresent() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    const int fd = IO_OpenDevice(0);
    if (fd >= 0 || std::chrono::steady_clock::now() > deadline) return fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace

int main() {
  const int fd = OpenWhenPresent();
  Check(fd >= 0, "IO_OpenDevice(0) opened a device");
  if (fd < 0) return 1;

  char path[512];
  IO_GetDevicePath(path);
  std::printf("KERNEL-E2E: path %s\n", path);
  Check(std::strncmp(path, "/dev/hidraw", 11) == 0, "the device is a hidraw node");
  Check(IO_GetDeviceType() == CORLINK_DEV_Z3_USB, "classified DEV_Z3_USB by report layout");
  uint16_t vid = 0, pid = 0;
  IO_GetVidPiD(&vid, &pid);
  std::printf("KERNEL-E2E: ids %04x:%04x\n", vid, pid);
  Check(vid == 0x6b3e && pid == 0x3a06, "IO_GetVidPiD gives 6b3e:3a06");

  // A single chip: status word [3, 0x10, 0, 0]; geometry [chip 0, drive, sense, 0].
  uint8_t buf[corlink::transport::kMemoryReadMax] = {};
  uint32_t count = 0;
  int rc = corlink::transport::Z3ReadMemory({fd, corlink::transport::Z3Carrier::kUsb}, 0xA000C024,
                                            buf, &count);
  std::printf("KERNEL-E2E: status rc %d count %u: %02x %02x %02x %02x\n", rc, count, buf[0], buf[1],
              buf[2], buf[3]);
  Check(rc == 0 && count >= 4 && buf[0] == 3 && buf[1] == 0x10 && buf[3] == 0,
        "chip status read over hidraw");
  rc = corlink::transport::Z3ReadMemory({fd, corlink::transport::Z3Carrier::kUsb}, 0x5A000000, buf,
                                        &count);
  std::printf("KERNEL-E2E: geometry rc %d count %u: %02x %02x %02x %02x\n", rc, count, buf[0],
              buf[1], buf[2], buf[3]);
  // panelsim runs with --drive 20 --sense 16 (see run_kernel_e2e.sh).
  Check(rc == 0 && buf[1] == 20 && buf[2] == 16,
        "geometry read over hidraw: 20 drive, 16 sense lines");
  Check(close(fd) == 0, "close() releases the handle");
  return failures == 0 ? 0 : 1;
}
