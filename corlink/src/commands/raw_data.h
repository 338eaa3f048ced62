// Raw-data commands: stop and resume the chip's touch reports to the operating system,
// switch what the chip serves (raw mode), and read its data blocks. The functions taking a
// device type call that type's family (the library's current type when called from the
// exports) and return what the matching IO_* export returns.
//
// Results: 0 success; -1 failure or a type without the command; -2 the retries ran out
// without a valid answer; -3 a Z3 chip refused with reason 1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library_state.h"
#include "transport/z1_protocol.h"
#include "transport/z3_protocol.h"

namespace corlink::commands {

// Largest block one IO_ReadData call stores.
inline constexpr size_t kReadDataMax = 52;

// IO_SetRawMode.
int SetRawMode(int32_t type, int fd, int mode);

// IO_ReportToOS. device_path decides how a Z6 slave is told (see its family).
bool ReportToOS(int32_t type, int fd, bool enable, bool skip_confirm, const char* device_path);

// IO_ReadData: buffer holds kReadDataMax bytes.
int ReadData(int32_t type, int fd, uint32_t address, uint8_t* buffer, uint32_t* count);

// IO_BurstReadData: one request for length bytes, as many answers as needed; buffer holds
// length bytes. *count is the number of bytes gathered, also when the read ends early.
int BurstReadData(int32_t type, int fd, uint32_t address, uint32_t length, uint8_t* buffer,
                  uint32_t* count);

// --- Pieces several families share ------------------------------------------------------

// One set-feature / get-feature of report 9 carrying only an opcode. The get fills
// report (20 bytes) with the answer; both return whether the transfer succeeded.
bool FeatureSetOpcode(int fd, uint8_t opcode);
bool FeatureGetOpcode(int fd, uint8_t opcode, uint8_t* report);

// The Z1 set-mode exchange (0x85, acknowledged with id 0x5a31).
int Z1SetMode(const transport::Z1Link& link, uint8_t mode);

// A 'Z' report to a Z2 master; true once a write went through.
bool Z2ReportLetter(int fd, uint8_t byte2, uint8_t byte3);

// IO_SetChipIndex for a Z2 master and its Z6 slaves, a Z3 master and its Z7 slaves.
void SelectZ2Chip(LibraryState& state, int index);
void SelectZ3Chip(LibraryState& state, int index);

// The burst on a Z3 carrier: one 0x86 request for length bytes, then answers until all
// came. length is 1..65535.
int Z3BurstRead(const transport::Z3Link& link, uint32_t address, uint32_t length, uint8_t* buffer,
                uint32_t* count);

}  // namespace corlink::commands
