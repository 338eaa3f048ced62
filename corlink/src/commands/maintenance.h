// Maintenance commands: reset, recalibration, firmware update, memory access, power and
// button mode, the block CRC and the pass-through commands.
//
// Each protocol family fills one table of these commands (its family description points
// to it), so adding a command is one entry per family. An empty entry means the family has
// no such command: the export returns its failure value (-1, or false for the bool
// exports).
//
// Results: 0 success; -1 failure; -2 the retries ran out without a valid answer (or the
// chip kept refusing); -3 a Z3 chip refused with reason 1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corlink::commands {

struct MaintenanceTable {
  int (*reset)(int fd);
  int (*recalibrate)(int fd);
  int (*wait_ready)(int fd);
  int (*update_info)(int fd, uint32_t address, uint32_t length, uint8_t flag);
  int (*update_data)(int fd, const uint8_t* data, uint8_t length, uint16_t frame_id);
  int (*update_finish)(int fd);
  int (*block_crc)(int fd, uint32_t address, uint32_t length, uint16_t parameter, uint32_t* crc);
  int (*memory)(int fd, uint32_t address, uint32_t word2, uint32_t word3, int32_t* out);
  int (*power_mode)(int fd, int32_t* mode);
  int (*button_mode)(int fd, int32_t* status);
  bool (*cmd_read)(int fd, uint8_t command, uint8_t* buffer, uint8_t* count);
  bool (*cmd_write)(int fd, const uint8_t* packet);
};

// A table entry: Command on the link Link(fd) makes of the caller's handle, so that one
// command body serves every carrier of its family.
template <auto Link, auto Command>
constexpr auto kOn = [](int fd, auto... args) { return Command(Link(fd), args...); };

// Where the firmware image goes and the bytes per firmware data frame.
struct FirmwareUnit {
  uint32_t address;
  uint8_t length;
};

// One table per family.
const MaintenanceTable& Z1MaintenanceTable();          // feature channel
const MaintenanceTable& Z6MaintenanceTable();          // Z1 commands through the Z6 tunnel
const MaintenanceTable& Z2MaintenanceTable();          // Z2 letter commands
const MaintenanceTable& Z3UsbMaintenanceTable();       // 64-byte reports
const MaintenanceTable& HidOverI2cMaintenanceTable();  // 58-byte reports
const MaintenanceTable& Z7MaintenanceTable();          // 0xB0 tunnel to a Z7 slave

// Command codes shared by the Z1 and Z3 protocols.
inline constexpr uint8_t kCmdFinish = 0x81;
inline constexpr uint8_t kCmdReset = 0x82;
inline constexpr uint8_t kCmdUpdateInfo = 0x83;
inline constexpr uint8_t kCmdUpdateInfoNoFlag = 0x73;
inline constexpr uint8_t kCmdUpdateData = 0x84;
inline constexpr uint8_t kCmdRecalibrate = 0x87;
inline constexpr uint8_t kCmdMemory = 0x88;
inline constexpr uint8_t kCmdButtonMode = 0x89;
inline constexpr uint8_t kCmdPowerMode = 0x90;
inline constexpr uint8_t kCmdBlockCrc = 0x91;
inline constexpr uint8_t kCmdWaitReady = 0x04;

// A block CRC over more than this many bytes takes the chip longer to compute.
inline constexpr uint32_t kBlockCrcShortLength = 4096;
inline constexpr unsigned kBlockCrcShortPauseMs = 500;
inline constexpr unsigned kBlockCrcLongPauseMs = 3000;

// Firmware data words travel with their four bytes in reverse order. Writes ceil(n / 4)
// words (the last one zero-padded) to out; returns the bytes written.
inline size_t ReverseWords(const uint8_t* data, size_t n, uint8_t* out) {
  const size_t words = (n + 3) / 4;
  for (size_t i = 0; i < words * 4; ++i) out[i] = 0;
  for (size_t i = 0; i < n; ++i) out[(i / 4) * 4 + 3 - i % 4] = data[i];
  return words * 4;
}

}  // namespace corlink::commands
