// Raw-data commands: stop and resume the chip's touch reports to the operating system,
// switch what the chip serves (raw mode), and read its data blocks. Each function picks
// the protocol family from the device type it is given (the library's current type when
// called from the exports) and returns what the matching IO_* export returns.
//
// Results: 0 success; -1 failure or a type without a branch; -2 the retries ran out
// without a valid answer; -3 a Z3 chip refused with reason 1.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corlink::commands {

// Mode words of the Z3 chips used when switching the report to the OS.
inline constexpr uint16_t kModeReportOn = 0x0950;
inline constexpr uint16_t kModeReportOnRaw = 0x0120;
inline constexpr uint16_t kModeReportOff = 0x0951;
inline constexpr uint16_t kModeReportOffRaw = 0x0121;
inline constexpr uint16_t kModeBridgeOff = 0x0F00;  // brackets the switch on a Z3 bridge
inline constexpr uint16_t kModeBridgeOn = 0x0F01;

// Feature-channel opcodes of the bridge (report 9, nothing else in the report).
inline constexpr uint8_t kOpStopReport = 0x54;
inline constexpr uint8_t kOpResumeReport = 0x56;
inline constexpr uint8_t kOpConfirmStop = 0xD7;
inline constexpr uint8_t kOpConfirmResume = 0xDA;
inline constexpr uint8_t kOpBufferedData = 0x55;

// Largest block one IO_ReadData call stores.
inline constexpr size_t kReadDataMax = 52;

// One set-feature / get-feature of report 9 carrying only an opcode. The get fills
// report (20 bytes) with the answer; both return whether the transfer succeeded.
bool FeatureSetOpcode(int fd, uint8_t opcode);
bool FeatureGetOpcode(int fd, uint8_t opcode, uint8_t* report);

// The Z1 set-mode exchange (0x85, acknowledged with id 0x5a31) on the link the type uses.
int Z1SetMode(int32_t type, int fd, uint8_t mode);

// IO_SetRawMode.
int SetRawMode(int32_t type, int fd, int mode);

// IO_ReportToOS. device_path decides how a Z6 slave is told (see the implementation).
bool ReportToOS(int32_t type, int fd, bool enable, bool skip_confirm, const char* device_path);

// IO_ReadData: buffer holds kReadDataMax bytes.
int ReadData(int32_t type, int fd, uint32_t address, uint8_t* buffer, uint32_t* count);

// IO_BurstReadData: one request for length bytes, as many answers as needed; buffer holds
// length bytes. *count is the number of bytes gathered, also when the read ends early.
int BurstReadData(int32_t type, int fd, uint32_t address, uint32_t length, uint8_t* buffer, uint32_t* count);

}  // namespace corlink::commands
