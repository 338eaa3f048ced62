// The families behind a Z2 master with its own USB interface: the master's letter
// commands, and Z1 commands tunnelled to a Z6 slave.
#include "commands/family.h"
#include "corlink.h"
#include "device_type.h"
#include "transport/memory_read.h"
#include "transport/z1_protocol.h"
#include "transport/z2_channel.h"

#include <cstring>

namespace corlink::commands {

namespace {

constexpr uint8_t kZ2SetMode = 'x';
constexpr uint8_t kZ2ReportToOs = 'Z';
constexpr FirmwareUnit kZ2Unit{0x4000, 16};

bool Z2ReportLetter(int fd, uint8_t byte2, uint8_t byte3) {
  transport::Z2Report report = transport::Z2Letter(kZ2ReportToOs);
  report[2] = byte2;
  report[3] = byte3;
  return transport::Z2Command(fd, report) == 0;
}

void SelectZ2Chip(LibraryState& state, int index) {
  const bool master = index == 0 || index == 1;
  state.device_type = master ? DEV_Z2_USB : DEV_USB_Z6SLAVE;
  if (!master) state.z6_slave_index = static_cast<uint8_t>(index);
}

int LetterSetRawMode(int fd, int mode) {
  transport::Z2Report report = transport::Z2Letter(kZ2SetMode);
  report[2] = static_cast<uint8_t>(mode);
  return transport::Z2Command(fd, report);
}

bool LetterReportToOS(int fd, bool enable, bool /*skip_confirm*/, const char* /*device_path*/) {
  return Z2ReportLetter(fd, enable ? '1' : '0', 0);
}

// Masters of these two products take the plain 'Z' form also while a slave is selected.
bool TakesPlainZ(const char* path) {
  return path && (std::strstr(path, "vid_6b3e&pid_3a04") || std::strstr(path, "vid_6b3e&pid_3a05"));
}

bool SlaveReportToOS(int fd, bool enable, bool /*skip_confirm*/, const char* device_path) {
  if (TakesPlainZ(device_path)) return Z2ReportLetter(fd, enable ? '1' : '0', 0);
  return enable ? Z2ReportLetter(fd, 0x00, '1') : Z2ReportLetter(fd, 0xA5, '0');
}

}  // namespace

const Family& Z2LetterFamily() {
  static const Family family{
      .name = "Z2 letters",
      .set_raw_mode = LetterSetRawMode,
      .report_to_os = LetterReportToOS,
      .read_data = transport::Z2ReadMemory,
      .select_chip = SelectZ2Chip,
      .maintenance = &Z2MaintenanceTable(),
      .firmware = kZ2Unit,
  };
  return family;
}

const Family& Z6SlaveFamily() {
  static const Family family{
      .name = "Z6 slave tunnel",
      .set_raw_mode = kOn<transport::Z6SlaveLink, Z1SetMode>,
      .report_to_os = SlaveReportToOS,
      .read_data = kOn<transport::Z6SlaveLink, transport::Z1ReadMemory>,
      .select_chip = SelectZ2Chip,
      .maintenance = &Z6MaintenanceTable(),
      .firmware = {0x3000, 12},
  };
  return family;
}

}  // namespace corlink::commands
